#pragma once

#include <QObject>

// Tells when the machine is about to sleep or has woken, and when the wall clock or the time
// zone changed under the program, so that timers aligned to the clock can be set again.
class SystemEventMonitor : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

signals:
    void willSleep();
    void didWake();
    // The wall clock was set: it moved apart from the time that passed.
    void clockChanged();
    // The system time zone, or its offset from UTC, changed.
    void timeZoneChanged();
};
