#pragma once

#include "Platform/services/ReminderCenter.h"

#include <QDBusConnection>
#include <QHash>

// Delivers reminders through the desktop's notification service (org.freedesktop.Notifications)
// and reports a click on one of them. Only notifications this object posted are answered, and only
// signals from the service itself count.
class DBusReminderCenter : public ReminderCenter
{
    Q_OBJECT

public:
    explicit DBusReminderCenter(
        const QDBusConnection& connection = QDBusConnection::sessionBus(), QObject* parent = nullptr);

    // Shows a reminder now: its title as the summary, its subtitle and informative text as the
    // body (escaped, as servers may read markup); clicking it reports its "urlString". Without a
    // notification service, writes a console line and shows nothing.
    void deliver(const Reminder& reminder) override;

private slots:
    void actionInvoked(uint id, const QString& actionKey);
    void notificationClosed(uint id, uint reason);

private:
    QDBusConnection m_connection;
    // Card link of each notification shown and not yet closed.
    QHash<uint, QString> m_shown;
};
