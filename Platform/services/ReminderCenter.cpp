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
    m_encoded.clear();
    QFile file(m_path);
    if (m_path.isEmpty() || !file.exists())
        return;
    const auto setAside = [&](const QString& reason) {
        const QString aside = m_path + QStringLiteral(".unreadable");
        QFile::remove(aside);
        const bool moved = file.rename(aside);
        ConsoleLog::write(QStringLiteral("Reminders could not be read (") + reason
            + (moved ? QStringLiteral("); moved to ") + aside : QStringLiteral("); could not be moved aside")));
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
    const QJsonArray entries = document.array();
    m_reminders.reserve(entries.size());
    int dropped = 0;
    for (const QJsonValue& value : entries) {
        if (const std::optional<Reminder> reminder = fromJson(value))
            m_reminders.append(*reminder);
        else
            ++dropped;
    }
    m_encoded.resize(m_reminders.size());
    if (dropped > 0) {
        ConsoleLog::write(QStringLiteral("Dropped %1 unreadable reminders").arg(dropped));
        changed();
    }
}

void ReminderCenter::scheduleReminder(const Reminder& reminder)
{
    takeWhere([&](const Reminder& other) { return other.identifier == reminder.identifier; });
    m_reminders.append(reminder);
    m_encoded.append(QByteArray());
    changed();
    arm();
}

void ReminderCenter::removeScheduledReminder(const QString& identifier)
{
    if (takeWhere([&](const Reminder& other) { return other.identifier == identifier; }).isEmpty())
        return;
    changed();
    arm();
}

QList<Reminder> ReminderCenter::takeWhere(const std::function<bool(const Reminder&)>& condition)
{
    // In place, both lists in step, keeping the order.
    QList<Reminder> taken;
    qsizetype kept = 0;
    for (qsizetype index = 0; index < m_reminders.size(); ++index) {
        if (condition(m_reminders.at(index))) {
            taken.append(m_reminders.at(index));
        } else {
            if (kept != index) {
                m_reminders[kept] = std::move(m_reminders[index]);
                m_encoded[kept] = std::move(m_encoded[index]);
            }
            ++kept;
        }
    }
    m_reminders.resize(kept);
    m_encoded.resize(kept);
    return taken;
}

void ReminderCenter::start()
{
    tick();
}

void ReminderCenter::tick()
{
    const QDateTime now = m_clock();
    const QList<Reminder> due = takeWhere([&](const Reminder& reminder) { return reminder.deliveryDate <= now; });
    if (!due.isEmpty()) {
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
    // Each reminder is encoded once: a change among thousands writes the others' bytes again.
    for (qsizetype index = 0; index < m_reminders.size(); ++index) {
        if (m_encoded.at(index).isEmpty())
            m_encoded[index] = QJsonDocument(toJson(m_reminders.at(index))).toJson(QJsonDocument::Compact);
    }
    // Streamed: one large buffer costs more than the writes.
    QSaveFile file(m_path);
    bool written = file.open(QIODevice::WriteOnly) && file.putChar('[');
    for (qsizetype index = 0; written && index < m_encoded.size(); ++index)
        written = (index == 0 || file.putChar(',')) && file.write(m_encoded.at(index)) >= 0;
    if (!written || !file.putChar(']') || !file.commit())
        ConsoleLog::write(QStringLiteral("Reminders could not be saved: ") + file.errorString());
}
