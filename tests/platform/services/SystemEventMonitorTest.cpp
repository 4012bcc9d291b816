#include "Platform/services/LogindSystemEventMonitor.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QProcess>
#include <QStandardPaths>
#include <gtest/gtest.h>

namespace {

template <typename Condition> bool spinUntil(Condition condition, int timeoutMs = 3000)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!condition() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return condition();
}

// A bus of the test's own on which the test plays logind.
class FakeLogind
{
public:
    FakeLogind()
    {
        const QString daemon = QStandardPaths::findExecutable("dbus-daemon");
        if (daemon.isEmpty())
            return;
        m_daemon.start(daemon, {"--session", "--nofork", "--print-address"});
        if (!m_daemon.waitForReadyRead(5000))
            return;
        m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
        QDBusConnection bus = QDBusConnection::connectToBus(m_address, "fake-logind");
        if (!bus.registerService("org.freedesktop.login1"))
            m_address.clear();
    }
    ~FakeLogind()
    {
        QDBusConnection::disconnectFromBus("fake-logind");
        m_daemon.kill();
        m_daemon.waitForFinished();
    }

    bool isRunning() const { return !m_address.isEmpty(); }
    QString address() const { return m_address; }

    void prepareForSleep(bool start)
    {
        QDBusMessage signal = QDBusMessage::createSignal(
            "/org/freedesktop/login1", "org.freedesktop.login1.Manager", "PrepareForSleep");
        signal << start;
        QDBusConnection(QDBusConnection::connectToBus(m_address, "fake-logind")).send(signal);
    }

private:
    QProcess m_daemon;
    QString m_address;
};

// Clocks the test moves by hand.
struct ManualClocks
{
    QDateTime wall = QDateTime(QDate(2026, 3, 10), QTime(10, 15, 42), Qt::UTC);
    qint64 monotonic = 1000;
    QByteArray zone = "Europe/Berlin";

    LogindSystemEventMonitor::Clocks clocks()
    {
        return {[this] { return wall; }, [this] { return monotonic; }, [this] { return zone; }};
    }
    void pass(qint64 milliseconds)
    {
        wall = wall.addMSecs(milliseconds);
        monotonic += milliseconds;
    }
};

// How often each event was reported.
struct Counts
{
    explicit Counts(SystemEventMonitor& monitor)
    {
        QObject::connect(&monitor, &SystemEventMonitor::willSleep, [this] { ++sleeps; });
        QObject::connect(&monitor, &SystemEventMonitor::didWake, [this] { ++wakes; });
        QObject::connect(&monitor, &SystemEventMonitor::clockChanged, [this] { ++clockChanges; });
        QObject::connect(&monitor, &SystemEventMonitor::timeZoneChanged, [this] { ++zoneChanges; });
    }
    int sleeps = 0;
    int wakes = 0;
    int clockChanges = 0;
    int zoneChanges = 0;
};

} // namespace

TEST(SystemEventMonitor, PrepareForSleepFromLogindReportsSleepThenWake)
{
    FakeLogind logind;
    if (!logind.isRunning())
        GTEST_SKIP() << "no dbus-daemon";
    LogindSystemEventMonitor monitor(logind.address());
    ASSERT_TRUE(monitor.watchesSleep());
    const Counts counts(monitor);

    logind.prepareForSleep(true);
    ASSERT_TRUE(spinUntil([&] { return counts.sleeps == 1; }));
    EXPECT_EQ(counts.wakes, 0);
    logind.prepareForSleep(false);
    ASSERT_TRUE(spinUntil([&] { return counts.wakes == 1; }));
    EXPECT_EQ(counts.sleeps, 1);
}

TEST(SystemEventMonitor, WithoutABusOnlyTheClocksAreWatched)
{
    LogindSystemEventMonitor monitor(QStringLiteral("unix:path=/nonexistent/bus"));
    EXPECT_FALSE(monitor.watchesSleep());
}

TEST(SystemEventMonitor, ClockJumpsAndZoneChangesAreReportedOnce)
{
    ManualClocks time;
    LogindSystemEventMonitor monitor(QStringLiteral("unix:path=/nonexistent/bus"), time.clocks());
    const Counts counts(monitor);

    struct Step
    {
        const char* what;
        std::function<void()> change;
        int clockChanges;
        int zoneChanges;
    };
    const QList<Step> steps {
        {"a minute passes", [&] { time.pass(60000); }, 0, 0},
        {"drift within 2 s", [&] { time.pass(60000), time.wall = time.wall.addMSecs(1500); }, 0, 0},
        {"the clock is set an hour ahead", [&] { time.pass(60000), time.wall = time.wall.addSecs(3600); }, 1, 0},
        {"the clock is set 3 s back", [&] { time.pass(60000), time.wall = time.wall.addSecs(-3); }, 2, 0},
        {"another zone", [&] { time.pass(60000), time.zone = "Asia/Tokyo"; }, 2, 1},
        {"nothing more", [&] { time.pass(60000); }, 2, 1},
    };
    for (const Step& step : steps) {
        step.change();
        monitor.check();
        EXPECT_EQ(counts.clockChanges, step.clockChanges) << step.what;
        EXPECT_EQ(counts.zoneChanges, step.zoneChanges) << step.what;
    }
}

TEST(SystemEventMonitor, SummerTimeChangesTheOffsetAndCounts)
{
    ManualClocks time;
    // Berlin moves from UTC+1 to UTC+2 at 01:00 UTC on 29 March 2026.
    time.wall = QDateTime(QDate(2026, 3, 29), QTime(0, 59, 30), Qt::UTC);
    LogindSystemEventMonitor monitor(QStringLiteral("unix:path=/nonexistent/bus"), time.clocks());
    const Counts counts(monitor);

    time.pass(60000);
    monitor.check();
    EXPECT_EQ(counts.zoneChanges, 1);
    EXPECT_EQ(counts.clockChanges, 0);
}
