#pragma once

#include "Platform/services/ExpansionBudget.h"

#include <array>
#include <bitset>
#include <optional>
#include <vector>

struct icalrecurrencetype;

// A recurrence rule (RRULE) followed on the wall clock of its series' start, in wall seconds (see
// CivilTime). It begins at the window asked for and skips whole months, days, hours or minutes
// that its filters rule out, so a rule that matches rarely or never costs no more than one that
// matches often. A counted rule is counted from its start once, and only when a window could lie
// past its last occurrence; where the count can be worked out it is not counted at all.
class RecurrenceRule
{
public:
    // Limits of one window: a rule denser than this is no one's calendar.
    static constexpr int maximumOccurrences = 1000;
    static constexpr int maximumSteps = 100000;
    // Counting a rule's occurrences from its start is given up after this many steps in all; the
    // rule then runs on as if its count were never reached.
    static constexpr qint64 maximumCountingSteps = 5000000;

    enum class Frequency { Secondly, Minutely, Hourly, Daily, Weekly, Monthly, Yearly };
    enum class Result {
        Complete,
        // More occurrences or steps than one window allows; what was found is kept.
        Cut,
        // The budget ran out; what was found is kept, and asking again goes on where counting stopped.
        OutOfTime,
    };

    // Nothing for a rule that cannot be followed: no frequency, a calendar scale other than the
    // Gregorian, a rule more often than daily for a start without a time. `until` is the rule's
    // end on the same wall clock, inclusive.
    static std::optional<RecurrenceRule> make(
        const icalrecurrencetype& rule, qint64 start, bool startIsDate, std::optional<qint64> until);

    // Appends the occurrences in [from, to] (wall seconds), in order.
    Result occurrences(qint64 from, qint64 to, ExpansionBudget& budget, std::vector<qint64>& out);

private:
    RecurrenceRule() = default;

    struct Counting
    {
        // The next wall second to count from.
        qint64 next = 0;
        qint64 found = 0;
        qint64 steps = 0;
        bool done = false;
    };

    void applyDefaults(const icalrecurrencetype& rule, bool startIsDate);
    void workOutCount();
    bool isOncePerPeriod() const;
    Result count(ExpansionBudget& budget);
    qint64 maximumPerPeriod() const;

    template <typename Take> Result generate(qint64 from, qint64 to, ExpansionBudget& budget, Take take) const;
    template <typename Take> Result generateDays(qint64 from, qint64 to, ExpansionBudget& budget, Take take) const;
    template <typename Take>
    Result generateWithinDays(qint64 from, qint64 to, ExpansionBudget& budget, Take take) const;

    bool dayMatches(qint64 days) const;
    bool weekNumberMatches(qint64 days, int weekday) const;
    qint64 periodOf(qint64 days) const;
    qint64 firstDayOf(qint64 period) const;
    qint64 unitSeconds() const;
    qint64 subDailyBase() const;
    std::vector<qint64> selectPositions(const std::vector<qint64>& set) const;

    Frequency m_frequency = Frequency::Daily;
    int m_interval = 1;
    // 0 is Sunday.
    int m_weekStart = 1;
    qint64 m_start = 0;
    qint64 m_startDay = 0;
    std::optional<qint64> m_until;
    int m_count = 0;
    // Occurrences before this are within the count whatever the rule filters.
    qint64 m_countSafeUntil = 0;
    Counting m_counting;

    bool m_hasMonths = false;
    bool m_hasMonthDays = false;
    bool m_hasYearDays = false;
    bool m_hasWeekNumbers = false;
    bool m_hasWeekdays = false;
    bool m_limitsHours = false;
    bool m_limitsMinutes = false;
    bool m_limitsSeconds = false;
    quint32 m_months = 0;
    quint64 m_monthDays = 0;
    quint64 m_monthDaysFromEnd = 0;
    std::bitset<367> m_yearDays;
    std::bitset<367> m_yearDaysFromEnd;
    quint64 m_weekNumbers = 0;
    quint64 m_weekNumbersFromEnd = 0;
    quint32 m_weekdays = 0;
    std::array<quint64, 7> m_nthWeekdays {};
    std::array<quint64, 7> m_nthWeekdaysFromEnd {};
    bool m_hasNthWeekdays = false;
    // Filters of the time of day, for rules more often than daily.
    quint32 m_hours = 0;
    quint64 m_minutes = 0;
    quint64 m_seconds = 0;
    // Seconds of the day for rules of a day or longer; offsets within each period otherwise.
    std::vector<qint64> m_times;
    std::vector<int> m_setPositions;
};
