#pragma once

#include <QColor>
#include <QDateTime>
#include <QString>
#include <optional>

// One event of the user's calendars, as read at one moment. Writing back goes through the store
// it came from. Dates are instants; show them in the user's zone.
struct CalendarEvent
{
    struct Calendar
    {
        QString title;
        QColor color;
        bool allowsContentModifications = false;
    };

    // Names this copy of the event: the same invitation may sit in two calendars under one UID.
    QString eventIdentifier;
    // The event's UID, the same for every copy.
    QString calendarItemExternalIdentifier;
    QString title;
    QDateTime startDate;
    // Exclusive: an all-day event of one day ends at the next midnight.
    QDateTime endDate;
    bool isAllDay = false;
    // Where this occurrence of a repeating event was due by its rule; the start for other events.
    QDateTime occurrenceDate;
    std::optional<QString> notes;
    Calendar calendar;

    // The same event (for a repeating one, the same occurrence), whatever has been read of it since.
    bool operator==(const CalendarEvent& other) const
    {
        return eventIdentifier == other.eventIdentifier && occurrenceDate == other.occurrenceDate;
    }
};
