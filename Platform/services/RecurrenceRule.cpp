#include "Platform/services/RecurrenceRule.h"

#include "Platform/core/CivilTime.h"

#include <QByteArray>
#include <algorithm>
#include <libical/ical.h>
#include <limits>

namespace {

constexpr qint64 day = CivilTime::secondsPerDay;
// Nothing is followed past the last year that iCalendar can write.
const qint64 lastWallSecond = CivilTime::daysFromDate(10000, 1, 1) * day - 1;

qint64 ceilDivide(qint64 value, qint64 divisor)
{
    return -CivilTime::floorDivide(-value, divisor);
}

template <std::size_t Size> std::vector<int> valuesOf(const short (&list)[Size])
{
    std::vector<int> values;
    for (std::size_t i = 0; i < Size && list[i] != ICAL_RECURRENCE_ARRAY_MAX; ++i)
        values.push_back(list[i]);
    return values;
}

// Sets bit `value` of `mask` when it lies in [1, limit] and bit -`value` of `fromEnd` when it lies
// in [-limit, -1].
template <typename Mask> void addSigned(int value, int limit, Mask& mask, Mask& fromEnd)
{
    if (value >= 1 && value <= limit)
        mask |= Mask(1) << value;
    else if (value <= -1 && value >= -limit)
        fromEnd |= Mask(1) << -value;
}

std::vector<qint64> sortedUnique(std::vector<qint64> values)
{
    std::sort(values.begin(), values.end());
    values.erase(std::unique(values.begin(), values.end()), values.end());
    return values;
}

std::vector<int> timeValues(const std::vector<int>& given, int fallback, int limit)
{
    std::vector<int> values;
    for (const int value : given) {
        if (value >= 0 && value <= limit)
            values.push_back(value);
    }
    if (given.empty())
        values.push_back(fallback);
    return values;
}

template <typename Mask> Mask maskOf(const std::vector<int>& values)
{
    Mask mask = 0;
    for (const int value : values)
        mask |= Mask(1) << value;
    return mask;
}

qint64 addMonths(qint64 wallSeconds, qint64 months)
{
    const CivilTime start = CivilTime::fromWallSeconds(wallSeconds);
    const qint64 index = qint64(start.year) * 12 + start.month - 1 + months;
    if (index / 12 > 9999)
        return lastWallSecond;
    const qint64 secondOfDay = wallSeconds - CivilTime::floorDivide(wallSeconds, day) * day;
    return CivilTime::daysFromDate(int(index / 12), int(index % 12) + 1, start.day) * day + secondOfDay;
}

} // namespace

std::optional<RecurrenceRule> RecurrenceRule::make(
    const icalrecurrencetype& rule, qint64 start, bool startIsDate, std::optional<qint64> until)
{
    if (rule.freq < ICAL_SECONDLY_RECURRENCE || rule.freq > ICAL_YEARLY_RECURRENCE)
        return std::nullopt;
    if (rule.rscale && qstricmp(rule.rscale, "GREGORIAN") != 0)
        return std::nullopt;
    RecurrenceRule made;
    made.m_frequency = Frequency(rule.freq - ICAL_SECONDLY_RECURRENCE);
    if (startIsDate && made.m_frequency < Frequency::Daily)
        return std::nullopt;
    made.m_interval = std::max<int>(1, rule.interval);
    made.m_weekStart = rule.week_start == ICAL_NO_WEEKDAY ? 1 : int(rule.week_start) - 1;
    made.m_start = start;
    made.m_startDay = CivilTime::floorDivide(start, day);
    made.m_until = std::min(until.value_or(lastWallSecond), lastWallSecond);
    made.m_count = std::max(0, rule.count);

    for (const int value : valuesOf(rule.by_month)) {
        if (icalrecurrencetype_month_is_leap(short(value)))
            return std::nullopt;
        const int month = icalrecurrencetype_month_month(short(value));
        if (month >= 1 && month <= 12)
            made.m_months |= 1u << month;
        made.m_hasMonths = true;
    }
    for (const int value : valuesOf(rule.by_month_day)) {
        addSigned(value, 31, made.m_monthDays, made.m_monthDaysFromEnd);
        made.m_hasMonthDays = true;
    }
    for (const int value : valuesOf(rule.by_year_day)) {
        if (value >= 1 && value <= 366)
            made.m_yearDays.set(std::size_t(value));
        else if (value <= -1 && value >= -366)
            made.m_yearDaysFromEnd.set(std::size_t(-value));
        made.m_hasYearDays = true;
    }
    for (const int value : valuesOf(rule.by_week_no)) {
        addSigned(value, 53, made.m_weekNumbers, made.m_weekNumbersFromEnd);
        made.m_hasWeekNumbers = true;
    }
    // An ordinal ("the second Monday") counts within the month or the year only.
    const bool ordinals = made.m_frequency >= Frequency::Monthly;
    for (const int value : valuesOf(rule.by_day)) {
        const int weekday = int(icalrecurrencetype_day_day_of_week(short(value))) - 1;
        if (weekday < 0 || weekday > 6)
            continue;
        const int position = icalrecurrencetype_day_position(short(value));
        if (position == 0 || !ordinals)
            made.m_weekdays |= 1u << weekday;
        else
            addSigned(position, 53, made.m_nthWeekdays[std::size_t(weekday)],
                made.m_nthWeekdaysFromEnd[std::size_t(weekday)]);
        made.m_hasNthWeekdays = made.m_hasNthWeekdays || (position != 0 && ordinals);
        made.m_hasWeekdays = true;
    }
    made.m_setPositions = valuesOf(rule.by_set_pos);
    made.applyDefaults(rule, startIsDate);
    made.workOutCount();
    return made;
}

// What the rule leaves open comes from its start: the days of a yearly, monthly or weekly rule
// and the time of day.
void RecurrenceRule::applyDefaults(const icalrecurrencetype& rule, bool startIsDate)
{
    const CivilTime first = CivilTime::fromWallSeconds(m_start);
    if (!m_hasWeekNumbers && !m_hasYearDays && !m_hasMonthDays && !m_hasWeekdays) {
        if (m_frequency == Frequency::Yearly && !m_hasMonths) {
            m_months = 1u << first.month;
            m_hasMonths = true;
        }
        if (m_frequency == Frequency::Yearly || m_frequency == Frequency::Monthly) {
            m_monthDays = quint64(1) << first.day;
            m_hasMonthDays = true;
        } else if (m_frequency == Frequency::Weekly) {
            m_weekdays = 1u << CivilTime::weekday(m_startDay);
            m_hasWeekdays = true;
        }
    }

    const std::vector<int> hours = valuesOf(rule.by_hour);
    const std::vector<int> minutes = valuesOf(rule.by_minute);
    const std::vector<int> seconds = valuesOf(rule.by_second);
    std::vector<int> expandedHours = {0};
    std::vector<int> expandedMinutes = {0};
    std::vector<int> expandedSeconds = {0};
    switch (m_frequency) {
    case Frequency::Secondly:
        m_limitsSeconds = !seconds.empty();
        m_seconds = maskOf<quint64>(timeValues(seconds, 0, 59));
        [[fallthrough]];
    case Frequency::Minutely:
        m_limitsMinutes = !minutes.empty();
        m_minutes = maskOf<quint64>(timeValues(minutes, 0, 59));
        [[fallthrough]];
    case Frequency::Hourly:
        m_limitsHours = !hours.empty();
        m_hours = maskOf<quint32>(timeValues(hours, 0, 23));
        if (m_frequency <= Frequency::Minutely)
            break;
        expandedMinutes = timeValues(minutes, first.minute, 59);
        expandedSeconds = timeValues(seconds, first.second, 59);
        break;
    default:
        if (startIsDate)
            break;
        expandedHours = timeValues(hours, first.hour, 23);
        expandedMinutes = timeValues(minutes, first.minute, 59);
        expandedSeconds = timeValues(seconds, first.second, 59);
        break;
    }
    if (m_frequency == Frequency::Minutely)
        expandedSeconds = timeValues(seconds, first.second, 59);
    for (const int hour : expandedHours) {
        for (const int minute : expandedMinutes) {
            for (const int second : expandedSeconds)
                m_times.push_back(qint64(hour) * 3600 + minute * 60 + second);
        }
    }
    m_times = sortedUnique(m_times);
}

// A count that one occurrence per period uses up can be turned into an end at once; otherwise it
// is known at least how far the count cannot reach.
void RecurrenceRule::workOutCount()
{
    m_counting.next = m_start;
    if (m_count == 0) {
        m_counting.done = true;
        return;
    }
    const qint64 periods = qint64(m_count - 1) * m_interval;
    std::optional<qint64> last;
    if (isOncePerPeriod()) {
        switch (m_frequency) {
        case Frequency::Monthly:
            last = addMonths(m_start, periods);
            break;
        case Frequency::Yearly:
            last = addMonths(m_start, std::min<qint64>(periods, 10000) * 12);
            break;
        case Frequency::Weekly:
            last = m_start + std::min<qint64>(periods, 1000000) * 7 * day;
            break;
        default:
            last = m_start + std::min<qint64>(periods * unitSeconds(), lastWallSecond);
            break;
        }
    }
    if (last) {
        m_until = std::min(*m_until, std::min(*last, lastWallSecond));
        m_counting.done = true;
        return;
    }

    // At most so many occurrences per period, and per day, can have used up the count.
    const qint64 safePeriods = std::min<qint64>((m_count - 1) / maximumPerPeriod() * m_interval, 4000000);
    const qint64 safeFromPeriods = m_frequency >= Frequency::Daily
        ? firstDayOf(periodOf(m_startDay) + safePeriods) * day
        : subDailyBase() + safePeriods * unitSeconds();
    qint64 perDay = qint64(m_times.size());
    if (m_frequency < Frequency::Daily) {
        const qint64 hours = m_limitsHours ? std::bitset<32>(m_hours).count() : 24;
        const qint64 minutes = m_limitsMinutes ? std::bitset<64>(m_minutes).count() : 60;
        const qint64 seconds = m_limitsSeconds ? std::bitset<64>(m_seconds).count() : 60;
        const qint64 filtered = m_frequency == Frequency::Secondly ? hours * minutes * seconds
            : m_frequency == Frequency::Minutely                   ? hours * minutes * perDay
                                                                   : hours * perDay;
        perDay = std::min(perDay * (day / (unitSeconds() * m_interval) + 1), filtered);
    }
    const qint64 safeDays = std::min<qint64>((m_count - 1) / std::max<qint64>(1, perDay), 4000000);
    m_countSafeUntil = std::max(safeFromPeriods, (m_startDay + safeDays) * day);
}

// Whether the start is an occurrence and every period holds exactly one, at the same place in it:
// what calendars write for "every week" or "every month on the 12th", with or without spelling out
// the day.
bool RecurrenceRule::isOncePerPeriod() const
{
    const CivilTime first = CivilTime::fromWallSeconds(m_start);
    const qint64 offset = m_frequency >= Frequency::Daily ? m_start - m_startDay * day : m_start - subDailyBase();
    if (m_hasYearDays || m_hasWeekNumbers || m_hasNthWeekdays || !m_setPositions.empty() || m_limitsHours
        || m_limitsMinutes || m_limitsSeconds || m_times.size() != 1 || m_times.front() != offset)
        return false;
    const bool onlyStartMonth = m_months == 1u << first.month;
    const bool onlyStartDay = m_monthDays == quint64(1) << first.day && m_monthDaysFromEnd == 0;
    switch (m_frequency) {
    case Frequency::Weekly:
        return !m_hasMonths && !m_hasMonthDays && m_weekdays == 1u << CivilTime::weekday(m_startDay);
    case Frequency::Monthly:
        return !m_hasMonths && !m_hasWeekdays && onlyStartDay && first.day <= 28;
    case Frequency::Yearly:
        return onlyStartMonth && onlyStartDay && !m_hasWeekdays && !(first.month == 2 && first.day == 29);
    default:
        return !m_hasMonths && !m_hasMonthDays && !m_hasWeekdays;
    }
}

qint64 RecurrenceRule::maximumPerPeriod() const
{
    qint64 perPeriod = qint64(m_times.size());
    switch (m_frequency) {
    case Frequency::Weekly:
        perPeriod *= 7;
        break;
    case Frequency::Monthly:
        perPeriod *= 31;
        break;
    case Frequency::Yearly:
        perPeriod *= 366;
        break;
    default:
        break;
    }
    if (!m_setPositions.empty())
        perPeriod = std::min<qint64>(perPeriod, qint64(m_setPositions.size()));
    return std::max<qint64>(1, perPeriod);
}

RecurrenceRule::Result RecurrenceRule::occurrences(
    qint64 from, qint64 to, ExpansionBudget& budget, std::vector<qint64>& out)
{
    if (!m_counting.done && to >= m_countSafeUntil) {
        if (count(budget) == Result::OutOfTime)
            return Result::OutOfTime;
    }
    const std::size_t first = out.size();
    bool cut = false;
    const Result result = generate(std::max(from, m_start), std::min(to, *m_until), budget, [&](qint64 wall) {
        out.push_back(wall);
        cut = out.size() - first >= std::size_t(maximumOccurrences);
        return !cut;
    });
    return cut ? Result::Cut : result;
}

// Counts from the start in pieces short enough for the step limit of one window: a day for rules
// more often than daily, a year otherwise. A piece the budget interrupts is counted again.
RecurrenceRule::Result RecurrenceRule::count(ExpansionBudget& budget)
{
    const qint64 piece = m_frequency < Frequency::Daily ? day : 366 * day;
    while (!m_counting.done) {
        if (m_counting.next > *m_until || m_counting.steps > maximumCountingSteps) {
            m_counting.done = true;
            break;
        }
        const qint64 pieceEnd = std::min(m_counting.next + piece - 1, *m_until);
        qint64 found = m_counting.found;
        std::optional<qint64> last;
        const Result result = generate(m_counting.next, pieceEnd, budget, [&](qint64 wall) {
            if (++found < m_count)
                return true;
            last = wall;
            return false;
        });
        if (result == Result::OutOfTime)
            return result;
        if (last) {
            m_until = *last;
            m_counting.done = true;
        }
        m_counting.found = found;
        m_counting.next = pieceEnd + 1;
        m_counting.steps += piece / unitSeconds() / m_interval + 1;
    }
    return Result::Complete;
}

template <typename Take>
RecurrenceRule::Result RecurrenceRule::generate(qint64 from, qint64 to, ExpansionBudget& budget, Take take) const
{
    if (from > to)
        return Result::Complete;
    return m_frequency >= Frequency::Daily ? generateDays(from, to, budget, take)
                                           : generateWithinDays(from, to, budget, take);
}

// Rules of a day or longer: day by day through the window, a whole period or month at a time
// where it cannot match.
template <typename Take>
RecurrenceRule::Result RecurrenceRule::generateDays(qint64 from, qint64 to, ExpansionBudget& budget, Take take) const
{
    const qint64 firstPeriod = periodOf(m_startDay);
    const qint64 lastDay = CivilTime::floorDivide(to, day);
    qint64 days = std::max(CivilTime::floorDivide(from, day), m_startDay);
    int steps = 0;
    while (days <= lastDay) {
        if (++steps > maximumSteps)
            return Result::Cut;
        if (!budget.spend())
            return Result::OutOfTime;
        const qint64 period = periodOf(days);
        const qint64 offset = (period - firstPeriod) % m_interval;
        if (offset != 0) {
            days = firstDayOf(period + m_interval - offset);
            continue;
        }
        if (!m_setPositions.empty()) {
            std::vector<qint64> set;
            for (qint64 d = firstDayOf(period); d < firstDayOf(period + 1); ++d) {
                if (dayMatches(d)) {
                    for (const qint64 time : m_times)
                        set.push_back(d * day + time);
                }
            }
            for (const qint64 wall : selectPositions(set)) {
                if (wall > to)
                    return Result::Complete;
                if (wall >= from && wall >= m_start && !take(wall))
                    return Result::Complete;
            }
            days = firstDayOf(period + 1);
            continue;
        }
        if (m_hasMonths) {
            const CivilTime date = CivilTime::fromDays(days);
            if (!(m_months >> date.month & 1)) {
                days
                    = CivilTime::daysFromDate(date.year, date.month, 1) + CivilTime::daysInMonth(date.year, date.month);
                continue;
            }
        }
        if (dayMatches(days)) {
            for (const qint64 time : m_times) {
                const qint64 wall = days * day + time;
                if (wall > to)
                    return Result::Complete;
                if (wall >= from && wall >= m_start && !take(wall))
                    return Result::Complete;
            }
        }
        ++days;
    }
    return Result::Complete;
}

// Rules more often than daily: period by period, jumping past days, hours and minutes that the
// filters rule out.
template <typename Take>
RecurrenceRule::Result RecurrenceRule::generateWithinDays(
    qint64 from, qint64 to, ExpansionBudget& budget, Take take) const
{
    const qint64 unit = unitSeconds();
    const qint64 step = unit * m_interval;
    const qint64 base = subDailyBase();
    const auto periodAtOrAfter = [&](qint64 wall) { return std::max<qint64>(0, ceilDivide(wall - base, step)); };
    qint64 period = periodAtOrAfter(from - unit + 1);
    qint64 checkedDay = std::numeric_limits<qint64>::min();
    bool dayOk = false;
    int steps = 0;
    for (;;) {
        const qint64 start = base + period * step;
        if (start > to)
            return Result::Complete;
        if (++steps > maximumSteps)
            return Result::Cut;
        if (!budget.spend())
            return Result::OutOfTime;
        const qint64 days = CivilTime::floorDivide(start, day);
        if (days != checkedDay) {
            checkedDay = days;
            dayOk = dayMatches(days);
        }
        const qint64 secondOfDay = start - days * day;
        qint64 skipTo = 0;
        if (!dayOk)
            skipTo = (days + 1) * day;
        else if (m_limitsHours && !(m_hours >> (secondOfDay / 3600) & 1))
            skipTo = start - secondOfDay % 3600 + 3600;
        else if (m_limitsMinutes && !(m_minutes >> (secondOfDay / 60 % 60) & 1))
            skipTo = start - secondOfDay % 60 + 60;
        else if (m_limitsSeconds && !(m_seconds >> (secondOfDay % 60) & 1))
            skipTo = start + 1;
        if (skipTo != 0) {
            period = std::max(period + 1, periodAtOrAfter(skipTo));
            continue;
        }
        std::vector<qint64> set;
        set.reserve(m_times.size());
        for (const qint64 offset : m_times)
            set.push_back(start + offset);
        if (!m_setPositions.empty())
            set = selectPositions(set);
        for (const qint64 wall : set) {
            if (wall > to)
                return Result::Complete;
            if (wall >= from && wall >= m_start && !take(wall))
                return Result::Complete;
        }
        ++period;
    }
}

bool RecurrenceRule::dayMatches(qint64 days) const
{
    const CivilTime date = CivilTime::fromDays(days);
    if (m_hasMonths && !(m_months >> date.month & 1))
        return false;
    const int monthLength = CivilTime::daysInMonth(date.year, date.month);
    if (m_hasMonthDays && !(m_monthDays >> date.day & 1) && !(m_monthDaysFromEnd >> (monthLength - date.day + 1) & 1))
        return false;
    const int yearLength = CivilTime::daysInYear(date.year);
    const int dayOfYear = int(days - CivilTime::daysFromDate(date.year, 1, 1)) + 1;
    if (m_hasYearDays && !m_yearDays.test(std::size_t(dayOfYear))
        && !m_yearDaysFromEnd.test(std::size_t(yearLength - dayOfYear + 1)))
        return false;
    const int weekday = CivilTime::weekday(days);
    if (m_hasWeekdays && !(m_weekdays >> weekday & 1)) {
        if (!m_hasNthWeekdays)
            return false;
        const bool inMonth = m_frequency == Frequency::Monthly || m_hasMonths;
        const int index = inMonth ? date.day : dayOfYear;
        const int length = inMonth ? monthLength : yearLength;
        const auto w = std::size_t(weekday);
        if (!(m_nthWeekdays[w] >> ((index - 1) / 7 + 1) & 1)
            && !(m_nthWeekdaysFromEnd[w] >> ((length - index) / 7 + 1) & 1))
            return false;
    }
    return !m_hasWeekNumbers || weekNumberMatches(days, weekday);
}

// Week 1 is the first week (starting on the rule's week start) with four days in the year, that
// is the week of 4 January.
bool RecurrenceRule::weekNumberMatches(qint64 days, int weekday) const
{
    const auto weekStartOf = [this](qint64 d) { return d - (CivilTime::weekday(d) - m_weekStart + 7) % 7; };
    const qint64 weekStart = days - (weekday - m_weekStart + 7) % 7;
    const int owner = CivilTime::fromDays(weekStart + 3).year;
    const qint64 firstWeek = weekStartOf(CivilTime::daysFromDate(owner, 1, 4));
    const qint64 weeks = (weekStartOf(CivilTime::daysFromDate(owner + 1, 1, 4)) - firstWeek) / 7;
    const qint64 number = (weekStart - firstWeek) / 7 + 1;
    return (m_weekNumbers >> number & 1) || (m_weekNumbersFromEnd >> (weeks - number + 1) & 1);
}

qint64 RecurrenceRule::periodOf(qint64 days) const
{
    switch (m_frequency) {
    case Frequency::Weekly:
        // Day 4 (5 January 1970) was a Monday; weeks begin on the rule's week start.
        return CivilTime::floorDivide(days - (m_weekStart + 3) % 7, 7);
    case Frequency::Monthly: {
        const CivilTime date = CivilTime::fromDays(days);
        return qint64(date.year) * 12 + date.month - 1;
    }
    case Frequency::Yearly:
        return CivilTime::fromDays(days).year;
    default:
        return days;
    }
}

qint64 RecurrenceRule::firstDayOf(qint64 period) const
{
    switch (m_frequency) {
    case Frequency::Weekly:
        return period * 7 + (m_weekStart + 3) % 7;
    case Frequency::Monthly:
        return CivilTime::daysFromDate(
            int(CivilTime::floorDivide(period, 12)), int(period - CivilTime::floorDivide(period, 12) * 12) + 1, 1);
    case Frequency::Yearly:
        return CivilTime::daysFromDate(int(period), 1, 1);
    default:
        return period;
    }
}

qint64 RecurrenceRule::unitSeconds() const
{
    switch (m_frequency) {
    case Frequency::Secondly:
        return 1;
    case Frequency::Minutely:
        return 60;
    case Frequency::Hourly:
        return 3600;
    default:
        return day;
    }
}

// The start of the series' first period: its second, minute or hour.
qint64 RecurrenceRule::subDailyBase() const
{
    return CivilTime::floorDivide(m_start, unitSeconds()) * unitSeconds();
}

std::vector<qint64> RecurrenceRule::selectPositions(const std::vector<qint64>& set) const
{
    std::vector<qint64> chosen;
    const qint64 size = qint64(set.size());
    for (const int position : m_setPositions) {
        const qint64 index = position > 0 ? position - 1 : size + position;
        if (position != 0 && index >= 0 && index < size)
            chosen.push_back(set[std::size_t(index)]);
    }
    return sortedUnique(chosen);
}
