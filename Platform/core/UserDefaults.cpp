#include "UserDefaults.h"

#include <QStandardPaths>

UserDefaults& UserDefaults::standard()
{
    static UserDefaults defaults(standardFilePath());
    return defaults;
}

QString UserDefaults::standardFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/com.morvance.Pelorins.conf");
}

UserDefaults::UserDefaults(const QString& filePath)
    : m_settings(std::make_unique<QSettings>(filePath, QSettings::IniFormat))
{
}

void UserDefaults::registerDefaults(const QVariantMap& defaults)
{
    for (auto it = defaults.cbegin(); it != defaults.cend(); ++it) {
        if (!m_settings->contains(it.key()))
            m_settings->setValue(it.key(), it.value());
    }
}

bool UserDefaults::contains(const QString& key) const
{
    return m_settings->contains(key);
}

QVariant UserDefaults::value(const QString& key) const
{
    return m_settings->value(key);
}

bool UserDefaults::boolForKey(const QString& key) const
{
    // INI files keep every value as text; "true"/"false" and numbers both read back.
    const QVariant v = m_settings->value(key);
    if (!v.isValid())
        return false;
    const QString text = v.toString().trimmed().toLower();
    if (text == QLatin1String("true") || text == QLatin1String("yes"))
        return true;
    if (text == QLatin1String("false") || text == QLatin1String("no") || text.isEmpty())
        return false;
    return v.toDouble() != 0.0;
}

int UserDefaults::integerForKey(const QString& key) const
{
    const QVariant v = m_settings->value(key);
    if (v.toString().trimmed().toLower() == QLatin1String("true"))
        return 1;
    return int(v.toDouble());
}

double UserDefaults::doubleForKey(const QString& key) const
{
    return m_settings->value(key).toDouble();
}

QString UserDefaults::stringForKey(const QString& key) const
{
    return m_settings->value(key).toString();
}

QByteArray UserDefaults::dataForKey(const QString& key) const
{
    return m_settings->value(key).toByteArray();
}

void UserDefaults::setValue(const QString& key, const QVariant& value)
{
    m_settings->setValue(key, value);
}

void UserDefaults::removeObject(const QString& key)
{
    m_settings->remove(key);
}

void UserDefaults::synchronize()
{
    m_settings->sync();
}

QString UserDefaults::filePath() const
{
    return m_settings->fileName();
}
