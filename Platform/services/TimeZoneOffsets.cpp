#include "Platform/services/TimeZoneOffsets.h"

#include "Platform/core/CivilTime.h"

#include <QDateTime>
#include <limits>

namespace {

constexpr qint64 farPast = std::numeric_limits<qint64>::min() / 4;
constexpr qint64 farFuture = std::numeric_limits<qint64>::max() / 4;
// Enough for the zones of a busy calendar file without searching long.
constexpr std::size_t rememberedStretches = 16;

QDateTime utcInstant(qint64 instant)
{
    return QDateTime::fromSecsSinceEpoch(instant, QTimeZone::utc());
}

} // namespace

TimeZoneOffsets::TimeZoneOffsets(QTimeZone zone)
    : m_zone(std::move(zone))
{
}

qint64 TimeZoneOffsets::toInstant(qint64 wallSeconds) const
{
    for (const Stretch& stretch : m_stretches) {
        if (wallSeconds >= stretch.wallFrom && wallSeconds < stretch.wallTo)
            return wallSeconds - stretch.offset;
    }
    const CivilTime wall = CivilTime::fromWallSeconds(wallSeconds);
    const QDateTime local(QDate(wall.year, wall.month, wall.day), QTime(wall.hour, wall.minute, wall.second), m_zone);
    // A wall time that the clocks skip counts with the offset from before the change.
    const qint64 instant = local.isValid()
        ? local.toSecsSinceEpoch()
        : wallSeconds - m_zone.offsetFromUtc(utcInstant(wallSeconds - CivilTime::secondsPerDay));
    stretchAt(instant);
    return instant;
}

qint64 TimeZoneOffsets::toWallSeconds(qint64 instant) const
{
    return instant + stretchAt(instant).offset;
}

const TimeZoneOffsets::Stretch& TimeZoneOffsets::stretchAt(qint64 instant) const
{
    for (const Stretch& stretch : m_stretches) {
        if (instant >= stretch.from && instant < stretch.to)
            return stretch;
    }
    Stretch stretch {farPast, farFuture, farPast, farFuture, m_zone.offsetFromUtc(utcInstant(instant))};
    if (m_zone.hasTransitions()) {
        const QTimeZone::OffsetData before = m_zone.previousTransition(utcInstant(instant + 1));
        const QTimeZone::OffsetData after = m_zone.nextTransition(utcInstant(instant));
        if (before.atUtc.isValid())
            stretch.from = before.atUtc.toSecsSinceEpoch();
        if (after.atUtc.isValid())
            stretch.to = after.atUtc.toSecsSinceEpoch();
    }
    const qint64 margin = CivilTime::secondsPerDay;
    stretch.wallFrom = stretch.from == farPast ? farPast : stretch.from + stretch.offset + margin;
    stretch.wallTo = stretch.to == farFuture ? farFuture : stretch.to + stretch.offset - margin;
    if (m_stretches.size() >= rememberedStretches)
        m_stretches.erase(m_stretches.begin());
    m_stretches.push_back(stretch);
    return m_stretches.back();
}
