#include "PelorinsKit/model/DateHelpers.h"

#include "PelorinsKit/model/DueSoonDefinition.h"

#include <QLocale>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <optional>
#include <time.h>

using namespace DateHelpers;

void PrintTo(const QDateTime& value, std::ostream* out)
{
    *out << qPrintable(value.toLocalTime().toString(Qt::ISODateWithMs)) << " ("
         << qPrintable(value.toUTC().toString(Qt::ISODate)) << ")";
}

namespace {

// Local wall-clock time in the fixture's zone, Europe/Berlin: summer time begins on
// 2026-03-29 at 02:00 (a 23-hour day) and ends on 2026-10-25 at 03:00 (a 25-hour day).
QDateTime local(int year, int month, int day, int hour, int minute, int second = 0)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second), Qt::LocalTime);
}

class DateHelpersTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_hadTimeZone = qEnvironmentVariableIsSet("TZ");
        m_previousTimeZone = qgetenv("TZ");
        qputenv("TZ", "Europe/Berlin");
        tzset();
        m_previousLocale = QLocale();
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
        ASSERT_TRUE(m_folder.isValid());
    }

    void TearDown() override
    {
        if (m_hadTimeZone)
            qputenv("TZ", m_previousTimeZone);
        else
            qunsetenv("TZ");
        tzset();
        QLocale::setDefault(m_previousLocale);
    }

    void setPreference(const QString& key, std::optional<int> value)
    {
        if (value)
            m_defaults.setValue(key, *value);
        else
            m_defaults.removeObject(key);
    }

    QTemporaryDir m_folder;
    UserDefaults m_defaults {m_folder.filePath("defaults.conf")};

private:
    bool m_hadTimeZone = false;
    QByteArray m_previousTimeZone;
    QLocale m_previousLocale;
};

TEST_F(DateHelpersTest, BeginningAndEndOfDateBoundTheLocalDayIncludingDaylightSavingDays)
{
    struct Case
    {
        QDateTime moment;
        QDate day;
        int lengthInHours;
    };
    const Case cases[] = {
        {local(2026, 12, 9, 14, 30, 15), QDate(2026, 12, 9), 24},
        {local(2026, 12, 9, 0, 0, 0), QDate(2026, 12, 9), 24},
        {local(2026, 12, 9, 23, 59, 59).addMSecs(999), QDate(2026, 12, 9), 24},
        {local(2026, 3, 29, 12, 0), QDate(2026, 3, 29), 23},
        {local(2026, 10, 25, 23, 0), QDate(2026, 10, 25), 25},
        // 23:30 UTC is already the next day in Berlin.
        {QDateTime(QDate(2026, 12, 9), QTime(23, 30), Qt::UTC), QDate(2026, 12, 10), 24},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.moment.toString(Qt::ISODate).toStdString());
        const QDateTime beginning = beginningOfDate(c.moment);
        const QDateTime end = endOfDate(c.moment);
        EXPECT_EQ(beginning, QDateTime(c.day, QTime(0, 0), Qt::LocalTime));
        EXPECT_EQ(end, QDateTime(c.day, QTime(23, 59, 59), Qt::LocalTime));
        EXPECT_EQ(beginning.secsTo(end), c.lengthInHours * 3600 - 1);
    }
}

TEST_F(DateHelpersTest, DifferenceInDaysCountsCalendarDaysNotElapsedTime)
{
    struct Case
    {
        QDateTime from;
        QDateTime to;
        int days;
    };
    const Case cases[] = {
        {local(2026, 12, 9, 23, 59), local(2026, 12, 10, 0, 1), 1},
        {local(2026, 12, 9, 0, 1), local(2026, 12, 9, 23, 59), 0},
        {local(2026, 12, 10, 0, 1), local(2026, 12, 9, 23, 59), -1},
        {local(2026, 3, 28, 0, 30), local(2026, 3, 30, 0, 10), 2},
        {local(2026, 10, 24, 23, 30), local(2026, 10, 26, 0, 10), 2},
        {local(2026, 12, 31, 22, 0), local(2027, 1, 1, 1, 0), 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.from.toString(Qt::ISODate).toStdString() + " -> " + c.to.toString(Qt::ISODate).toStdString());
        EXPECT_EQ(differenceInDaysWithDate(c.from, c.to), c.days);
    }
}

TEST_F(DateHelpersTest, NearestDeadlineIsTheNextDueTimeOnTheCalendar)
{
    struct Case
    {
        const char* name;
        QDateTime now;
        std::optional<int> hour;
        std::optional<int> minute;
        QDateTime expected;
    };
    const QDateTime now = local(2026, 12, 9, 9, 0);
    const Case cases[] = {
        {"at the due time", now, 9, 0, local(2026, 12, 10, 9, 0)},
        {"a minute before", local(2026, 12, 9, 8, 59), 9, 0, now},
        {"no preferences: midnight", local(2026, 12, 9, 10, 0), {}, {}, local(2026, 12, 10, 0, 0)},
        {"into summer time", local(2026, 3, 28, 9, 0), 9, 0, local(2026, 3, 29, 9, 0)},
        {"out of summer time", local(2026, 10, 24, 18, 0), 18, 0, local(2026, 10, 25, 18, 0)},
        {"due time skipped by the clock", local(2026, 3, 29, 1, 0), 2, 30, local(2026, 3, 29, 3, 30)},
        {"hour out of range", now, 24, 0, now},
        {"minute out of range", now, 9, 60, now},
        {"negative hour", now, -1, 0, now},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        setPreference(dueHourKey, c.hour);
        setPreference(dueMinuteKey, c.minute);
        EXPECT_EQ(nearestDeadline(c.now, m_defaults), c.expected);
    }
}

TEST_F(DateHelpersTest, DueSoonFollowsTheChosenWindowWithNoLowerBound)
{
    struct Case
    {
        std::optional<int> definition;
        QDateTime date;
        bool expected;
    };
    const QDateTime now = local(2026, 12, 9, 10, 0);
    const Case cases[] = {
        {0, local(2026, 12, 8, 23, 59), false},
        {0, local(2026, 12, 9, 0, 0), true},
        {0, local(2026, 12, 9, 23, 59), true},
        {0, local(2026, 12, 10, 0, 0), false},
        {{}, local(2026, 12, 9, 18, 0), true},
        {{}, local(2026, 12, 10, 9, 0), false},
        {1, now.addSecs(39 * 3600), true},
        {1, now.addSecs(40 * 3600).addMSecs(-1), true},
        {1, now.addSecs(40 * 3600), false},
        {1, now.addSecs(41 * 3600), false},
        {1, local(2023, 1, 1, 0, 0), true},
        {2, local(2026, 12, 11, 23, 59), true},
        {2, local(2026, 12, 12, 0, 0), false},
        {2, local(2020, 1, 1, 0, 0), true},
        {3, local(2026, 12, 12, 23, 59), true},
        {3, local(2026, 12, 13, 0, 0), false},
        {4, local(2026, 12, 13, 23, 59), true},
        {4, local(2026, 12, 14, 0, 0), false},
        {5, local(2026, 12, 14, 23, 59), true},
        {5, local(2026, 12, 15, 0, 0), false},
        {6, local(2026, 12, 16, 23, 59), true},
        {6, local(2026, 12, 17, 0, 0), false},
        {9, now, false},
        {9, local(2020, 1, 1, 0, 0), false},
        {-1, now, false},
        {6, QDateTime(), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(QStringLiteral("definition %1, date %2")
                         .arg(c.definition ? QString::number(*c.definition) : QStringLiteral("absent"),
                             c.date.toString(Qt::ISODate))
                         .toStdString());
        setPreference(dueSoonDefinitionKey, c.definition);
        EXPECT_EQ(dueSoon(c.date, now, m_defaults), c.expected);
    }
}

TEST_F(DateHelpersTest, DueDateTextShowsRelativeDaysWeekdaysAndTheCalendarYear)
{
    struct Case
    {
        QDateTime now;
        QDateTime date;
        QString expected;
    };
    const QDateTime now = local(2026, 12, 9, 10, 0); // a Wednesday
    const Case cases[] = {
        {now, local(2026, 12, 9, 8, 0), "Today"},
        {now, now, "Today"},
        {now, local(2026, 12, 9, 14, 30), "Today at 14:30"},
        {now, local(2026, 12, 10, 9, 5), "Tomorrow at 09:05"},
        {now, local(2026, 12, 8, 18, 0), "Yesterday"},
        {now, local(2026, 12, 6, 12, 0), "6 Dec 2026"},
        {now, local(2026, 12, 11, 14, 30), "Friday, 14:30"},
        {now, local(2026, 12, 15, 8, 0), "Tuesday, 08:00"},
        {now, local(2026, 12, 16, 9, 0), "Wed 16 Dec 2026"},
        {now, local(2027, 1, 20, 9, 0), "Wed 20 Jan 2027"},
        // 29 December 2025 lies in the first week of 2026.
        {local(2025, 12, 20, 10, 0), local(2025, 12, 29, 12, 0), "Mon 29 Dec 2025"},
        {local(2026, 1, 5, 10, 0), local(2025, 12, 29, 12, 0), "29 Dec 2025"},
        {now, QDateTime(), ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.date.toString(Qt::ISODate).toStdString());
        EXPECT_EQ(stringForDuedateCell(c.date, c.now), c.expected);
        EXPECT_EQ(relativeDateString(c.date, c.now), c.expected);
    }
}

TEST_F(DateHelpersTest, TimeBesideAWeekdayFollowsTheUsersLocale)
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    const QDateTime now = local(2026, 12, 9, 10, 0);
    EXPECT_EQ(stringForDuedateCell(local(2026, 12, 11, 14, 30), now), "Friday, 2:30 PM");
    EXPECT_EQ(stringForDuedateCell(local(2026, 12, 9, 14, 30), now), "Today at 14:30");
    // Without a locale the short time still has no seconds.
    QLocale::setDefault(QLocale::c());
    EXPECT_EQ(stringForDuedateCell(local(2026, 12, 11, 9, 5), now), "Friday, 09:05");
}

}
