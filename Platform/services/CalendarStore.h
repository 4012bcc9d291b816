#pragma once

#include "Platform/services/CalendarEvent.h"

#include <QList>
#include <functional>

// The program's access to the user's calendars: events of a day, one event by its identifier, and
// the card link written into an event's notes.
class CalendarStore
{
public:
    // Numbered as the calendar permission states that callers compare against.
    enum class AuthorizationStatus {
        NotDetermined = 0,
        Restricted = 1,
        Denied = 2,
        Authorized = 3,
    };

    // `error` is empty unless the request itself failed.
    using AccessCompletion = std::function<void(bool granted, const QString& error)>;

    virtual ~CalendarStore() = default;

    virtual AuthorizationStatus authorizationStatus() const = 0;
    // Asks the user for access unless it was granted already; the completion runs on the caller's
    // thread, before this returns.
    virtual void requestAccess(const AccessCompletion& completion) = 0;
    // Forgets everything read so far, so the next read sees the calendars as they are now.
    virtual void reset() = 0;

    // Events of all calendars that overlap [from, to], sorted by start; each occurrence of a
    // repeating event is an event of its own.
    virtual QList<CalendarEvent> events(const QDateTime& from, const QDateTime& to) = 0;
    // The event, or the first occurrence of a repeating one. An identifier that names no event
    // exactly names one whose UID differs from it only in case.
    virtual std::optional<CalendarEvent> event(const QString& eventIdentifier) = 0;
    // Writes `event.notes` into the event in its calendar; for a repeating event, into this
    // occurrence only. On failure returns false and sets `error`.
    virtual bool saveNotes(const CalendarEvent& event, QString* error) = 0;
};
