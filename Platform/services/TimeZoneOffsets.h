#pragma once

#include <QTimeZone>
#include <vector>

// Converts between wall seconds (see CivilTime) of a time zone and instants (seconds since the
// epoch). Asking the zone is slow, so the stretches between two of its transitions are remembered:
// a stretch answers by adding or taking away one offset. Times within a day of a transition, where
// a wall time may be missing or doubled, are always asked of the zone itself.
class TimeZoneOffsets
{
public:
    explicit TimeZoneOffsets(QTimeZone zone);

    bool isValid() const { return m_zone.isValid(); }
    qint64 toInstant(qint64 wallSeconds) const;
    qint64 toWallSeconds(qint64 instant) const;

private:
    struct Stretch
    {
        // Instants [from, to) have `offset`; wall times [wallFrom, wallTo) map back into them.
        qint64 from;
        qint64 to;
        qint64 wallFrom;
        qint64 wallTo;
        int offset;
    };

    const Stretch& stretchAt(qint64 instant) const;

    QTimeZone m_zone;
    mutable std::vector<Stretch> m_stretches;
};
