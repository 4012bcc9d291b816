#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

// A message bus of the test's own, so that no desktop's notifications are touched. Without
// dbus-daemon it does not run, and tests skip.
class PrivateSessionBus
{
public:
    PrivateSessionBus()
    {
        const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (daemon.isEmpty())
            return;
        m_daemon.start(
            daemon, {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address")});
        if (m_daemon.waitForReadyRead(5000))
            m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    }
    ~PrivateSessionBus()
    {
        for (const QString& name : std::as_const(m_connections))
            QDBusConnection::disconnectFromBus(name);
        m_daemon.kill();
        m_daemon.waitForFinished();
    }
    PrivateSessionBus(const PrivateSessionBus&) = delete;
    PrivateSessionBus& operator=(const PrivateSessionBus&) = delete;

    bool isRunning() const { return !m_address.isEmpty(); }

    // A connection of its own under `name`, closed with the bus.
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
