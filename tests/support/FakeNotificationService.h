#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QStringList>

// Plays the desktop's notification service (org.freedesktop.Notifications) on a test bus: records
// what is shown, answering each with the next identifier from 41, and lets the test click.
class FakeNotificationService : public QDBusVirtualObject
{
public:
    static constexpr QLatin1String path {"/org/freedesktop/Notifications"};
    static constexpr QLatin1String interface {
        "org.freedesktop.Notifications"
    };

    struct Shown
    {
        uint id = 0;
        QString summary;
        QString body;
        QStringList actions;
    };

    explicit FakeNotificationService(QDBusConnection connection)
        : m_connection(connection)
    {
        m_connection.registerVirtualObject(path, this);
        m_connection.registerService(interface);
    }

    QList<Shown> shown;

    // Sends one of the service's signals, from `from` (another connection plays an intruder).
    static void emitSignal(QDBusConnection from, const QString& name, const QVariantList& arguments)
    {
        QDBusMessage message = QDBusMessage::createSignal(path, interface, name);
        message.setArguments(arguments);
        from.send(message);
    }
    void click(uint id) { emitSignal(m_connection, QStringLiteral("ActionInvoked"), {id, QStringLiteral("default")}); }
    void close(uint id) { emitSignal(m_connection, QStringLiteral("NotificationClosed"), {id, 2u}); }

    QString introspect(const QString&) const override
    {
        return QStringLiteral("<interface name=\"org.freedesktop.Notifications\"><method name=\"Notify\">"
                              "<arg type=\"s\" direction=\"in\"/><arg type=\"u\" direction=\"in\"/>"
                              "<arg type=\"s\" direction=\"in\"/><arg type=\"s\" direction=\"in\"/>"
                              "<arg type=\"s\" direction=\"in\"/><arg type=\"as\" direction=\"in\"/>"
                              "<arg type=\"a{sv}\" direction=\"in\"/><arg type=\"i\" direction=\"in\"/>"
                              "<arg type=\"u\" direction=\"out\"/></method></interface>");
    }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        const QVariantList arguments = message.arguments();
        if (message.member() != QLatin1String("Notify") || arguments.size() != 8)
            return false;
        const uint id = uint(shown.size()) + 41;
        shown << Shown {id, arguments.at(3).toString(), arguments.at(4).toString(), arguments.at(5).toStringList()};
        connection.send(message.createReply(QVariant::fromValue(id)));
        return true;
    }

private:
    QDBusConnection m_connection;
};
