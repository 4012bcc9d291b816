#pragma once

#include <QSettings>
#include <QString>
#include <QVariant>
#include <QVariantMap>
#include <memory>

// The user's preferences, kept in one INI file. An absent key reads as 0, false or empty.
class UserDefaults
{
public:
    // The program's file: "com.morvance.Pelorins.conf" in the user's configuration folder.
    static UserDefaults& standard();
    static QString standardFilePath();

    explicit UserDefaults(const QString& filePath);

    // Writes each key of `defaults` that has no value yet; existing values, of any type, stay.
    void registerDefaults(const QVariantMap& defaults);

    bool contains(const QString& key) const;
    QVariant value(const QString& key) const;
    bool boolForKey(const QString& key) const;
    int integerForKey(const QString& key) const;
    double doubleForKey(const QString& key) const;
    QString stringForKey(const QString& key) const;
    QByteArray dataForKey(const QString& key) const;

    void setValue(const QString& key, const QVariant& value);
    void removeObject(const QString& key);
    void synchronize();

    QString filePath() const;

private:
    std::unique_ptr<QSettings> m_settings;
};
