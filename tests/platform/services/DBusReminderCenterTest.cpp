#include "Platform/services/DBusReminderCenter.h"

#include "Platform/core/ConsoleLog.h"

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

// A message bus of the test's own, so that no desktop's notifications are touched.
class PrivateBus
{
public:
    PrivateBus()
    {
        const QString daemon = QStandardPaths::findExecutable("dbus-daemon");
        if (daemon.isEmpty())
            return;
        m_daemon.start(daemon, {"--session", "--nofork", "--print-address"});
        if (m_daemon.waitForReadyRead(5000))
            m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    }
    ~PrivateBus()
    {
        for (const QString& name : m_connections)
            QDBusConnection::disconnectFromBus(name);
        m_daemon.kill();
        m_daemon.waitForFinished();
    }

    bool isRunning() const { return !m_address.isEmpty(); }

    QDBusConnection connect(const QString& name)
    {
        m_connections << name;
        return QDBusConnection::connectToBus(m_address, name);
    }

private:
    QProcess m_daemon;
    QString m_address;
    QStringList m_connections;
};

// Plays the desktop's notification service: records what is shown and lets the test click.
class NotificationService : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    struct Shown
    {
        QString summary;
        QString body;
        QStringList actions;
    };

    explicit NotificationService(QDBusConnection connection)
        : m_connection(connection)
    {
        m_connection.registerObject("/org/freedesktop/Notifications", this, QDBusConnection::ExportAllSlots);
        m_connection.registerService("org.freedesktop.Notifications");
    }

    QList<Shown> shown;

    void emitSignal(QDBusConnection from, const QString& name, const QVariantList& arguments)
    {
        QDBusMessage message
            = QDBusMessage::createSignal("/org/freedesktop/Notifications", "org.freedesktop.Notifications", name);
        message.setArguments(arguments);
        from.send(message);
    }
    void click(uint id) { emitSignal(m_connection, "ActionInvoked", {id, QString("default")}); }
    void close(uint id) { emitSignal(m_connection, "NotificationClosed", {id, 2u}); }

public slots:
    uint Notify(const QString&, uint, const QString&, const QString& summary, const QString& body,
        const QStringList& actions, const QVariantMap&, int)
    {
        shown << Shown {summary, body, actions};
        return uint(shown.size()) + 40;
    }

private:
    QDBusConnection m_connection;
};

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
    PrivateBus bus;
    if (!bus.isRunning())
        GTEST_SKIP() << "no dbus-daemon";
    NotificationService service(bus.connect("service"));
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
    PrivateBus bus;
    if (!bus.isRunning())
        GTEST_SKIP() << "no dbus-daemon";
    NotificationService service(bus.connect("service"));
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
    PrivateBus bus;
    if (!bus.isRunning())
        GTEST_SKIP() << "no dbus-daemon";
    DBusReminderCenter center(bus.connect("program"));

    ConsoleLog::Capture capture;
    center.deliver(reminder("Pay rent", QString(), "pelorins://CARD-3"));
    ASSERT_TRUE(spinUntil([&] { return !capture.lines().isEmpty(); }));
    EXPECT_TRUE(capture.lines().first().startsWith("could not show reminder: "));
}

#include "DBusReminderCenterTest.moc"
