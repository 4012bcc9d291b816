#include "Platform/services/VdirCalendarStore.h"

#include "Platform/core/ConsoleLog.h"
#include "Platform/core/UserDefaults.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSet>
#include <QTimeZone>
#include <algorithm>
#include <libical/ical.h>
#include <memory>

namespace {

const QColor defaultCalendarColor(0x2f, 0x7d, 0xd1);

struct ComponentDeleter
{
    void operator()(icalcomponent* component) const { icalcomponent_free(component); }
};
using Component = std::unique_ptr<icalcomponent, ComponentDeleter>;

Component parse(const QByteArray& text)
{
    return Component(icalparser_parse_string(text.constData()));
}

QString fromUtf8(const char* text)
{
    return text ? QString::fromUtf8(text) : QString();
}

QString readSmallTextFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.read(1024)).trimmed();
}

// vdir colours are "#RRGGBB" or "#RRGGBBAA".
QColor colorFromVdir(const QString& text)
{
    if (text.size() == 9 && text.startsWith('#')) {
        const QColor rgb = QColor::fromString(text.left(7));
        bool ok = false;
        const int alpha = text.mid(7).toInt(&ok, 16);
        if (rgb.isValid() && ok)
            return QColor(rgb.red(), rgb.green(), rgb.blue(), alpha);
    }
    const QColor color = QColor::fromString(text);
    return color.isValid() ? color : defaultCalendarColor;
}

CalendarEvent::Calendar calendarOfFolder(const QString& folder)
{
    const QDir dir(folder);
    CalendarEvent::Calendar calendar;
    calendar.title = readSmallTextFile(dir.filePath("displayname"));
    if (calendar.title.isEmpty())
        calendar.title = dir.dirName();
    calendar.color = colorFromVdir(readSmallTextFile(dir.filePath("color")));
    calendar.allowsContentModifications = QFileInfo(folder).isWritable();
    return calendar;
}

QTimeZone timeZoneNamed(const QByteArray& tzid)
{
    QTimeZone zone(tzid);
    if (zone.isValid())
        return zone;
    // Zones written by libical itself carry a vendor prefix before the usual name.
    if (const qsizetype slash = tzid.lastIndexOf('/', tzid.lastIndexOf('/') - 1); tzid.startsWith('/') && slash > 0) {
        zone = QTimeZone(tzid.mid(slash + 1));
        if (zone.isValid())
            return zone;
    }
    const QByteArray iana = QTimeZone::windowsIdToDefaultIanaId(tzid);
    return iana.isEmpty() ? QTimeZone() : QTimeZone(iana);
}

// A DATE or DATE-TIME value of `property` as an instant. Dates are local midnights; times without
// a zone are local ("floating") times.
QDateTime instantOf(icalproperty* property, icaltimetype time, icalcomponent* root)
{
    const QDate date(time.year, time.month, time.day);
    if (time.is_date)
        return date.startOfDay();
    const QTime clock(time.hour, time.minute, time.second);
    if (icaltime_is_utc(time))
        return QDateTime(date, clock, QTimeZone::utc());

    icalparameter* tzidParameter = icalproperty_get_first_parameter(property, ICAL_TZID_PARAMETER);
    const QByteArray tzid = tzidParameter ? QByteArray(icalparameter_get_tzid(tzidParameter)) : QByteArray();
    if (tzid.isEmpty())
        return QDateTime(date, clock);
    if (const QTimeZone zone = timeZoneNamed(tzid); zone.isValid())
        return QDateTime(date, clock, zone);
    // A zone of its own, defined by the file's VTIMEZONE.
    if (icaltimezone* own = icalcomponent_get_timezone(root, tzid.constData()))
        return QDateTime::fromSecsSinceEpoch(icaltime_as_timet_with_zone(time, own), QTimeZone::utc());
    return QDateTime(date, clock);
}

QDateTime endOf(icalcomponent* vevent, const QDateTime& start, bool isAllDay, icalcomponent* root)
{
    if (icalproperty* dtend = icalcomponent_get_first_property(vevent, ICAL_DTEND_PROPERTY)) {
        const icaltimetype time = icalproperty_get_dtend(dtend);
        if (icaltime_is_valid_time(time) && !icaltime_is_null_time(time))
            return std::max(start, instantOf(dtend, time, root));
    }
    if (icalproperty* duration = icalcomponent_get_first_property(vevent, ICAL_DURATION_PROPERTY)) {
        const icaldurationtype length = icalproperty_get_duration(duration);
        if (!length.is_neg) {
            const int days = int(length.weeks * 7 + length.days);
            const qint64 seconds = qint64(length.hours) * 3600 + length.minutes * 60 + length.seconds;
            // Days are calendar days, so a day across a clock change stays a day.
            return start.addDays(days).addSecs(seconds);
        }
    }
    return isAllDay ? start.addDays(1) : start;
}

// The event of `vevent`, or nothing when it lacks an identifier or a start.
std::optional<CalendarEvent> eventOf(
    icalcomponent* vevent, icalcomponent* root, const CalendarEvent::Calendar& calendar)
{
    icalproperty* dtstart = icalcomponent_get_first_property(vevent, ICAL_DTSTART_PROPERTY);
    const QString uid = fromUtf8(icalcomponent_get_uid(vevent));
    if (!dtstart || uid.isEmpty())
        return std::nullopt;
    const icaltimetype start = icalproperty_get_dtstart(dtstart);
    if (!icaltime_is_valid_time(start) || icaltime_is_null_time(start))
        return std::nullopt;

    CalendarEvent event;
    event.eventIdentifier = uid;
    event.title = fromUtf8(icalcomponent_get_summary(vevent));
    event.isAllDay = start.is_date;
    event.startDate = instantOf(dtstart, start, root);
    event.endDate = endOf(vevent, event.startDate, event.isAllDay, root);
    if (icalcomponent_get_first_property(vevent, ICAL_DESCRIPTION_PROPERTY))
        event.notes = fromUtf8(icalcomponent_get_description(vevent));
    event.calendar = calendar;
    return event;
}

bool isOverride(icalcomponent* vevent)
{
    return icalcomponent_get_first_property(vevent, ICAL_RECURRENCEID_PROPERTY) != nullptr;
}

// The events of one file; nothing when the file is not a calendar or one of its events is unusable.
std::optional<QList<CalendarEvent>> eventsOfFile(const QByteArray& text, const CalendarEvent::Calendar& calendar)
{
    const Component root = parse(text);
    if (!root || icalcomponent_isa(root.get()) != ICAL_VCALENDAR_COMPONENT)
        return std::nullopt;
    QList<CalendarEvent> events;
    for (icalcomponent* vevent = icalcomponent_get_first_component(root.get(), ICAL_VEVENT_COMPONENT); vevent;
         vevent = icalcomponent_get_next_component(root.get(), ICAL_VEVENT_COMPONENT)) {
        // Changed occurrences of a series belong to the series' own event.
        if (isOverride(vevent))
            continue;
        const auto event = eventOf(vevent, root.get(), calendar);
        if (!event)
            return std::nullopt;
        events << *event;
    }
    return events;
}

// libical drops what it cannot parse and notes it in an X-LIC-ERROR property; writing such a
// tree back would lose the dropped part of the user's file.
bool hasParseErrors(icalcomponent* component)
{
    if (icalcomponent_get_first_property(component, ICAL_XLICERROR_PROPERTY))
        return true;
    for (icalcomponent* child = icalcomponent_get_first_component(component, ICAL_ANY_COMPONENT); child;
         child = icalcomponent_get_next_component(component, ICAL_ANY_COMPONENT)) {
        if (hasParseErrors(child))
            return true;
    }
    return false;
}

icalcomponent* seriesEvent(icalcomponent* root, const QString& uid)
{
    for (icalcomponent* vevent = icalcomponent_get_first_component(root, ICAL_VEVENT_COMPONENT); vevent;
         vevent = icalcomponent_get_next_component(root, ICAL_VEVENT_COMPONENT)) {
        if (!isOverride(vevent) && fromUtf8(icalcomponent_get_uid(vevent)) == uid)
            return vevent;
    }
    return nullptr;
}

void replaceProperty(icalcomponent* component, icalproperty_kind kind, icalproperty* replacement)
{
    while (icalproperty* old = icalcomponent_get_first_property(component, kind)) {
        icalcomponent_remove_property(component, old);
        icalproperty_free(old);
    }
    if (replacement)
        icalcomponent_add_property(component, replacement);
}

void writeNotes(icalcomponent* vevent, const std::optional<QString>& notes)
{
    const bool hasNotes = notes && !notes->isEmpty();
    replaceProperty(vevent, ICAL_DESCRIPTION_PROPERTY,
        hasNotes ? icalproperty_new_description(notes->toUtf8().constData()) : nullptr);
    const icaltimetype now = icaltime_current_time_with_zone(icaltimezone_get_utc_timezone());
    replaceProperty(vevent, ICAL_LASTMODIFIED_PROPERTY, icalproperty_new_lastmodified(now));
    replaceProperty(vevent, ICAL_DTSTAMP_PROPERTY, icalproperty_new_dtstamp(now));
}

bool fail(QString* error, const QString& message)
{
    if (error)
        *error = message;
    return false;
}

} // namespace

VdirCalendarStore::VdirCalendarStore(UserDefaults& defaults, FolderChooser chooser)
    : m_defaults(defaults)
    , m_chooser(std::move(chooser))
{
}

VdirCalendarStore::~VdirCalendarStore() = default;

CalendarStore::AuthorizationStatus VdirCalendarStore::authorizationStatus() const
{
    // Until folders are chosen the user can still be asked; nothing here is ever refused for good.
    return calendarFolders().isEmpty() ? AuthorizationStatus::NotDetermined : AuthorizationStatus::Authorized;
}

void VdirCalendarStore::requestAccess(const AccessCompletion& completion)
{
    if (authorizationStatus() != AuthorizationStatus::Authorized) {
        const std::optional<QStringList> chosen = m_chooser ? m_chooser() : std::nullopt;
        if (chosen && !chosen->isEmpty()) {
            m_defaults.setValue(calendarFoldersKey, *chosen);
            m_defaults.synchronize();
            reset();
        }
    }
    if (completion)
        completion(authorizationStatus() == AuthorizationStatus::Authorized, QString());
}

void VdirCalendarStore::reset()
{
    m_files.clear();
}

QStringList VdirCalendarStore::calendarFolders() const
{
    return m_defaults.value(calendarFoldersKey).toStringList();
}

QList<CalendarEvent> VdirCalendarStore::events(const QDateTime& from, const QDateTime& to)
{
    QList<CalendarEvent> found;
    for (const CalendarEvent& event : allEvents()) {
        // An event that ends when the range begins is over; one of no length counts where it starts.
        const bool overlaps = event.startDate <= to && (event.endDate > from || event.startDate >= from);
        if (overlaps)
            found << event;
    }
    std::stable_sort(found.begin(), found.end(),
        [](const CalendarEvent& a, const CalendarEvent& b) { return a.startDate < b.startDate; });
    return found;
}

std::optional<CalendarEvent> VdirCalendarStore::event(const QString& eventIdentifier)
{
    for (const CalendarEvent& event : allEvents()) {
        if (event.eventIdentifier == eventIdentifier)
            return event;
    }
    return std::nullopt;
}

bool VdirCalendarStore::saveNotes(const CalendarEvent& event, QString* error)
{
    const QString path = filePathOf(event.eventIdentifier);
    if (path.isEmpty())
        return fail(error, QStringLiteral("The event is no longer in the calendar."));
    if (!QFileInfo(QFileInfo(path).path()).isWritable())
        return fail(error, QStringLiteral("The calendar is read-only."));

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(error, QStringLiteral("Cannot read %1: %2").arg(path, file.errorString()));
    const Component root = parse(file.read(maximumFileSize));
    file.close();
    if (!root || hasParseErrors(root.get()))
        return fail(error, QStringLiteral("%1 holds data that cannot be rewritten without loss.").arg(path));
    icalcomponent* vevent = seriesEvent(root.get(), event.eventIdentifier);
    if (!vevent)
        return fail(error, QStringLiteral("The event is no longer in the calendar."));

    writeNotes(vevent, event.notes);
    char* text = icalcomponent_as_ical_string_r(root.get());
    const QByteArray bytes(text);
    icalmemory_free_buffer(text);

    QSaveFile output(path);
    if (!output.open(QIODevice::WriteOnly) || output.write(bytes) != bytes.size() || !output.commit())
        return fail(error, QStringLiteral("Cannot write %1: %2").arg(path, output.errorString()));
    m_files.remove(path);
    return true;
}

QList<CalendarEvent> VdirCalendarStore::allEvents()
{
    QList<CalendarEvent> events;
    QSet<QString> present;
    m_eventFiles.clear();
    for (const QString& folder : calendarFolders()) {
        const CalendarEvent::Calendar calendar = calendarOfFolder(folder);
        const QDir dir(folder);
        for (const QString& name : dir.entryList({"*.ics"}, QDir::Files, QDir::Name)) {
            const QString path = dir.filePath(name);
            present.insert(path);
            for (const CalendarEvent& event : readFile(path, calendar).events) {
                if (!m_eventFiles.contains(event.eventIdentifier))
                    m_eventFiles.insert(event.eventIdentifier, path);
                events << event;
            }
        }
    }
    // Files deleted since they were read.
    m_files.removeIf([&](const auto& entry) { return !present.contains(entry.key()); });
    return events;
}

const VdirCalendarStore::ReadFile& VdirCalendarStore::readFile(
    const QString& path, const CalendarEvent::Calendar& calendar)
{
    const QFileInfo info(path);
    auto cached = m_files.find(path);
    if (cached != m_files.end() && cached->modified == info.lastModified() && cached->size == info.size()) {
        // The folder's name, colour or permissions may have changed without the file.
        for (CalendarEvent& event : cached->events)
            event.calendar = calendar;
        return *cached;
    }

    ReadFile read;
    read.modified = info.lastModified();
    read.size = info.size();
    std::optional<QList<CalendarEvent>> events;
    QFile file(path);
    if (info.size() <= maximumFileSize && file.open(QIODevice::ReadOnly))
        events = eventsOfFile(file.readAll(), calendar);
    if (events)
        read.events = *events;
    else
        ConsoleLog::write(QStringLiteral("skipping unreadable calendar file %1").arg(path));
    return *m_files.insert(path, read);
}

QString VdirCalendarStore::filePathOf(const QString& eventIdentifier)
{
    allEvents();
    return m_eventFiles.value(eventIdentifier);
}
