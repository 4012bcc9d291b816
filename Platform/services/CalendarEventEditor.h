#pragma once

#include "Platform/services/ICalendarLayout.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <optional>

// Writes notes into one event of a calendar file's bytes by changing that event's own lines only:
// its DESCRIPTION, DTSTAMP and LAST-MODIFIED. Every other byte stays as written: escapes, the order
// of rule parts, line endings, the byte-order mark, folding, text the reader skipped.
class CalendarEventEditor
{
public:
    // `bytes` with the event at `event` holding `notes` (none when empty), stamped `now`.
    static QByteArray withNotes(const QByteArray& bytes, ICalendarLayout::Range event,
        const std::optional<QString>& notes, const QDateTime& now);
    // `bytes` with a changed occurrence of the series at `series` added after it: a copy of the
    // series without its rule, starting at `startWall` (and ending at `endWall` when the series
    // has a DTEND), written as the series writes them, holding `notes`.
    static QByteArray withChangedOccurrence(const QByteArray& bytes, ICalendarLayout::Range series, qint64 startWall,
        std::optional<qint64> endWall, const std::optional<QString>& notes, const QDateTime& now);
};
