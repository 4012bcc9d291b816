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
#include <tuple>

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

// Turns the DATE and DATE-TIME values of one property into instants. Dates are local midnights;
// times without a zone are local ("floating") times.
class Clock
{
public:
    Clock(icalproperty* property, icalcomponent* root)
    {
        icalparameter* tzidParameter = icalproperty_get_first_parameter(property, ICAL_TZID_PARAMETER);
        const QByteArray tzid = tzidParameter ? QByteArray(icalparameter_get_tzid(tzidParameter)) : QByteArray();
        if (tzid.isEmpty())
            return;
        m_zone = timeZoneNamed(tzid);
        // Otherwise a zone of its own, defined by the file's VTIMEZONE.
        if (!m_zone.isValid())
            m_ownZone = icalcomponent_get_timezone(root, tzid.constData());
    }

    QDateTime instant(icaltimetype time) const
    {
        const QDate date(time.year, time.month, time.day);
        if (time.is_date)
            return date.startOfDay();
        const QTime clock(time.hour, time.minute, time.second);
        if (icaltime_is_utc(time))
            return QDateTime(date, clock, QTimeZone::utc());
        if (m_zone.isValid())
            return QDateTime(date, clock, m_zone);
        if (m_ownZone)
            return QDateTime::fromSecsSinceEpoch(icaltime_as_timet_with_zone(time, m_ownZone), QTimeZone::utc());
        return QDateTime(date, clock);
    }

    // `instant` as a wall-clock time of this clock, to within the zone's offset where the file
    // defines the zone itself.
    icaltimetype wallClock(const QDateTime& instant, bool utc) const
    {
        const QDateTime local = utc ? instant.toUTC()
            : m_zone.isValid()      ? instant.toTimeZone(m_zone)
                                    : instant.toLocalTime();
        icaltimetype time = icaltime_null_time();
        time.year = local.date().year();
        time.month = local.date().month();
        time.day = local.date().day();
        time.hour = local.time().hour();
        time.minute = local.time().minute();
        time.second = local.time().second();
        return time;
    }

private:
    QTimeZone m_zone;
    icaltimezone* m_ownZone = nullptr;
};

bool isEarlier(icaltimetype a, icaltimetype b)
{
    const auto fields = [](icaltimetype t) {
        return std::make_tuple(
            t.year, t.month, t.day, t.is_date ? 0 : t.hour, t.is_date ? 0 : t.minute, t.is_date ? 0 : t.second);
    };
    return fields(a) < fields(b);
}

QDateTime instantOf(icalproperty* property, icaltimetype time, icalcomponent* root)
{
    return Clock(property, root).instant(time);
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

bool isOverride(icalcomponent* vevent)
{
    return icalcomponent_get_first_property(vevent, ICAL_RECURRENCEID_PROPERTY) != nullptr;
}

bool isRepeating(icalcomponent* vevent)
{
    return icalcomponent_get_first_property(vevent, ICAL_RRULE_PROPERTY)
        || icalcomponent_get_first_property(vevent, ICAL_RDATE_PROPERTY);
}

bool isUsableTime(icaltimetype time)
{
    return icaltime_is_valid_time(time) && !icaltime_is_null_time(time);
}

// The event of `vevent` as written, or nothing when it lacks an identifier or a start.
std::optional<CalendarEvent> eventOf(
    icalcomponent* vevent, icalcomponent* root, const CalendarEvent::Calendar& calendar)
{
    icalproperty* dtstart = icalcomponent_get_first_property(vevent, ICAL_DTSTART_PROPERTY);
    const QString uid = fromUtf8(icalcomponent_get_uid(vevent));
    if (!dtstart || uid.isEmpty())
        return std::nullopt;
    const icaltimetype start = icalproperty_get_dtstart(dtstart);
    if (!isUsableTime(start))
        return std::nullopt;

    CalendarEvent event;
    event.eventIdentifier = uid;
    event.title = fromUtf8(icalcomponent_get_summary(vevent));
    event.isAllDay = start.is_date;
    event.startDate = instantOf(dtstart, start, root);
    if (!event.startDate.isValid())
        return std::nullopt;
    event.endDate = endOf(vevent, event.startDate, event.isAllDay, root);
    event.occurrenceDate = event.startDate;
    if (icalproperty* recurrenceId = icalcomponent_get_first_property(vevent, ICAL_RECURRENCEID_PROPERTY)) {
        const icaltimetype due = icalproperty_get_recurrenceid(recurrenceId);
        if (!isUsableTime(due))
            return std::nullopt;
        event.occurrenceDate = instantOf(recurrenceId, due, root);
    }
    if (icalcomponent_get_first_property(vevent, ICAL_DESCRIPTION_PROPERTY))
        event.notes = fromUtf8(icalcomponent_get_description(vevent));
    event.calendar = calendar;
    return event;
}

// Whether every event of a parsed file can be read.
bool isCalendarOfEvents(icalcomponent* root)
{
    if (!root || icalcomponent_isa(root) != ICAL_VCALENDAR_COMPONENT)
        return false;
    for (icalcomponent* vevent = icalcomponent_get_first_component(root, ICAL_VEVENT_COMPONENT); vevent;
         vevent = icalcomponent_get_next_component(root, ICAL_VEVENT_COMPONENT)) {
        if (!eventOf(vevent, root, {}))
            return false;
    }
    return true;
}

QList<icalcomponent*> veventsOf(icalcomponent* root)
{
    QList<icalcomponent*> vevents;
    for (icalcomponent* vevent = icalcomponent_get_first_component(root, ICAL_VEVENT_COMPONENT); vevent;
         vevent = icalcomponent_get_next_component(root, ICAL_VEVENT_COMPONENT))
        vevents << vevent;
    return vevents;
}

struct Occurrence
{
    // As the rule gives it, in the zone of the series' start.
    icaltimetype due;
    QDateTime start;
};

// A rule that would run on without end past any date asked for is cut here.
constexpr int maximumOccurrences = 20000;

// The occurrences of a repeating series that may overlap [from, until], in order: its rule and
// extra dates, without its excluded dates.
QList<Occurrence> occurrencesOf(
    icalcomponent* series, icalcomponent* root, const QDateTime& from, const QDateTime& until)
{
    icalproperty* dtstart = icalcomponent_get_first_property(series, ICAL_DTSTART_PROPERTY);
    const icaltimetype first = icalproperty_get_dtstart(dtstart);
    const Clock clock(dtstart, root);

    // Occurrences due before this cannot reach `from`; they are passed over without the cost of
    // turning them into instants. The margin covers any zone offset.
    const QDateTime start = clock.instant(first);
    const qint64 length = start.secsTo(endOf(series, start, first.is_date, root));
    const icaltimetype earliest = clock.wallClock(from.addSecs(-length).addDays(-2), icaltime_is_utc(first));

    QList<Occurrence> occurrences;
    const auto add = [&](icaltimetype due) {
        due.is_date = first.is_date;
        if (!isEarlier(due, earliest))
            occurrences << Occurrence {due, clock.instant(due)};
    };
    if (icalproperty* rrule = icalcomponent_get_first_property(series, ICAL_RRULE_PROPERTY)) {
        const icalrecurrencetype rule = icalproperty_get_rrule(rrule);
        icalrecur_iterator* iterator = icalrecur_iterator_new(rule, first);
        // A rule libical cannot follow still leaves the first occurrence.
        if (!iterator)
            add(first);
        // Counted rules must be followed from their start; others can begin near `from`.
        const bool endsBeforeEarliest = !icaltime_is_null_time(rule.until) && isEarlier(rule.until, earliest);
        if (iterator && rule.count == 0 && isEarlier(first, earliest) && !endsBeforeEarliest) {
            icaltimetype skipTo = earliest;
            skipTo.is_date = first.is_date;
            icalrecur_iterator_set_start(iterator, skipTo);
        }
        for (int count = 0; iterator && count < maximumOccurrences; ++count) {
            const icaltimetype due = icalrecur_iterator_next(iterator);
            if (icaltime_is_null_time(due))
                break;
            add(due);
            if (!occurrences.isEmpty() && occurrences.last().start > until)
                break;
        }
        if (iterator)
            icalrecur_iterator_free(iterator);
    } else {
        add(first);
    }
    for (icalproperty* rdate = icalcomponent_get_first_property(series, ICAL_RDATE_PROPERTY); rdate;
         rdate = icalcomponent_get_next_property(series, ICAL_RDATE_PROPERTY)) {
        const icaldatetimeperiodtype value = icalproperty_get_rdate(rdate);
        const icaltimetype due = icaltime_is_null_time(value.time) ? value.period.start : value.time;
        if (isUsableTime(due))
            add(due);
    }

    QSet<QDateTime> excluded;
    for (icalproperty* exdate = icalcomponent_get_first_property(series, ICAL_EXDATE_PROPERTY); exdate;
         exdate = icalcomponent_get_next_property(series, ICAL_EXDATE_PROPERTY)) {
        icaltimetype due = icalproperty_get_exdate(exdate);
        due.is_date = first.is_date;
        if (isUsableTime(due))
            excluded.insert(instantOf(exdate, due, root));
    }
    occurrences.removeIf([&](const Occurrence& o) { return o.start > until || excluded.contains(o.start); });
    std::stable_sort(occurrences.begin(), occurrences.end(),
        [](const Occurrence& a, const Occurrence& b) { return a.start < b.start; });
    return occurrences;
}

// The events of one parsed file that may overlap [from, until]: single events, each occurrence of a
// repeating one, and changed occurrences in place of the ones they replace.
QList<CalendarEvent> eventsOfFile(
    icalcomponent* root, const CalendarEvent::Calendar& calendar, const QDateTime& from, const QDateTime& until)
{
    const QList<icalcomponent*> vevents = veventsOf(root);
    QHash<QString, QSet<QDateTime>> changed;
    for (icalcomponent* vevent : vevents) {
        if (isOverride(vevent)) {
            const CalendarEvent event = *eventOf(vevent, root, calendar);
            changed[event.eventIdentifier].insert(event.occurrenceDate);
        }
    }

    QList<CalendarEvent> events;
    for (icalcomponent* vevent : vevents) {
        const CalendarEvent event = *eventOf(vevent, root, calendar);
        if (isOverride(vevent) || !isRepeating(vevent)) {
            events << event;
            continue;
        }
        const qint64 length = event.startDate.secsTo(event.endDate);
        const QSet<QDateTime> replaced = changed.value(event.eventIdentifier);
        for (const Occurrence& occurrence : occurrencesOf(vevent, root, from, until)) {
            if (replaced.contains(occurrence.start))
                continue;
            CalendarEvent repeated = event;
            repeated.startDate = occurrence.start;
            repeated.occurrenceDate = occurrence.start;
            // All-day occurrences keep their days across clock changes.
            repeated.endDate = event.isAllDay ? occurrence.start.addDays(event.startDate.daysTo(event.endDate))
                                              : occurrence.start.addSecs(length);
            events << repeated;
        }
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

void replaceProperty(icalcomponent* component, icalproperty_kind kind, icalproperty* replacement)
{
    while (icalproperty* old = icalcomponent_get_first_property(component, kind)) {
        icalcomponent_remove_property(component, old);
        icalproperty_free(old);
    }
    if (replacement)
        icalcomponent_add_property(component, replacement);
}

// A changed copy of one occurrence of `series`, added to the file, which from then on holds that
// occurrence's own properties.
icalcomponent* addChangedOccurrence(icalcomponent* root, icalcomponent* series, const Occurrence& occurrence)
{
    icalcomponent* changed = icalcomponent_new_clone(series);
    for (const icalproperty_kind kind :
        {ICAL_RRULE_PROPERTY, ICAL_RDATE_PROPERTY, ICAL_EXDATE_PROPERTY, ICAL_EXRULE_PROPERTY})
        replaceProperty(changed, kind, nullptr);

    icalproperty* seriesStart = icalcomponent_get_first_property(series, ICAL_DTSTART_PROPERTY);
    const icaltimetype first = icalproperty_get_dtstart(seriesStart);
    icalproperty* recurrenceId = icalproperty_new_recurrenceid(occurrence.due);
    icalproperty* start = icalproperty_new_clone(seriesStart);
    icalproperty_set_dtstart(start, occurrence.due);
    if (icalparameter* tzid = icalproperty_get_first_parameter(seriesStart, ICAL_TZID_PARAMETER))
        icalproperty_add_parameter(recurrenceId, icalparameter_new_clone(tzid));
    if (first.is_date)
        icalproperty_add_parameter(recurrenceId, icalparameter_new_value(ICAL_VALUE_DATE));
    replaceProperty(changed, ICAL_DTSTART_PROPERTY, start);
    icalcomponent_add_property(changed, recurrenceId);

    if (icalproperty* seriesEnd = icalcomponent_get_first_property(series, ICAL_DTEND_PROPERTY)) {
        const icaldurationtype length = icaltime_subtract(icalproperty_get_dtend(seriesEnd), first);
        icalproperty* end = icalproperty_new_clone(seriesEnd);
        icalproperty_set_dtend(end, icaltime_add(occurrence.due, length));
        replaceProperty(changed, ICAL_DTEND_PROPERTY, end);
    }
    icalcomponent_add_component(root, changed);
    return changed;
}

// The part of the file that holds the given occurrence's own properties, made when needed.
icalcomponent* componentOf(icalcomponent* root, const CalendarEvent& event)
{
    icalcomponent* series = nullptr;
    for (icalcomponent* vevent : veventsOf(root)) {
        const auto read = eventOf(vevent, root, {});
        if (!read || read->eventIdentifier != event.eventIdentifier)
            continue;
        if (!isOverride(vevent))
            series = vevent;
        else if (read->occurrenceDate == event.occurrenceDate)
            return vevent;
    }
    if (!series || !isRepeating(series))
        return series;
    for (const Occurrence& occurrence : occurrencesOf(series, root, event.occurrenceDate, event.occurrenceDate)) {
        if (occurrence.start == event.occurrenceDate)
            return addChangedOccurrence(root, series, occurrence);
    }
    return nullptr;
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
    for (const CalendarFile& file : calendarFiles()) {
        for (const CalendarEvent& event : eventsOfFile(file.calendar, file.info, from, to)) {
            // An event that ends when the range begins is over; one of no length counts where it starts.
            const bool overlaps = event.startDate <= to && (event.endDate > from || event.startDate >= from);
            if (overlaps)
                found << event;
        }
    }
    std::stable_sort(found.begin(), found.end(),
        [](const CalendarEvent& a, const CalendarEvent& b) { return a.startDate < b.startDate; });
    return found;
}

std::optional<CalendarEvent> VdirCalendarStore::event(const QString& eventIdentifier)
{
    for (const CalendarFile& file : calendarFiles()) {
        std::optional<CalendarEvent> first;
        for (icalcomponent* vevent : veventsOf(file.calendar)) {
            const CalendarEvent event = *eventOf(vevent, file.calendar, file.info);
            if (event.eventIdentifier == eventIdentifier && (!first || event.startDate < first->startDate))
                first = event;
        }
        if (first)
            return first;
    }
    return std::nullopt;
}

bool VdirCalendarStore::saveNotes(const CalendarEvent& event, QString* error)
{
    const QString missing = QStringLiteral("The event is no longer in the calendar.");
    QString path;
    for (const CalendarFile& file : calendarFiles()) {
        for (icalcomponent* vevent : veventsOf(file.calendar)) {
            if (fromUtf8(icalcomponent_get_uid(vevent)) == event.eventIdentifier) {
                path = file.path;
                break;
            }
        }
        if (!path.isEmpty())
            break;
    }
    if (path.isEmpty())
        return fail(error, missing);
    if (!QFileInfo(QFileInfo(path).path()).isWritable())
        return fail(error, QStringLiteral("The calendar is read-only."));

    // Parsed afresh, so nothing of the cache is changed before the write succeeds.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(error, QStringLiteral("Cannot read %1: %2").arg(path, file.errorString()));
    const Component root = parse(file.read(maximumFileSize));
    file.close();
    if (!root || hasParseErrors(root.get()))
        return fail(error, QStringLiteral("%1 holds data that cannot be rewritten without loss.").arg(path));
    icalcomponent* vevent = componentOf(root.get(), event);
    if (!vevent)
        return fail(error, missing);

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

QList<VdirCalendarStore::CalendarFile> VdirCalendarStore::calendarFiles()
{
    QList<CalendarFile> files;
    QSet<QString> present;
    for (const QString& folder : calendarFolders()) {
        const CalendarEvent::Calendar info = calendarOfFolder(folder);
        const QDir dir(folder);
        for (const QString& name : dir.entryList({"*.ics"}, QDir::Files, QDir::Name)) {
            const QString path = dir.filePath(name);
            present.insert(path);
            if (const ReadFile& read = readFile(path); read.calendar)
                files << CalendarFile {path, read.calendar.get(), info};
        }
    }
    // Files deleted since they were read.
    m_files.removeIf([&](const auto& entry) { return !present.contains(entry.key()); });
    return files;
}

const VdirCalendarStore::ReadFile& VdirCalendarStore::readFile(const QString& path)
{
    const QFileInfo info(path);
    const auto cached = m_files.constFind(path);
    if (cached != m_files.cend() && cached->modified == info.lastModified() && cached->size == info.size())
        return *cached;

    ReadFile read;
    read.modified = info.lastModified();
    read.size = info.size();
    QFile file(path);
    if (info.size() <= maximumFileSize && file.open(QIODevice::ReadOnly)) {
        Component root = parse(file.readAll());
        if (isCalendarOfEvents(root.get()))
            read.calendar = std::shared_ptr<icalcomponent>(root.release(), ComponentDeleter());
    }
    if (!read.calendar)
        ConsoleLog::write(QStringLiteral("skipping unreadable calendar file %1").arg(path));
    return *m_files.insert(path, read);
}
