#pragma once

#include "Platform/services/SystemEventMonitor.h"

// System events on a test's command.
class FakeSystemEventMonitor : public SystemEventMonitor
{
public:
    using SystemEventMonitor::SystemEventMonitor;

    void sleep() { emit willSleep(); }
    void wake() { emit didWake(); }
    void setClock() { emit clockChanged(); }
    void changeTimeZone() { emit timeZoneChanged(); }
};
