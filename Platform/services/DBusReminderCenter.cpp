#include "Platform/services/DBusReminderCenter.h"

#include "Platform/core/ConsoleLog.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace {

const QString service = QStringLiteral("org.freedesktop.Notifications");
const QString path = QStringLiteral("/org/freedesktop/Notifications");
const QString interface = QStringLiteral("org.freedesktop.Notifications");

const QString applicationName = QStringLiteral("Pelorins");
const QString iconName = QStringLiteral("pelorins");
// The action a click on the notification itself invokes.
const QString defaultAction = QStringLiteral("default");
const QString openActionTitle = QStringLiteral("Open");
// Left to the notification service.
constexpr int defaultExpiry = -1;

} // namespace

DBusReminderCenter::DBusReminderCenter(const QDBusConnection& connection, QObject* parent)
    : ReminderCenter(parent)
    , m_connection(connection)
{
    // Naming the service makes the bus deliver only signals sent by the service's owner.
    m_connection.connect(
        service, path, interface, QStringLiteral("ActionInvoked"), this, SLOT(actionInvoked(uint, QString)));
    m_connection.connect(
        service, path, interface, QStringLiteral("NotificationClosed"), this, SLOT(notificationClosed(uint, uint)));
}

void DBusReminderCenter::deliver(const Reminder& reminder)
{
    QStringList lines;
    for (const QString& line : {reminder.subtitle, reminder.informativeText})
        if (!line.isEmpty())
            lines.append(line.toHtmlEscaped());
    const QString body = lines.join(QLatin1Char('\n'));
    const QString title = reminder.title;
    const QString urlString = reminder.userInfo.value(QStringLiteral("urlString")).toString();
    QDBusMessage notify = QDBusMessage::createMethodCall(service, path, interface, QStringLiteral("Notify"));
    notify << applicationName << uint(0) << iconName << title << body << QStringList {defaultAction, openActionTitle}
           << QVariantMap() << defaultExpiry;
    auto* watcher = new QDBusPendingCallWatcher(m_connection.asyncCall(notify), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, urlString](QDBusPendingCallWatcher* call) {
        call->deleteLater();
        const QDBusPendingReply<uint> reply = *call;
        if (reply.isError()) {
            ConsoleLog::write(QStringLiteral("could not show reminder: ") + reply.error().message());
            return;
        }
        m_shown.insert(reply.value(), urlString);
    });
}

void DBusReminderCenter::actionInvoked(uint id, const QString& actionKey)
{
    Q_UNUSED(actionKey)
    const auto it = m_shown.constFind(id);
    if (it == m_shown.cend())
        return;
    const QString urlString = *it;
    m_shown.erase(it);
    emit activated(urlString);
}

void DBusReminderCenter::notificationClosed(uint id, uint reason)
{
    Q_UNUSED(reason)
    m_shown.remove(id);
}
