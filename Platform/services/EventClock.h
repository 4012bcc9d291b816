#pragma once

#include "Platform/services/TimeZoneOffsets.h"

#include <memory>

struct _icaltimezone;
typedef struct _icaltimezone icaltimezone;

// The wall clock of one date or time of an event: UTC, a zone known by name, a zone that only the
// file itself defines, or the user's own clock (for dates and for times without a zone).
class EventClock
{
public:
    static EventClock utc();
    explicit EventClock(std::shared_ptr<const TimeZoneOffsets> zone);
    explicit EventClock(std::shared_ptr<icaltimezone> fileZone);

    bool isUtc() const { return !m_zone && !m_fileZone; }
    qint64 toInstant(qint64 wallSeconds) const;
    qint64 toWallSeconds(qint64 instant) const;

private:
    EventClock() = default;

    std::shared_ptr<const TimeZoneOffsets> m_zone;
    std::shared_ptr<icaltimezone> m_fileZone;
};
