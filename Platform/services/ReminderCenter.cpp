#include "Platform/services/ReminderCenter.h"

#include "Platform/core/ConsoleLog.h"

#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <algorithm>
#include <array>
#include <limits>
#include <rapidjson/error/en.h>
#include <rapidjson/reader.h>

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

// A reminder of the file, or none for an entry of the wrong shape. The checks are those
// EntryScanner makes while loading.
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

quint32 hashOf(QByteArrayView utf8)
{
    return quint32(qHash(utf8));
}

quint32 hashOf(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    return hashOf(QByteArrayView(utf8));
}

bool isDigits(const char* text, int from, int to)
{
    return std::all_of(text + from, text + to, [](char c) { return c >= '0' && c <= '9'; });
}

int number(const char* text, int from, int to)
{
    int value = 0;
    for (const char* c = text + from; c != text + to; ++c)
        value = value * 10 + (*c - '0');
    return value;
}

// A delivery date in milliseconds since 1970. The form this center writes is read by hand, as
// QDateTime's parser costs more than the rest of a load; any other form is left to it.
std::optional<qint64> deliveryOf(const char* text, size_t length)
{
    constexpr qint64 millisecondsPerDay = 24 * 3600 * 1000;
    constexpr qint64 julianDayOf1970 = 2440588;
    if (length == 24 && isDigits(text, 0, 4) && text[4] == '-' && isDigits(text, 5, 7) && text[7] == '-'
        && isDigits(text, 8, 10) && text[10] == 'T' && isDigits(text, 11, 13) && text[13] == ':'
        && isDigits(text, 14, 16) && text[16] == ':' && isDigits(text, 17, 19) && text[19] == '.'
        && isDigits(text, 20, 23) && text[23] == 'Z') {
        const QDate date(number(text, 0, 4), number(text, 5, 7), number(text, 8, 10));
        const QTime time(number(text, 11, 13), number(text, 14, 16), number(text, 17, 19), number(text, 20, 23));
        if (date.isValid() && time.isValid())
            return (date.toJulianDay() - julianDayOf1970) * millisecondsPerDay + time.msecsSinceStartOfDay();
    }
    const QDateTime parsed = QDateTime::fromString(QString::fromUtf8(text, qsizetype(length)), Qt::ISODateWithMs);
    return parsed.isValid() ? std::optional<qint64>(parsed.toMSecsSinceEpoch()) : std::nullopt;
}

// The file read in pieces through one small buffer: fresh memory is what a load of thousands
// of reminders pays most for.
class FileStream
{
public:
    using Ch = char;

    explicit FileStream(QFile& file)
        : m_file(file)
    {
        fill();
    }

    Ch Peek() const { return m_position < m_size ? m_buffer[m_position] : '\0'; }
    Ch Take()
    {
        const Ch c = Peek();
        if (m_position < m_size) {
            ++m_count;
            if (++m_position == m_size)
                fill();
        }
        return c;
    }
    size_t Tell() const { return m_count; }
    bool failed() const { return m_failed; }

    // Never written to.
    Ch* PutBegin() { return nullptr; }
    void Put(Ch) { }
    void Flush() { }
    size_t PutEnd(Ch*) { return 0; }

private:
    void fill()
    {
        const qint64 read = m_file.read(m_buffer.data(), qint64(m_buffer.size()));
        m_failed = m_failed || read < 0;
        m_position = 0;
        m_size = size_t(std::max<qint64>(read, 0));
    }

    QFile& m_file;
    std::array<char, 64 * 1024> m_buffer {};
    size_t m_position = 0;
    size_t m_size = 0;
    size_t m_count = 0;
    bool m_failed = false;
};

// Reads entries back from the file they were loaded from, in the order they lie there, through
// one window moved forward: one read for many entries.
class SourceWindow
{
public:
    explicit SourceWindow(QFile& file)
        : m_file(file)
    {
    }

    // The bytes at the place, empty if they can no longer be read.
    QByteArrayView bytes(qint64 offset, qint64 length)
    {
        if (offset < m_start || offset + length > m_start + m_buffer.size()) {
            m_buffer.resize(std::max(length, windowBytes));
            const qint64 read = m_file.seek(offset) ? m_file.read(m_buffer.data(), m_buffer.size()) : -1;
            m_start = offset;
            m_buffer.resize(std::max<qint64>(read, 0));
        }
        if (offset + length > m_start + m_buffer.size())
            return QByteArrayView();
        return QByteArrayView(m_buffer).sliced(offset - m_start, length);
    }

private:
    static constexpr qint64 windowBytes = 64 * 1024;
    QFile& m_file;
    QByteArray m_buffer;
    qint64 m_start = 0;
};

// What a load keeps of one well-formed entry.
struct ScannedEntry
{
    qint64 delivery;
    quint32 identifierHash;
    quint32 linkHash;
    quint32 offset;
    quint32 length;
};

// Checks each entry of the list as it streams by, as fromJson() would, and hands the well-formed
// ones to the sink with where they lie in the file.
template <typename Sink> class EntryScanner : public rapidjson::BaseReaderHandler<rapidjson::UTF8<>, EntryScanner<Sink>>
{
public:
    EntryScanner(const FileStream& stream, Sink sink)
        : m_stream(stream)
        , m_sink(std::move(sink))
    {
    }

    bool notAList() const { return m_notAList; }
    int dropped() const { return m_dropped; }

    bool Default() { return value(); }
    bool String(const char* text, rapidjson::SizeType length, bool)
    {
        if (m_depth == entryDepth && m_inEntry) {
            if (m_field == Field::identifier) {
                m_identifierHash = hashOf(QByteArrayView(text, length));
                m_hasIdentifier = true;
            } else if (m_field == Field::deliveryDate) {
                m_delivery = deliveryOf(text, length);
            } else if (m_field == Field::userInfo) {
                m_bad = true;
            }
            return true;
        }
        if (m_depth == userInfoDepth && m_inUserInfo && m_linkKey) {
            const QByteArrayView link(text, length);
            m_hasLink = link.startsWith(QByteArrayView("pelorins://"));
            m_linkHash = hashOf(link);
            return true;
        }
        return value();
    }
    bool Key(const char* text, rapidjson::SizeType length, bool)
    {
        const QByteArrayView key(text, length);
        if (m_depth == entryDepth && m_inEntry)
            m_field = key == "identifier"                                         ? Field::identifier
                : key == "deliveryDate"                                           ? Field::deliveryDate
                : key == "userInfo"                                               ? Field::userInfo
                : key == "title" || key == "subtitle" || key == "informativeText" ? Field::text
                                                                                  : Field::other;
        else if (m_depth == userInfoDepth && m_inUserInfo)
            m_linkKey = key == "urlString";
        return true;
    }
    bool StartObject()
    {
        if (m_depth == listDepth) {
            beginEntry();
        } else if (m_depth == entryDepth && m_inEntry && m_field == Field::userInfo) {
            m_hasUserInfo = true;
            m_inUserInfo = true;
        } else if (!value()) {
            return false;
        }
        ++m_depth;
        return true;
    }
    bool EndObject(rapidjson::SizeType)
    {
        --m_depth;
        if (m_depth == listDepth && m_inEntry)
            endEntry();
        else if (m_depth == entryDepth)
            m_inUserInfo = false;
        return true;
    }
    bool StartArray()
    {
        if (m_depth != 0 && !value())
            return false;
        ++m_depth;
        return true;
    }
    bool EndArray(rapidjson::SizeType)
    {
        --m_depth;
        return true;
    }

private:
    enum class Field { other, identifier, deliveryDate, userInfo, text };
    static constexpr int listDepth = 1;
    static constexpr int entryDepth = 2;
    static constexpr int userInfoDepth = 3;

    // Any value but the ones String() and StartObject() take in: the wrong type where the
    // entry names a field, an element of the list that is no entry, or a document that is no list.
    bool value()
    {
        if (m_depth == 0) {
            m_notAList = true;
            return false;
        }
        if (m_depth == listDepth)
            ++m_dropped;
        else if (m_depth == entryDepth && m_inEntry && m_field != Field::other)
            m_bad = true;
        else if (m_depth == userInfoDepth && m_inUserInfo && m_linkKey)
            m_hasLink = false;
        return true;
    }

    // The iterative parser reports an object's braces before it takes them.
    void beginEntry()
    {
        m_inEntry = true;
        m_offset = qint64(m_stream.Tell());
        m_field = Field::other;
        m_delivery.reset();
        m_hasIdentifier = m_hasUserInfo = m_inUserInfo = m_linkKey = m_hasLink = m_bad = false;
    }

    void endEntry()
    {
        m_inEntry = false;
        if (m_bad || !m_hasIdentifier || !m_delivery || !m_hasUserInfo || !m_hasLink) {
            ++m_dropped;
            return;
        }
        const qint64 end = qint64(m_stream.Tell()) + 1;
        m_sink(ScannedEntry {*m_delivery, m_identifierHash, m_linkHash, quint32(m_offset), quint32(end - m_offset)});
    }

    const FileStream& m_stream;
    Sink m_sink;
    int m_depth = 0;
    int m_dropped = 0;
    bool m_notAList = false;
    // The entry being read.
    bool m_inEntry = false;
    Field m_field = Field::other;
    qint64 m_offset = 0;
    std::optional<qint64> m_delivery;
    quint32 m_identifierHash = 0;
    quint32 m_linkHash = 0;
    bool m_hasIdentifier = false;
    bool m_hasUserInfo = false;
    bool m_inUserInfo = false;
    bool m_linkKey = false;
    bool m_hasLink = false;
    bool m_bad = false;
};

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
    m_entries.clear();
    m_source.close();
    if (m_path.isEmpty() || !QFileInfo::exists(m_path))
        return;
    m_source.setFileName(m_path);
    const auto setAside = [&](const QString& reason) {
        m_entries.clear();
        m_source.close();
        const QString aside = m_path + QStringLiteral(".unreadable");
        QFile::remove(aside);
        const bool moved = m_source.rename(aside);
        ConsoleLog::write(QStringLiteral("Reminders could not be read (") + reason
            + (moved ? QStringLiteral("); moved to ") + aside : QStringLiteral("); could not be moved aside")));
        m_source.setFileName(QString());
        // Reminders that could be neither read nor moved aside are never written over.
        if (!moved)
            m_path.clear();
    };
    const qint64 size = m_source.size();
    if (size > maximumFileBytes) {
        setAside(QStringLiteral("larger than %1 bytes").arg(maximumFileBytes));
        return;
    }
    if (!m_source.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        // Set aside like any other unreadable file, so that the next write does not replace it.
        setAside(m_source.errorString());
        return;
    }
    // No entry is shorter than this; memory reserved and never used costs nothing.
    constexpr qint64 shortestEntry = 64;
    m_entries.reserve(qsizetype(size / shortestEntry + 1));
    FileStream stream(m_source);
    EntryScanner scanner(stream, [this](const ScannedEntry& entry) {
        m_entries.append(Entry {entry.delivery, entry.identifierHash, entry.linkHash, entry.offset, entry.length, {}});
    });
    rapidjson::Reader reader;
    const rapidjson::ParseResult parsed
        = reader.Parse<rapidjson::kParseIterativeFlag | rapidjson::kParseValidateEncodingFlag>(stream, scanner);
    if (stream.failed()) {
        setAside(m_source.errorString());
        return;
    }
    if (scanner.notAList()) {
        setAside(QStringLiteral("not a list"));
        return;
    }
    if (parsed.IsError()) {
        setAside(QString::fromUtf8(rapidjson::GetParseError_En(parsed.Code()))
            + QStringLiteral(" at byte %1").arg(parsed.Offset()));
        return;
    }
    if (scanner.dropped() > 0) {
        ConsoleLog::write(QStringLiteral("Dropped %1 unreadable reminders").arg(scanner.dropped()));
        changed();
    }
}

QByteArray ReminderCenter::encoded(const Entry& entry)
{
    if (entry.scheduled->encoded.isEmpty())
        entry.scheduled->encoded = QJsonDocument(toJson(entry.scheduled->reminder)).toJson(QJsonDocument::Compact);
    return entry.scheduled->encoded;
}

std::optional<Reminder> ReminderCenter::reminderOf(const Entry& entry) const
{
    if (entry.scheduled)
        return entry.scheduled->reminder;
    SourceWindow source(m_source);
    return fromJson(QJsonDocument::fromJson(source.bytes(entry.offset, entry.length).toByteArray()).object());
}

QList<Reminder> ReminderCenter::scheduledReminders() const
{
    QList<Reminder> reminders;
    reminders.reserve(m_entries.size());
    for (const Entry& entry : m_entries)
        if (std::optional<Reminder> reminder = reminderOf(entry))
            reminders.append(std::move(*reminder));
    return reminders;
}

std::optional<Reminder> ReminderCenter::scheduledReminderFor(const QString& urlString) const
{
    const quint32 hash = hashOf(urlString);
    for (const Entry& entry : m_entries) {
        if (entry.linkHash != hash)
            continue;
        std::optional<Reminder> reminder = reminderOf(entry);
        const QVariant link = reminder ? reminder->userInfo.value(urlStringKey) : QVariant();
        if (link.typeId() == QMetaType::QString && link.toString() == urlString)
            return reminder;
    }
    return std::nullopt;
}

void ReminderCenter::scheduleReminder(const Reminder& reminder)
{
    takeIdentifier(reminder.identifier);
    // A reminder without a date is due at once, as it could not be kept.
    const qint64 delivery = reminder.deliveryDate.isValid() ? reminder.deliveryDate.toMSecsSinceEpoch()
                                                            : std::numeric_limits<qint64>::min();
    const QVariant link = reminder.userInfo.value(urlStringKey);
    m_entries.append(
        Entry {delivery, hashOf(reminder.identifier), link.typeId() == QMetaType::QString ? hashOf(link.toString()) : 0,
            0, 0, std::make_shared<Entry::Scheduled>(Entry::Scheduled {reminder, QByteArray()})});
    changed();
    arm();
}

void ReminderCenter::removeScheduledReminder(const QString& identifier)
{
    if (takeIdentifier(identifier).isEmpty())
        return;
    changed();
    arm();
}

QList<ReminderCenter::Entry> ReminderCenter::takeIdentifier(const QString& identifier)
{
    const quint32 hash = hashOf(identifier);
    return takeWhere([&](const Entry& entry) {
        if (entry.identifierHash != hash)
            return false;
        const std::optional<Reminder> reminder = reminderOf(entry);
        return reminder && reminder->identifier == identifier;
    });
}

QList<ReminderCenter::Entry> ReminderCenter::takeWhere(const std::function<bool(const Entry&)>& condition)
{
    // In place, keeping the order.
    QList<Entry> taken;
    qsizetype kept = 0;
    for (qsizetype index = 0; index < m_entries.size(); ++index) {
        if (condition(m_entries.at(index))) {
            taken.append(std::move(m_entries[index]));
        } else {
            if (kept != index)
                m_entries[kept] = std::move(m_entries[index]);
            ++kept;
        }
    }
    m_entries.resize(kept);
    return taken;
}

void ReminderCenter::start()
{
    tick();
}

void ReminderCenter::tick()
{
    const qint64 now = m_clock().toMSecsSinceEpoch();
    const QList<Entry> due = takeWhere([&](const Entry& entry) { return entry.delivery <= now; });
    if (!due.isEmpty()) {
        changed();
        int unreadable = 0;
        for (const Entry& entry : due) {
            if (const std::optional<Reminder> reminder = reminderOf(entry))
                deliver(*reminder);
            else
                ++unreadable;
        }
        if (unreadable > 0)
            ConsoleLog::write(QStringLiteral("%1 due reminders could no longer be read").arg(unreadable));
    }
    arm();
}

void ReminderCenter::arm()
{
    if (m_entries.isEmpty()) {
        m_timer.stop();
        return;
    }
    const qint64 now = m_clock().toMSecsSinceEpoch();
    const auto earliest = std::min_element(
        m_entries.cbegin(), m_entries.cend(), [](const Entry& a, const Entry& b) { return a.delivery < b.delivery; });
    // Subtracted as doubles: a reminder without a date lies at the far end of the range.
    const double wait = std::clamp(double(earliest->delivery) - double(now), 0.0, double(checkIntervalMilliseconds));
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
    // Streamed: entries loaded are copied from the file they came from, which holds them in the
    // order kept, and scheduled ones are encoded once; a change among thousands costs little
    // more than the copy.
    QSaveFile file(m_path);
    bool written = file.open(QIODevice::WriteOnly) && file.putChar('[');
    qsizetype count = 0;
    int unreadable = 0;
    SourceWindow source(m_source);
    for (qsizetype index = 0; written && index < m_entries.size(); ++index) {
        const Entry& entry = m_entries.at(index);
        const QByteArrayView bytes
            = entry.scheduled ? QByteArrayView(encoded(entry)) : source.bytes(entry.offset, entry.length);
        if (bytes.isEmpty()) {
            ++unreadable;
            continue;
        }
        written = (count++ == 0 || file.putChar(',')) && file.write(bytes.data(), bytes.size()) >= 0;
    }
    if (unreadable > 0)
        ConsoleLog::write(QStringLiteral("%1 reminders could no longer be read from the file").arg(unreadable));
    if (!written || !file.putChar(']') || !file.commit())
        ConsoleLog::write(QStringLiteral("Reminders could not be saved: ") + file.errorString());
}
