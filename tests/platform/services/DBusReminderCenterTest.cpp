#include "Platform/services/DBusReminderCenter.h"

#include "Platform/core/ConsoleLog.h"
#include "support/FakeNotificationService.h"
#include "support/PrivateSessionBus.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <gtest/gtest.h>

namespace {

template <typename Condition> bool spinUntil(Condition condition, int timeoutMs = 3000)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!condition() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return condition();
}

Reminder reminder(
    const QString& title, const QString& subtitle, const QString& urlString, const QString& informativeText = QString())
{
    return Reminder {urlString, title, subtitle, informativeText, QDateTime::currentDateTimeUtc(),
        {{QStringLiteral("urlString"), urlString}}};
}

struct Activations
{
    QStringList links;
    explicit Activations(ReminderCenter& center)
    {
        QObject::connect(&center, &ReminderCenter::activated, [this](const QString& link) { links << link; });
    }
};

} // namespace

TEST(DBusReminderCenter, AClickOnAShownReminderReportsItsCardLinkOnce)
{
    PrivateSessionBus bus;
    if (!bus.isRunning())
        GTEST_SKIP() << "no dbus-daemon";
    FakeNotificationService service(bus.connect("service"));
    DBusReminderCenter center(bus.connect("program"));
    Activations activations(center);

    center.deliver(reminder("Write the report", "due on: 17:00", "pelorins://CARD-1", "<Home> & \"work\""));
    center.deliver(reminder("Call Ana", QString(), "pelorins://CARD-2"));
    ASSERT_TRUE(spinUntil([&] { return service.shown.size() == 2; }));
    EXPECT_EQ(service.shown[0].summary, "Write the report");
    EXPECT_EQ(service.shown[0].body, "due on: 17:00\n&lt;Home&gt; &amp; &quot;work&quot;") << "escaped for markup";
    EXPECT_EQ(service.shown[1].body, "");
    EXPECT_EQ(service.shown[0].actions.value(0), "default");

    // Let the program receive the identifiers before the user clicks.
    spinUntil([] { return false; }, 100);
    service.click(42);
    ASSERT_TRUE(spinUntil([&] { return !activations.links.isEmpty(); }));
    EXPECT_EQ(activations.links, QStringList {"pelorins://CARD-2"});

    // A second click on the same notification, and a click on one closed before, do nothing.
    service.click(42);
    service.close(41);
    service.click(41);
    spinUntil([] { return false; }, 200);
    EXPECT_EQ(activations.links, QStringList {"pelorins://CARD-2"});
}

TEST(DBusReminderCenter, SignalsFromOthersThanTheServiceAndUnknownNotificationsAreIgnored)
{
    PrivateSessionBus bus;
    if (!bus.isRunning())
        GTEST_SKIP() << "no dbus-daemon";
    FakeNotificationService service(bus.connect("service"));
    DBusReminderCenter center(bus.connect("program"));
    Activations activations(center);

    center.deliver(reminder("Pay rent", QString(), "pelorins://CARD-3"));
    ASSERT_TRUE(spinUntil([&] { return service.shown.size() == 1; }));
    spinUntil([] { return false; }, 100);

    service.emitSignal(bus.connect("intruder"), "ActionInvoked", {41u, QString("default")});
    service.click(7);
    spinUntil([] { return false; }, 200);
    EXPECT_TRUE(activations.links.isEmpty());

    service.click(41);
    ASSERT_TRUE(spinUntil([&] { return !activations.links.isEmpty(); }));
    EXPECT_EQ(activations.links, QStringList {"pelorins://CARD-3"});
}

TEST(DBusReminderCenter, WithoutANotificationServiceAConsoleLineSaysSo)
{
    PrivateSessionBus bus;
    if (!bus.isRunning())
        GTEST_SKIP() << "no dbus-daemon";
    DBusReminderCenter center(bus.connect("program"));

    ConsoleLog::Capture capture;
    center.deliver(reminder("Pay rent", QString(), "pelorins://CARD-3"));
    ASSERT_TRUE(spinUntil([&] { return !capture.lines().isEmpty(); }));
    EXPECT_TRUE(capture.lines().first().startsWith("could not show reminder: "));
}
