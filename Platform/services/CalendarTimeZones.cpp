#include "Platform/services/CalendarTimeZones.h"

namespace {

QTimeZone timeZoneNamed(const QByteArray& tzid)
{
    QTimeZone zone(tzid);
    if (zone.isValid())
        return zone;
    // Zones written by libical itself carry a vendor prefix before the usual name.
    if (const qsizetype slash = tzid.lastIndexOf('/', tzid.lastIndexOf('/') - 1); tzid.startsWith('/') && slash > 0) {
        zone = QTimeZone(tzid.mid(slash + 1));
        if (zone.isValid())
            return zone;
    }
    const QByteArray iana = QTimeZone::windowsIdToDefaultIanaId(tzid);
    return iana.isEmpty() ? QTimeZone() : QTimeZone(iana);
}

} // namespace

CalendarTimeZones::CalendarTimeZones()
{
    updateLocalZone();
}

bool CalendarTimeZones::updateLocalZone()
{
    const QByteArray id = QTimeZone::systemTimeZoneId();
    if (m_local && id == m_localId)
        return false;
    m_localId = id;
    m_local = std::make_shared<const TimeZoneOffsets>(QTimeZone::systemTimeZone());
    return true;
}

std::shared_ptr<const TimeZoneOffsets> CalendarTimeZones::named(const QByteArray& tzid)
{
    const auto known = m_named.constFind(tzid);
    if (known != m_named.cend())
        return *known;
    const QTimeZone zone = timeZoneNamed(tzid);
    const auto offsets = zone.isValid() ? std::make_shared<const TimeZoneOffsets>(zone) : nullptr;
    m_named.insert(tzid, offsets);
    return offsets;
}
