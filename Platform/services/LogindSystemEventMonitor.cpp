#include "Platform/services/LogindSystemEventMonitor.h"

#include <QDBusConnection>
#include <QTimeZone>
#include <QUuid>

namespace {

const QString logindService = QStringLiteral("org.freedesktop.login1");
const QString logindPath = QStringLiteral("/org/freedesktop/login1");
const QString logindManager = QStringLiteral("org.freedesktop.login1.Manager");

} // namespace

LogindSystemEventMonitor::LogindSystemEventMonitor(const QString& systemBusAddress, Clocks clocks, QObject* parent)
    : SystemEventMonitor(parent)
    , m_clocks(std::move(clocks))
{
    m_monotonic.start();
    if (!m_clocks.now)
        m_clocks.now = [] { return QDateTime::currentDateTimeUtc(); };
    if (!m_clocks.monotonicMilliseconds)
        m_clocks.monotonicMilliseconds = [this] { return m_monotonic.elapsed(); };
    if (!m_clocks.timeZoneId)
        m_clocks.timeZoneId = [] { return QTimeZone::systemTimeZoneId(); };

    QDBusConnection bus = QDBusConnection::systemBus();
    if (!systemBusAddress.isEmpty()) {
        m_connectionName
            = QStringLiteral("pelorins-system-events-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
        bus = QDBusConnection::connectToBus(systemBusAddress, m_connectionName);
    }
    if (bus.isConnected())
        m_watchesSleep = bus.connect(logindService, logindPath, logindManager, QStringLiteral("PrepareForSleep"), this,
            SLOT(prepareForSleep(bool)));

    m_last = read();
    m_timer.setInterval(checkIntervalMilliseconds);
    connect(&m_timer, &QTimer::timeout, this, &LogindSystemEventMonitor::check);
    m_timer.start();
}

LogindSystemEventMonitor::~LogindSystemEventMonitor()
{
    if (!m_connectionName.isEmpty())
        QDBusConnection::disconnectFromBus(m_connectionName);
}

void LogindSystemEventMonitor::check()
{
    const Reading now = read();
    const qint64 wallElapsed = m_last.wall.msecsTo(now.wall);
    const qint64 elapsed = now.monotonic - m_last.monotonic;
    const bool clockMoved = std::abs(wallElapsed - elapsed) > clockToleranceMilliseconds;
    const bool zoneMoved = now.zone != m_last.zone || now.offsetFromUtc != m_last.offsetFromUtc;
    m_last = now;
    if (clockMoved)
        emit clockChanged();
    if (zoneMoved)
        emit timeZoneChanged();
}

void LogindSystemEventMonitor::prepareForSleep(bool start)
{
    if (start) {
        emit willSleep();
        return;
    }
    // Time passed asleep is no clock change.
    m_last = read();
    emit didWake();
}

LogindSystemEventMonitor::Reading LogindSystemEventMonitor::read() const
{
    Reading reading;
    reading.wall = m_clocks.now();
    reading.monotonic = m_clocks.monotonicMilliseconds();
    reading.zone = m_clocks.timeZoneId();
    const QTimeZone zone(reading.zone);
    reading.offsetFromUtc = zone.isValid() ? zone.offsetFromUtc(reading.wall) : 0;
    return reading;
}
