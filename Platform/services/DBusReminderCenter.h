#pragma once

#include "Platform/services/ReminderCenter.h"

#include <QDBusConnection>
#include <QHash>

// Shows reminders through the desktop's notification service (org.freedesktop.Notifications)
// and reports a click on one of them. Only notifications this object posted are answered, and only
// signals from the service itself count.
class DBusReminderCenter : public ReminderCenter
{
    Q_OBJECT

public:
    explicit DBusReminderCenter(
        const QDBusConnection& connection = QDBusConnection::sessionBus(), QObject* parent = nullptr);

    // Shows a reminder now; clicking it reports `urlString`. Without a notification service, writes
    // a console line and shows nothing.
    void deliver(const QString& title, const QString& body, const QString& urlString);

private slots:
    void actionInvoked(uint id, const QString& actionKey);
    void notificationClosed(uint id, uint reason);

private:
    QDBusConnection m_connection;
    // Card link of each notification shown and not yet closed.
    QHash<uint, QString> m_shown;
};
