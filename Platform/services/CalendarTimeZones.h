#pragma once

#include "Platform/services/TimeZoneOffsets.h"

#include <QByteArray>
#include <QHash>
#include <memory>

// The time zones that calendar files name, each made once and shared by every event that uses
// it, and the user's own zone, in which dates and times without a zone are read.
class CalendarTimeZones
{
public:
    CalendarTimeZones();

    // Follows the user's zone; true when it changed since the last call, so that everything
    // read in the old one is stale.
    bool updateLocalZone();
    std::shared_ptr<const TimeZoneOffsets> local() const { return m_local; }
    // The zone of a TZID: an IANA name, one written by libical with a vendor prefix, or a
    // Windows name. Null when none of them.
    std::shared_ptr<const TimeZoneOffsets> named(const QByteArray& tzid);

private:
    QByteArray m_localId;
    std::shared_ptr<const TimeZoneOffsets> m_local;
    QHash<QByteArray, std::shared_ptr<const TimeZoneOffsets>> m_named;
};
