#include "Platform/services/RecurrenceRule.h"
#include "Platform/core/CivilTime.h"

#include <QElapsedTimer>
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <libical/ical.h>

namespace {

qint64 wallOf(icaltimetype time)
{
    return CivilTime {time.year, time.month, time.day, time.hour, time.minute, time.second}.wallSeconds();
}

std::optional<RecurrenceRule> ruleOf(const char* text, const char* start)
{
    const icalrecurrencetype rule = icalrecurrencetype_from_string(text);
    const icaltimetype first = icaltime_from_string(start);
    const std::optional<qint64> until
        = icaltime_is_null_time(rule.until) ? std::nullopt : std::optional<qint64>(wallOf(rule.until));
    return RecurrenceRule::make(rule, wallOf(first), first.is_date, until);
}

// libical's occurrences in [from, to], for rules it follows quickly.
std::vector<qint64> libicalOccurrences(const char* text, const char* start, qint64 from, qint64 to)
{
    icalrecur_iterator* iterator
        = icalrecur_iterator_new(icalrecurrencetype_from_string(text), icaltime_from_string(start));
    std::vector<qint64> found;
    for (int i = 0; iterator && i < 20000; ++i) {
        const icaltimetype next = icalrecur_iterator_next(iterator);
        if (icaltime_is_null_time(next) || wallOf(next) > to)
            break;
        if (wallOf(next) >= from)
            found.push_back(wallOf(next));
    }
    icalrecur_iterator_free(iterator);
    return found;
}

std::vector<qint64> occurrences(RecurrenceRule& rule, qint64 from, qint64 to)
{
    ExpansionBudget budget(10000);
    std::vector<qint64> found;
    EXPECT_EQ(rule.occurrences(from, to, budget, found), RecurrenceRule::Result::Complete);
    return found;
}

std::vector<std::string> texts(const std::vector<qint64>& walls)
{
    std::vector<std::string> result;
    for (const qint64 wall : walls) {
        const CivilTime t = CivilTime::fromWallSeconds(wall);
        char text[32];
        std::snprintf(
            text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
        result.push_back(text);
    }
    return result;
}

} // namespace

// Rules as calendars write them follow the same days as libical's iterator, near their start and
// years later.
TEST(RecurrenceRule, FollowsTheSameOccurrencesAsLibical)
{
    struct Case
    {
        const char* rule;
        const char* start;
    };
    const Case cases[] = {
        {"FREQ=DAILY", "20260301T100000"},
        {"FREQ=DAILY;INTERVAL=3", "20260301T100000"},
        {"FREQ=DAILY;BYHOUR=9,17;BYMINUTE=0,30", "20260301T100000"},
        {"FREQ=DAILY;BYMONTH=1,2", "20260301T100000"},
        {"FREQ=DAILY;BYDAY=MO,FR", "20260301T100000"},
        {"FREQ=DAILY;UNTIL=20270115T100000", "20260301T100000"},
        {"FREQ=WEEKLY", "20260301T100000"},
        {"FREQ=WEEKLY;INTERVAL=2;BYDAY=MO,WE,FR", "20260304T080000"},
        {"FREQ=WEEKLY;INTERVAL=2;BYDAY=SU,TU;WKST=SU", "20260301T100000"},
        {"FREQ=WEEKLY;INTERVAL=2;BYDAY=SU,TU;WKST=MO", "20260301T100000"},
        {"FREQ=WEEKLY;BYDAY=TU", "20260302T100000"},
        {"FREQ=WEEKLY;COUNT=8", "20261020T100000"},
        {"FREQ=WEEKLY;COUNT=30;BYDAY=MO,TH", "20261020T100000"},
        {"FREQ=WEEKLY;UNTIL=20261231", "20260302"},
        {"FREQ=MONTHLY", "20260131T100000"},
        {"FREQ=MONTHLY;BYMONTHDAY=-1", "20260131T100000"},
        {"FREQ=MONTHLY;BYDAY=2TU", "20260101T183000"},
        {"FREQ=MONTHLY;BYDAY=-1FR", "20260101T183000"},
        {"FREQ=MONTHLY;BYDAY=MO,TU,WE,TH,FR;BYSETPOS=-1", "20260101T090000"},
        {"FREQ=MONTHLY;INTERVAL=3;BYMONTHDAY=1,15", "20260101T090000"},
        {"FREQ=MONTHLY;BYDAY=FR;BYMONTHDAY=13", "20260101T090000"},
        {"FREQ=MONTHLY;COUNT=10;BYDAY=1MO,3MO", "20260101T090000"},
        {"FREQ=MONTHLY;COUNT=40", "20260215"},
        {"FREQ=YEARLY", "19901027"},
        {"FREQ=YEARLY", "20240229T120000"},
        {"FREQ=YEARLY;BYMONTH=3;BYDAY=-1SU", "20260101T020000"},
        {"FREQ=YEARLY;BYDAY=20MO", "20260101T090000"},
        {"FREQ=YEARLY;BYYEARDAY=1,100,-1", "20260101T090000"},
        {"FREQ=YEARLY;BYWEEKNO=20;BYDAY=MO", "20260101T090000"},
        {"FREQ=YEARLY;BYMONTH=11;BYDAY=TH;BYMONTHDAY=22,23,24,25,26,27,28", "20261126T120000"},
        {"FREQ=YEARLY;BYMONTH=1;BYDAY=MO,TU;BYSETPOS=2", "20260101T090000"},
        {"FREQ=YEARLY;INTERVAL=4;BYMONTH=2;BYMONTHDAY=29", "20240229"},
        {"FREQ=HOURLY;INTERVAL=5;BYMINUTE=0,30", "20260302T101500"},
        {"FREQ=HOURLY;BYHOUR=9,10,11;BYDAY=MO", "20260302T090000"},
        {"FREQ=MINUTELY;INTERVAL=15;BYHOUR=9,10", "20260302T090000"},
        {"FREQ=MINUTELY;INTERVAL=20;COUNT=50", "20260302T090000"},
        {"FREQ=SECONDLY;INTERVAL=45;BYMINUTE=0", "20260302T090000"},
    };
    constexpr qint64 day = CivilTime::secondsPerDay;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.rule) + " from " + c.start);
        std::optional<RecurrenceRule> rule = ruleOf(c.rule, c.start);
        ASSERT_TRUE(rule);
        const qint64 start = wallOf(icaltime_from_string(c.start));
        const bool dense = strstr(c.rule, "HOURLY") || strstr(c.rule, "MINUTELY") || strstr(c.rule, "SECONDLY");
        const qint64 length = (dense ? 2 : 200) * day;
        for (const qint64 from : {start - day, start + (dense ? 100 : 4019) * day}) {
            EXPECT_EQ(texts(occurrences(*rule, from, from + length)),
                texts(libicalOccurrences(c.rule, c.start, from, from + length)));
        }
    }
}

// A rule that never matches, or matches once a second for ages, answers a window at once.
TEST(RecurrenceRule, HostileRulesCostLittlePerWindow)
{
    constexpr qint64 day = CivilTime::secondsPerDay;
    struct Case
    {
        const char* rule;
        std::size_t occurrencesInADay;
    };
    const Case cases[] = {
        {"FREQ=SECONDLY;BYMONTH=2;BYMONTHDAY=30", 0},
        {"FREQ=MINUTELY;BYMONTH=2;BYMONTHDAY=30", 0},
        {"FREQ=HOURLY;BYMONTH=2;BYMONTHDAY=30", 0},
        {"FREQ=DAILY;BYMONTH=2;BYMONTHDAY=30", 0},
        {"FREQ=MONTHLY;BYMONTH=2;BYMONTHDAY=30", 0},
        {"FREQ=YEARLY;BYMONTH=2;BYMONTHDAY=30", 0},
        {"FREQ=DAILY;COUNT=5;BYMONTH=2;BYMONTHDAY=30", 0},
        {"FREQ=SECONDLY;INTERVAL=2;BYSECOND=1", 0},
        {"FREQ=SECONDLY;COUNT=1000000000", RecurrenceRule::maximumOccurrences},
        {"FREQ=SECONDLY;COUNT=1000000000;BYMINUTE=5", 60 * 24},
        {"FREQ=MINUTELY;COUNT=2000000000;BYHOUR=3", 60},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rule);
        std::optional<RecurrenceRule> rule = ruleOf(c.rule, "20100101T000000");
        ASSERT_TRUE(rule);
        const qint64 from = CivilTime {2026, 5, 4}.wallSeconds();
        QElapsedTimer timer;
        timer.start();
        for (int shown = 0; shown < 3; ++shown) {
            ExpansionBudget budget(1000);
            std::vector<qint64> found;
            rule->occurrences(from + shown * day, from + (shown + 1) * day - 1, budget, found);
            EXPECT_EQ(found.size(), std::min<std::size_t>(c.occurrencesInADay, RecurrenceRule::maximumOccurrences));
        }
        EXPECT_LT(timer.elapsed(), 200);
    }
}

TEST(RecurrenceRule, CountedRulesEndAfterTheirCount)
{
    struct Case
    {
        const char* rule;
        const char* start;
        const char* last;
    };
    const Case cases[] = {
        // Worked out without counting.
        {"FREQ=SECONDLY;COUNT=1000000000", "20100101T000000", "20410909T014639"},
        {"FREQ=MONTHLY;INTERVAL=2;COUNT=13", "20260115T090000", "20280115T090000"},
        {"FREQ=YEARLY;COUNT=3", "20260301", "20280301"},
        // Counted.
        {"FREQ=MONTHLY;COUNT=4", "20260131T090000", "20260731T090000"},
        {"FREQ=WEEKLY;COUNT=1000;BYDAY=MO,TU", "20260105T090000", "20350731T090000"},
        {"FREQ=HOURLY;COUNT=1000;BYDAY=SA", "20100102T000000", "20101016T150000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rule);
        std::optional<RecurrenceRule> rule = ruleOf(c.rule, c.start);
        ASSERT_TRUE(rule);
        const qint64 last = wallOf(icaltime_from_string(c.last));
        const auto around = occurrences(*rule, last - 60, last + 400 * CivilTime::secondsPerDay);
        ASSERT_FALSE(around.empty());
        EXPECT_EQ(texts({around.back()}), texts({last}));
    }
}
