#pragma once

#include "Platform/services/SystemEventMonitor.h"

#include <QByteArray>
#include <QDateTime>
#include <QElapsedTimer>
#include <QTimer>
#include <functional>

// The system events of a Linux desktop. Sleep and wake come from logind's PrepareForSleep signal
// on the system bus, where there is one. Clock and zone changes have no signal there, so a check
// every minute compares the wall clock with a monotonic clock (a jump of more than 2 s is a
// change) and the system zone and its UTC offset with what they were.
class LogindSystemEventMonitor : public SystemEventMonitor
{
    Q_OBJECT
public:
    struct Clocks
    {
        // The wall clock; the system's when empty.
        std::function<QDateTime()> now;
        // Milliseconds on a clock that is never set; the system's monotonic clock when empty.
        std::function<qint64()> monotonicMilliseconds;
        // The IANA identifier of the system zone; the system's when empty.
        std::function<QByteArray()> timeZoneId;
    };

    static constexpr int checkIntervalMilliseconds = 60 * 1000;
    static constexpr qint64 clockToleranceMilliseconds = 2000;

    // An empty address means the system bus.
    explicit LogindSystemEventMonitor(
        const QString& systemBusAddress = {}, Clocks clocks = {}, QObject* parent = nullptr);
    ~LogindSystemEventMonitor() override;

    // Whether sleep and wake are reported: logind's bus was reached.
    bool watchesSleep() const { return m_watchesSleep; }
    // Compares the clocks and the zone with the last check, and reports what changed.
    void check();

private slots:
    void prepareForSleep(bool start);

private:
    struct Reading
    {
        QDateTime wall;
        qint64 monotonic = 0;
        QByteArray zone;
        int offsetFromUtc = 0;
    };
    Reading read() const;

    QElapsedTimer m_monotonic;
    Clocks m_clocks;
    QString m_connectionName;
    bool m_watchesSleep = false;
    Reading m_last;
    QTimer m_timer;
};
