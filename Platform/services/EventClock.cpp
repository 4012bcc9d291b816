#include "Platform/services/EventClock.h"

#include "Platform/core/CivilTime.h"

#include <libical/ical.h>

EventClock EventClock::utc()
{
    return EventClock();
}

EventClock::EventClock(std::shared_ptr<const TimeZoneOffsets> zone)
    : m_zone(std::move(zone))
{
}

EventClock::EventClock(std::shared_ptr<icaltimezone> fileZone)
    : m_fileZone(std::move(fileZone))
{
}

qint64 EventClock::toInstant(qint64 wallSeconds) const
{
    if (m_zone)
        return m_zone->toInstant(wallSeconds);
    if (!m_fileZone)
        return wallSeconds;
    const CivilTime wall = CivilTime::fromWallSeconds(wallSeconds);
    icaltimetype time = icaltime_null_time();
    time.year = wall.year;
    time.month = wall.month;
    time.day = wall.day;
    time.hour = wall.hour;
    time.minute = wall.minute;
    time.second = wall.second;
    return qint64(icaltime_as_timet_with_zone(time, m_fileZone.get()));
}

qint64 EventClock::toWallSeconds(qint64 instant) const
{
    if (m_zone)
        return m_zone->toWallSeconds(instant);
    if (!m_fileZone)
        return instant;
    const icaltimetype time = icaltime_from_timet_with_zone(time_t(instant), 0, m_fileZone.get());
    return CivilTime {time.year, time.month, time.day, time.hour, time.minute, time.second}.wallSeconds();
}
