#include "BoardViewFixture.h"

#include "Platform/core/ConsoleLog.h"

#include <QDeadlineTimer>
#include <ctime>

namespace {

QDateTime utc(int year, int month, int day, int hour, int minute, int second, int msec = 0)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second, msec), Qt::UTC);
}

QDateTime berlin(int year, int month, int day, int hour, int minute, int second, int msec = 0)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second, msec), QTimeZone("Europe/Berlin"));
}

// The process's zone, for the length of a test.
class LocalZone
{
public:
    explicit LocalZone(const char* zone)
        : m_previous(qgetenv("TZ"))
    {
        set(zone);
    }
    ~LocalZone() { set(m_previous); }
    static void set(const QByteArray& zone)
    {
        if (zone.isEmpty())
            qunsetenv("TZ");
        else
            qputenv("TZ", zone);
        tzset();
    }

private:
    QByteArray m_previous;
};

// Long enough for a loaded machine; the waits end as soon as the timer has fired.
constexpr int waitLimit = 30000;

class BoardViewTimers : public BoardViewFixture
{
protected:
    BoardViewTimers()
        : zone("Europe/Berlin")
    {
    }
    LocalZone zone;
};

} // namespace

TEST_F(BoardViewTimers, NextWholeMinuteIsTheFirstMinuteAfterNow)
{
    const struct
    {
        QDateTime now;
        QDateTime next;
    } cases[] = {
        {utc(2026, 3, 10, 10, 15, 42), utc(2026, 3, 10, 10, 16, 0)},
        {utc(2026, 3, 10, 10, 20, 7), utc(2026, 3, 10, 10, 21, 0)},
        {utc(2026, 3, 10, 23, 59, 59), utc(2026, 3, 11, 0, 0, 0)},
        {utc(2026, 3, 10, 10, 16, 0), utc(2026, 3, 10, 10, 17, 0)},
        {utc(2026, 3, 10, 10, 15, 59, 999), utc(2026, 3, 10, 10, 16, 0)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MacKanbanColumnsViewController::nextWholeMinute(c.now), c.next)
            << c.now.toString(Qt::ISODateWithMs).toStdString();
}

TEST_F(BoardViewTimers, NextLocalMidnightIsFoundOnEveryKindOfDay)
{
    const QTimeZone berlinZone("Europe/Berlin");
    const struct
    {
        const char* day;
        QDateTime now;
        QDateTime next;
    } cases[] = {
        {"an ordinary day", berlin(2026, 3, 10, 23, 59, 59), berlin(2026, 3, 11, 0, 0, 0)},
        {"the eve of spring", berlin(2026, 3, 28, 12, 0, 0), berlin(2026, 3, 29, 0, 0, 0)},
        {"the 23-hour day", berlin(2026, 3, 29, 12, 0, 0), berlin(2026, 3, 30, 0, 0, 0)},
        {"the eve of autumn", berlin(2026, 10, 24, 12, 0, 0), berlin(2026, 10, 25, 0, 0, 0)},
        {"the 25-hour day", berlin(2026, 10, 25, 12, 0, 0), berlin(2026, 10, 26, 0, 0, 0)},
        {"just after midnight", berlin(2026, 10, 25, 0, 0, 0), berlin(2026, 10, 26, 0, 0, 0)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MacKanbanColumnsViewController::nextLocalMidnight(c.now.toUTC(), berlinZone), c.next.toUTC())
            << c.day;
    EXPECT_EQ(berlin(2026, 3, 29, 0, 0, 0).secsTo(berlin(2026, 3, 30, 0, 0, 0)), 23 * 3600);
    EXPECT_EQ(berlin(2026, 10, 25, 0, 0, 0).secsTo(berlin(2026, 10, 26, 0, 0, 0)), 25 * 3600);

    // Sao Paulo's clocks went from 23:59:59 to 01:00 on 4 November 2018: that day starts at 01:00.
    const QTimeZone saoPaulo("America/Sao_Paulo");
    const QDateTime eve(QDate(2018, 11, 3), QTime(12, 0), saoPaulo);
    EXPECT_EQ(MacKanbanColumnsViewController::nextLocalMidnight(eve.toUTC(), saoPaulo),
        QDateTime(QDate(2018, 11, 4), QTime(1, 0), saoPaulo).toUTC());
}

TEST_F(BoardViewTimers, TimersAreAlignedToTheClockAndSetAgainOnWake)
{
    now = berlin(2026, 3, 10, 10, 15, 42).toUTC();
    makeBoard();
    EXPECT_EQ(board->minutelyFireDate(), berlin(2026, 3, 10, 10, 16, 0).toUTC());
    EXPECT_EQ(board->dailyFireDate(), berlin(2026, 3, 11, 0, 0, 0).toUTC());

    systemEvents.sleep();
    EXPECT_FALSE(board->minutelyFireDate());
    EXPECT_FALSE(board->dailyFireDate());

    now = berlin(2026, 3, 10, 10, 20, 7).toUTC();
    systemEvents.wake();
    EXPECT_EQ(board->minutelyFireDate(), berlin(2026, 3, 10, 10, 21, 0).toUTC());
    EXPECT_EQ(board->dailyFireDate(), berlin(2026, 3, 11, 0, 0, 0).toUTC());

    // A wake with no sleep before it replaces the timers: one of each.
    now = berlin(2026, 3, 10, 23, 59, 59).toUTC();
    systemEvents.wake();
    EXPECT_EQ(board->minutelyFireDate(), berlin(2026, 3, 11, 0, 0, 0).toUTC());
    EXPECT_EQ(board->dailyFireDate(), berlin(2026, 3, 11, 0, 0, 0).toUTC());
}

TEST_F(BoardViewTimers, ClockAndZoneChangesSetTheTimersAgain)
{
    now = berlin(2026, 3, 10, 22, 30, 0).toUTC();
    makeBoard();
    EXPECT_EQ(board->dailyFireDate(), berlin(2026, 3, 11, 0, 0, 0).toUTC());

    LocalZone::set("Asia/Tokyo");
    systemEvents.changeTimeZone();
    const QTimeZone tokyo("Asia/Tokyo");
    EXPECT_EQ(board->dailyFireDate(), QDateTime(QDate(2026, 3, 12), QTime(0, 0), tokyo).toUTC());

    now = now.addSecs(3 * 3600);
    systemEvents.setClock();
    EXPECT_EQ(board->minutelyFireDate(), MacKanbanColumnsViewController::nextWholeMinute(now));
}

TEST_F(BoardViewTimers, AFireSetsTheNextFromTheMomentItWasDue)
{
    // The clock reads just before the minute when the timer fires: the same minute never fires
    // twice.
    now = berlin(2026, 3, 10, 10, 15, 59, 950).toUTC();
    makeBoard();
    const QDateTime due = berlin(2026, 3, 10, 10, 16, 0).toUTC();
    ASSERT_EQ(board->minutelyFireDate(), due);
    QDeadlineTimer deadline(waitLimit);
    while (board->minutelyFireDate() == due && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_EQ(board->minutelyFireDate(), due.addSecs(60));
}

TEST_F(BoardViewTimers, TheDailyTimerKeepsToMidnightAcrossA23HourDay)
{
    now = berlin(2026, 3, 28, 23, 59, 59, 950).toUTC();
    makeBoard();
    ASSERT_EQ(board->dailyFireDate(), berlin(2026, 3, 29, 0, 0, 0).toUTC());
    QDeadlineTimer deadline(waitLimit);
    while (board->dailyFireDate() == berlin(2026, 3, 29, 0, 0, 0).toUTC() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    // 23 hours later, where a fixed day of 86,400 s would fire at 01:00.
    EXPECT_EQ(board->dailyFireDate(), berlin(2026, 3, 30, 0, 0, 0).toUTC());
}

TEST_F(BoardViewTimers, AnyOtherEventIsOnlyWrittenToTheConsole)
{
    makeBoard();
    const std::optional<QDateTime> minute = board->minutelyFireDate();
    ConsoleLog::Capture capture;
    board->sleepListener(QStringLiteral("screensDidSleep"));
    EXPECT_EQ(capture.lines(), QStringList {"Some other event other than the first two"});
    EXPECT_EQ(board->minutelyFireDate(), minute);
}
