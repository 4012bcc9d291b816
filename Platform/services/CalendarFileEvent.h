#pragma once

#include "Platform/services/EventClock.h"
#include "Platform/services/RecurrenceRule.h"

#include <QSet>
#include <QString>
#include <optional>
#include <vector>

// One event (VEVENT) of a calendar file as read: a single event, a repeating series, or one changed
// occurrence of a series. Times are instants in seconds since the epoch.
struct CalendarFileEvent
{
    struct Repetition
    {
        EventClock startClock;
        // The clock of DTEND, when the series has one.
        std::optional<EventClock> endClock;
        // The series' start on its own clock.
        qint64 firstWall = 0;
        // Nothing when the series repeats by extra dates only, or by a rule that cannot be
        // followed (its start is then its only rule-made occurrence).
        std::optional<RecurrenceRule> rule;
        std::vector<qint64> extraStarts;
        QSet<qint64> excludedStarts;
        // An all-day series keeps its days across clock changes; others keep their length.
        qint64 lengthSeconds = 0;
        qint64 lengthDays = 0;
    };

    QString uid;
    QString title;
    std::optional<QString> notes;
    bool isAllDay = false;
    qint64 start = 0;
    qint64 end = 0;
    // For a changed occurrence: the start its series gave it.
    std::optional<qint64> recurrenceId;
    // Where it is written: the calendar of the file and the event within that calendar.
    int calendarIndex = 0;
    int eventIndex = 0;
    // The parser dropped part of it; a rewrite could not keep what it dropped.
    bool hasParseErrors = false;
    std::shared_ptr<Repetition> repetition;

    bool isRepeating() const { return repetition != nullptr; }
};
