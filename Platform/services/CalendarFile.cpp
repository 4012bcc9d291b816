#include "Platform/services/CalendarFile.h"

#include "Platform/core/ConsoleLog.h"
#include "Platform/services/CalendarTimeZones.h"
#include "Platform/core/CivilTime.h"
#include "Platform/services/ICalendarText.h"

#include <QHash>
#include <algorithm>
#include <libical/ical.h>
#include <memory>

namespace {

constexpr qint64 day = CivilTime::secondsPerDay;
// Kept per file: the weeks a user steps through in the due-date popover.
constexpr std::size_t rememberedWeeks = 6;
// Weeks begin on Mondays, 00:00 UTC (5 January 1970 was one).
constexpr qint64 firstMonday = 4 * day;
// More than any zone's clocks have ever jumped at once.
constexpr qint64 clockChangeMargin = 3 * 3600;

// The earliest (`direction` -1) or latest (1) wall time of `clock` whose instant can lie on the
// near side of `instant`: its own wall time, unless the clocks change close to it.
qint64 wallBound(const EventClock& clock, qint64 instant, int direction)
{
    const qint64 at = clock.toWallSeconds(instant);
    const qint64 before = clock.toWallSeconds(instant - clockChangeMargin) + clockChangeMargin;
    const qint64 after = clock.toWallSeconds(instant + clockChangeMargin) - clockChangeMargin;
    return direction < 0 ? std::min({at, before, after}) : std::max({at, before, after});
}

struct ComponentDeleter
{
    void operator()(icalcomponent* component) const { icalcomponent_free(component); }
};
using Component = std::unique_ptr<icalcomponent, ComponentDeleter>;

QString fromUtf8(const char* text)
{
    return text ? QString::fromUtf8(text) : QString();
}

qint64 wallOf(icaltimetype time)
{
    // A leap second is read as the second before it.
    return CivilTime {time.year, time.month, time.day, time.hour, time.minute, std::min(time.second, 59)}.wallSeconds();
}

bool isUsableTime(icaltimetype time)
{
    return icaltime_is_valid_time(time) && !icaltime_is_null_time(time) && time.year >= 1 && time.year <= 9999;
}

// libical drops what it cannot parse and notes it in an X-LIC-ERROR property.
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

// The clocks of one calendar of a file: zones known by name are shared by all files, zones that
// only this calendar defines are copied out of it so that they outlive its parsed text.
class Clocks
{
public:
    Clocks(CalendarTimeZones& zones, icalcomponent* root)
        : m_zones(zones)
        , m_root(root)
    {
    }

    EventClock of(icalproperty* property, icaltimetype time)
    {
        if (time.is_date)
            return EventClock(m_zones.local());
        if (icaltime_is_utc(time))
            return EventClock::utc();
        icalparameter* tzidParameter = icalproperty_get_first_parameter(property, ICAL_TZID_PARAMETER);
        const QByteArray tzid = tzidParameter ? QByteArray(icalparameter_get_tzid(tzidParameter)) : QByteArray();
        if (tzid.isEmpty())
            return EventClock(m_zones.local());
        if (auto named = m_zones.named(tzid))
            return EventClock(std::move(named));
        if (auto own = fileZone(tzid))
            return EventClock(std::move(own));
        return EventClock(m_zones.local());
    }

private:
    std::shared_ptr<icaltimezone> fileZone(const QByteArray& tzid)
    {
        const auto known = m_fileZones.constFind(tzid);
        if (known != m_fileZones.cend())
            return *known;
        std::shared_ptr<icaltimezone> copy;
        if (icaltimezone* zone = icalcomponent_get_timezone(m_root, tzid.constData())) {
            icaltimezone* made = icaltimezone_new();
            icaltimezone_set_component(made, icalcomponent_new_clone(icaltimezone_get_component(zone)));
            copy = std::shared_ptr<icaltimezone>(made, [](icaltimezone* z) { icaltimezone_free(z, 1); });
        }
        m_fileZones.insert(tzid, copy);
        return copy;
    }

    CalendarTimeZones& m_zones;
    icalcomponent* m_root;
    QHash<QByteArray, std::shared_ptr<icaltimezone>> m_fileZones;
};

// The instant of a date or time property, or nothing when its value is unusable.
std::optional<qint64> instantOf(icalproperty* property, icaltimetype time, Clocks& clocks)
{
    if (!isUsableTime(time))
        return std::nullopt;
    return clocks.of(property, time).toInstant(wallOf(time));
}

qint64 endOf(
    icalcomponent* vevent, const EventClock& startClock, qint64 startWall, qint64 start, bool isAllDay, Clocks& clocks)
{
    if (icalproperty* dtend = icalcomponent_get_first_property(vevent, ICAL_DTEND_PROPERTY)) {
        if (const auto end = instantOf(dtend, icalproperty_get_dtend(dtend), clocks))
            return std::max(start, *end);
    }
    if (icalproperty* duration = icalcomponent_get_first_property(vevent, ICAL_DURATION_PROPERTY)) {
        const icaldurationtype length = icalproperty_get_duration(duration);
        if (!length.is_neg) {
            const qint64 days = qint64(length.weeks) * 7 + length.days;
            const qint64 seconds = qint64(length.hours) * 3600 + length.minutes * 60 + length.seconds;
            // Days are calendar days, so a day across a clock change stays a day.
            return startClock.toInstant(startWall + days * day) + seconds;
        }
    }
    return isAllDay ? startClock.toInstant(startWall + day) : start;
}

// UNTIL on the wall clock of the series' start: a date ends with its last second.
std::optional<qint64> untilOf(icaltimetype until, const EventClock& startClock, bool startIsDate)
{
    if (icaltime_is_null_time(until))
        return std::nullopt;
    if (until.is_date)
        return wallOf(until) + (startIsDate ? 0 : day - 1);
    if (icaltime_is_utc(until))
        return startClock.toWallSeconds(wallOf(until));
    return wallOf(until);
}

std::shared_ptr<CalendarFileEvent::Repetition> repetitionOf(
    icalcomponent* vevent, icalproperty* dtstart, icaltimetype first, const CalendarFileEvent& event, Clocks& clocks)
{
    auto repetition = std::make_shared<CalendarFileEvent::Repetition>(
        CalendarFileEvent::Repetition {clocks.of(dtstart, first), {}, wallOf(first), {}, {}, {}, 0, 0});
    if (icalproperty* dtend = icalcomponent_get_first_property(vevent, ICAL_DTEND_PROPERTY))
        repetition->endClock = clocks.of(dtend, icalproperty_get_dtend(dtend));
    if (icalproperty* rrule = icalcomponent_get_first_property(vevent, ICAL_RRULE_PROPERTY)) {
        const icalrecurrencetype rule = icalproperty_get_rrule(rrule);
        repetition->rule = RecurrenceRule::make(
            rule, repetition->firstWall, first.is_date, untilOf(rule.until, repetition->startClock, first.is_date));
    }
    for (icalproperty* rdate = icalcomponent_get_first_property(vevent, ICAL_RDATE_PROPERTY); rdate;
         rdate = icalcomponent_get_next_property(vevent, ICAL_RDATE_PROPERTY)) {
        const icaldatetimeperiodtype value = icalproperty_get_rdate(rdate);
        icaltimetype due = icaltime_is_null_time(value.time) ? value.period.start : value.time;
        due.is_date = first.is_date;
        if (const auto start = instantOf(rdate, due, clocks))
            repetition->extraStarts.push_back(*start);
    }
    for (icalproperty* exdate = icalcomponent_get_first_property(vevent, ICAL_EXDATE_PROPERTY); exdate;
         exdate = icalcomponent_get_next_property(vevent, ICAL_EXDATE_PROPERTY)) {
        icaltimetype due = icalproperty_get_exdate(exdate);
        due.is_date = first.is_date;
        if (const auto start = instantOf(exdate, due, clocks))
            repetition->excludedStarts.insert(*start);
    }
    repetition->lengthSeconds = event.end - event.start;
    repetition->lengthDays = CivilTime::floorDivide(
        repetition->startClock.toWallSeconds(event.end) - repetition->firstWall + day / 2, day);
    return repetition;
}

// The event of `vevent`, or nothing when it lacks an identifier or a usable start.
std::optional<CalendarFileEvent> eventOf(icalcomponent* vevent, Clocks& clocks)
{
    icalproperty* dtstart = icalcomponent_get_first_property(vevent, ICAL_DTSTART_PROPERTY);
    CalendarFileEvent event;
    event.uid = fromUtf8(icalcomponent_get_uid(vevent));
    if (!dtstart || event.uid.isEmpty())
        return std::nullopt;
    const icaltimetype first = icalproperty_get_dtstart(dtstart);
    const auto start = instantOf(dtstart, first, clocks);
    if (!start)
        return std::nullopt;
    event.title = fromUtf8(icalcomponent_get_summary(vevent));
    event.isAllDay = first.is_date;
    event.start = *start;
    event.end = endOf(vevent, clocks.of(dtstart, first), wallOf(first), *start, first.is_date, clocks);
    if (icalcomponent_get_first_property(vevent, ICAL_DESCRIPTION_PROPERTY))
        event.notes = fromUtf8(icalcomponent_get_description(vevent));
    event.hasParseErrors = hasParseErrors(vevent);
    if (icalproperty* recurrenceId = icalcomponent_get_first_property(vevent, ICAL_RECURRENCEID_PROPERTY)) {
        event.recurrenceId = instantOf(recurrenceId, icalproperty_get_recurrenceid(recurrenceId), clocks);
        if (!event.recurrenceId)
            return std::nullopt;
    } else if (icalcomponent_get_first_property(vevent, ICAL_RRULE_PROPERTY)
        || icalcomponent_get_first_property(vevent, ICAL_RDATE_PROPERTY)) {
        event.repetition = repetitionOf(vevent, dtstart, first, event, clocks);
    }
    return event;
}

} // namespace

CalendarFile::CalendarFile(const QString& path, const QByteArray& bytes, CalendarTimeZones& zones)
    : m_path(path)
    , m_layout(bytes)
{
    if (m_layout.isTooComplex())
        return;
    m_unreadableEvents = m_layout.unfinishedEvents();
    for (int index = 0; index < m_layout.calendars().size(); ++index)
        readCalendar(index, bytes, zones);
}

void CalendarFile::readCalendar(int calendarIndex, const QByteArray& bytes, CalendarTimeZones& zones)
{
    const ICalendarLayout::Calendar& laidOut = m_layout.calendars().at(calendarIndex);
    const Component root(
        icalparser_parse_string(bytes.mid(laidOut.range.begin, laidOut.range.end - laidOut.range.begin).constData()));
    if (!root || icalcomponent_isa(root.get()) != ICAL_VCALENDAR_COMPONENT) {
        m_unreadableEvents += int(laidOut.events.size());
        m_matchesLayout.push_back(false);
        return;
    }
    m_readable = true;
    Clocks clocks(zones, root.get());
    bool matches = true;
    int eventIndex = 0;
    for (icalcomponent* vevent = icalcomponent_get_first_component(root.get(), ICAL_VEVENT_COMPONENT); vevent;
         vevent = icalcomponent_get_next_component(root.get(), ICAL_VEVENT_COMPONENT), ++eventIndex) {
        const QString uid = fromUtf8(icalcomponent_get_uid(vevent));
        matches = matches && eventIndex < laidOut.events.size()
            && ICalendarText::unescapedText(laidOut.events.at(eventIndex).uid).trimmed() == uid.trimmed();
        std::optional<CalendarFileEvent> event = eventOf(vevent, clocks);
        if (!event) {
            ++m_unreadableEvents;
            continue;
        }
        event->calendarIndex = calendarIndex;
        event->eventIndex = eventIndex;
        m_events.push_back(std::move(*event));
    }
    m_matchesLayout.push_back(matches && eventIndex == laidOut.events.size());
}

bool CalendarFile::isWritable(int event) const
{
    const CalendarFileEvent& read = m_events.at(std::size_t(event));
    return !m_layout.hasStrayText() && m_matchesLayout.at(std::size_t(read.calendarIndex)) && !read.hasParseErrors;
}

bool CalendarFile::occurrences(qint64 from, qint64 to, ExpansionBudget& budget, std::vector<Occurrence>& out)
{
    bool complete = true;
    const qint64 first = CivilTime::floorDivide(from - firstMonday, weekSeconds) * weekSeconds + firstMonday;
    for (qint64 weekFrom = first; weekFrom <= to; weekFrom += weekSeconds) {
        Week& found = week(weekFrom);
        complete = workOut(found, budget) && complete;
        for (const Occurrence& occurrence : found.found) {
            // An occurrence that began in an earlier week was taken from there. One that ends when
            // the window begins is over; one of no length counts where it starts.
            const bool taken = weekFrom != first && occurrence.start < weekFrom;
            if (!taken && occurrence.start <= to && (occurrence.end > from || occurrence.start >= from))
                out.push_back(occurrence);
        }
    }
    return complete;
}

CalendarFile::Week& CalendarFile::week(qint64 from)
{
    const auto known = std::find_if(m_weeks.begin(), m_weeks.end(), [&](const Week& w) { return w.from == from; });
    if (known != m_weeks.end())
        return *known;
    if (m_weeks.size() < rememberedWeeks) {
        m_weeks.push_back(Week {from, {}, 0});
        return m_weeks.back();
    }
    // The week asked for longest ago makes room; its storage is kept.
    std::rotate(m_weeks.begin(), m_weeks.begin() + 1, m_weeks.end());
    Week& reused = m_weeks.back();
    reused.from = from;
    reused.found.clear();
    reused.nextEvent = 0;
    return reused;
}

bool CalendarFile::workOut(Week& week, ExpansionBudget& budget)
{
    while (week.nextEvent < m_events.size()) {
        if (week.found.size() >= std::size_t(maximumOccurrences)) {
            reportTooMany();
            week.nextEvent = m_events.size();
            break;
        }
        if (!addOccurrences(int(week.nextEvent), week, budget))
            return false;
        ++week.nextEvent;
    }
    return true;
}

// Adds the occurrences of one event that overlap the week; false, with nothing added, when the
// budget ran out.
bool CalendarFile::addOccurrences(int index, Week& week, ExpansionBudget& budget)
{
    const CalendarFileEvent& event = m_events[std::size_t(index)];
    const qint64 weekTo = week.from + weekSeconds - 1;
    const auto overlaps
        = [&](qint64 start, qint64 end) { return start <= weekTo && (end > week.from || start >= week.from); };
    if (!event.isRepeating()) {
        if (overlaps(event.start, event.end))
            week.found.push_back(Occurrence {index, event.start, event.end});
        return true;
    }

    CalendarFileEvent::Repetition& repetition = *event.repetition;
    const EventClock& clock = repetition.startClock;
    const std::size_t before = week.found.size();
    const auto add = [&](qint64 start, qint64 wall) {
        const qint64 end
            = event.isAllDay ? clock.toInstant(wall + repetition.lengthDays * day) : start + repetition.lengthSeconds;
        if (!repetition.excludedStarts.contains(start) && overlaps(start, end))
            week.found.push_back(Occurrence {index, start, end});
    };
    if (repetition.rule) {
        // The window on the series' clock, widened by the event's length and by what a change of
        // the clocks could shift.
        const qint64 length = std::max(repetition.lengthSeconds, repetition.lengthDays * day);
        const qint64 from = wallBound(clock, week.from - length, -1);
        const qint64 to = wallBound(clock, weekTo, 1);
        m_walls.clear();
        const RecurrenceRule::Result result = repetition.rule->occurrences(from, to, budget, m_walls);
        if (result == RecurrenceRule::Result::OutOfTime)
            return false;
        if (result == RecurrenceRule::Result::Cut)
            reportTooMany();
        for (const qint64 wall : m_walls)
            add(clock.toInstant(wall), wall);
    } else {
        add(event.start, repetition.firstWall);
    }
    for (const qint64 start : repetition.extraStarts)
        add(start, clock.toWallSeconds(start));

    const auto added = week.found.begin() + qsizetype(before);
    std::sort(added, week.found.end(), [](const Occurrence& a, const Occurrence& b) { return a.start < b.start; });
    week.found.erase(std::unique(added, week.found.end(),
                         [](const Occurrence& a, const Occurrence& b) { return a.start == b.start; }),
        week.found.end());
    return true;
}

void CalendarFile::reportTooMany()
{
    if (m_reportedTooMany)
        return;
    m_reportedTooMany = true;
    ConsoleLog::write(QStringLiteral("calendar file %1 repeats events too often to show them all").arg(m_path));
}
