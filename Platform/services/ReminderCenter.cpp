#include "Platform/services/ReminderCenter.h"

#include "Platform/core/ConsoleLog.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <algorithm>

namespace {

const QString urlStringKey = QStringLiteral("urlString");
const QString cardLinkPrefix = QStringLiteral("pelorins://");

QJsonObject toJson(const Reminder& reminder)
{
    return QJsonObject {{QStringLiteral("identifier"), reminder.identifier}, {QStringLiteral("title"), reminder.title},
        {QStringLiteral("subtitle"), reminder.subtitle}, {QStringLiteral("informativeText"), reminder.informativeText},
        {QStringLiteral("deliveryDate"), reminder.deliveryDate.toUTC().toString(Qt::ISODateWithMs)},
        {QStringLiteral("userInfo"), QJsonObject::fromVariantMap(reminder.userInfo)}};
}

// A reminder of the file, or none for an entry of the wrong shape.
std::optional<Reminder> fromJson(const QJsonValue& value)
{
    const QJsonObject entry = value.toObject();
    const QJsonValue identifier = entry.value(QStringLiteral("identifier"));
    const QDateTime delivery
        = QDateTime::fromString(entry.value(QStringLiteral("deliveryDate")).toString(), Qt::ISODateWithMs);
    const QJsonValue userInfo = entry.value(QStringLiteral("userInfo"));
    if (!value.isObject() || !identifier.isString() || !delivery.isValid() || !userInfo.isObject())
        return std::nullopt;
    const QJsonValue link = userInfo.toObject().value(urlStringKey);
    if (!link.isString() || !link.toString().startsWith(cardLinkPrefix))
        return std::nullopt;
    for (const char* key : {"title", "subtitle", "informativeText"})
        if (!entry.value(QLatin1String(key)).isString() && !entry.value(QLatin1String(key)).isUndefined())
            return std::nullopt;
    return Reminder {identifier.toString(), entry.value(QStringLiteral("title")).toString(),
        entry.value(QStringLiteral("subtitle")).toString(), entry.value(QStringLiteral("informativeText")).toString(),
        delivery, userInfo.toObject().toVariantMap()};
}

} // namespace

ReminderCenter::ReminderCenter(QObject* parent)
    : QObject(parent)
    , m_clock([] { return QDateTime::currentDateTimeUtc(); })
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &ReminderCenter::tick);
}

ReminderCenter::~ReminderCenter()
{
    if (m_writeScheduled)
        write();
}

void ReminderCenter::setStorageFile(const QString& path)
{
    m_path = path;
    load();
}

void ReminderCenter::setClock(Clock clock)
{
    m_clock = std::move(clock);
}

QDateTime ReminderCenter::now() const
{
    return m_clock();
}

void ReminderCenter::load()
{
    m_reminders.clear();
    QFile file(m_path);
    if (m_path.isEmpty() || !file.exists())
        return;
    const auto setAside = [&](const QString& reason) {
        const QString aside = m_path + QStringLiteral(".unreadable");
        QFile::remove(aside);
        file.rename(aside);
        ConsoleLog::write(
            QStringLiteral("Reminders could not be read (") + reason + QStringLiteral("); moved to ") + aside);
    };
    if (file.size() > maximumFileBytes) {
        setAside(QStringLiteral("larger than %1 bytes").arg(maximumFileBytes));
        return;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        ConsoleLog::write(QStringLiteral("Reminders could not be opened: ") + file.errorString());
        return;
    }
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    file.close();
    if (!document.isArray()) {
        setAside(error.error != QJsonParseError::NoError ? error.errorString() : QStringLiteral("not a list"));
        return;
    }
    int dropped = 0;
    for (const QJsonValue& value : document.array()) {
        if (const std::optional<Reminder> reminder = fromJson(value))
            m_reminders.append(*reminder);
        else
            ++dropped;
    }
    if (dropped > 0) {
        ConsoleLog::write(QStringLiteral("Dropped %1 unreadable reminders").arg(dropped));
        changed();
    }
}

void ReminderCenter::scheduleReminder(const Reminder& reminder)
{
    const auto same = [&](const Reminder& other) { return other.identifier == reminder.identifier; };
    m_reminders.erase(std::remove_if(m_reminders.begin(), m_reminders.end(), same), m_reminders.end());
    m_reminders.append(reminder);
    changed();
    arm();
}

void ReminderCenter::removeScheduledReminder(const QString& identifier)
{
    const auto same = [&](const Reminder& other) { return other.identifier == identifier; };
    const auto end = std::remove_if(m_reminders.begin(), m_reminders.end(), same);
    if (end == m_reminders.end())
        return;
    m_reminders.erase(end, m_reminders.end());
    changed();
    arm();
}

void ReminderCenter::start()
{
    tick();
}

void ReminderCenter::tick()
{
    const QDateTime now = m_clock();
    QList<Reminder> due;
    QList<Reminder> later;
    for (const Reminder& reminder : std::as_const(m_reminders))
        (reminder.deliveryDate <= now ? due : later).append(reminder);
    if (!due.isEmpty()) {
        m_reminders = later;
        changed();
        for (const Reminder& reminder : std::as_const(due))
            deliver(reminder);
    }
    arm();
}

void ReminderCenter::arm()
{
    if (m_reminders.isEmpty()) {
        m_timer.stop();
        return;
    }
    const QDateTime now = m_clock();
    const auto earliest = std::min_element(m_reminders.cbegin(), m_reminders.cend(),
        [](const Reminder& a, const Reminder& b) { return a.deliveryDate < b.deliveryDate; });
    const qint64 wait = std::clamp<qint64>(now.msecsTo(earliest->deliveryDate), 0, checkIntervalMilliseconds);
    m_timer.start(int(wait));
}

void ReminderCenter::changed()
{
    if (m_path.isEmpty() || m_writeScheduled)
        return;
    m_writeScheduled = true;
    QMetaObject::invokeMethod(this, &ReminderCenter::write, Qt::QueuedConnection);
}

void ReminderCenter::write()
{
    if (!m_writeScheduled)
        return;
    m_writeScheduled = false;
    QJsonArray entries;
    for (const Reminder& reminder : std::as_const(m_reminders))
        entries.append(toJson(reminder));
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(entries).toJson(QJsonDocument::Compact)) < 0
        || !file.commit())
        ConsoleLog::write(QStringLiteral("Reminders could not be saved: ") + file.errorString());
}
