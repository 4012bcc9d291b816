#pragma once

#include "Platform/services/CalendarStore.h"

#include <algorithm>

// A calendar store held in memory. Tests set what the user answers when asked for access and
// which events exist, and read back what was requested and written.
class FakeCalendarStore : public CalendarStore
{
public:
    AuthorizationStatus status = AuthorizationStatus::NotDetermined;
    // The user's answer when asked; an Authorized store grants without asking.
    bool userGrantsAccess = false;
    // Reported by the request when not empty.
    QString accessError;
    int accessRequests = 0;
    int resets = 0;

    QList<CalendarEvent> storedEvents;
    // Makes saving fail with this error when not empty.
    QString saveError;

    AuthorizationStatus authorizationStatus() const override { return status; }

    void requestAccess(const AccessCompletion& completion) override
    {
        ++accessRequests;
        if (status != AuthorizationStatus::Authorized && userGrantsAccess)
            status = AuthorizationStatus::Authorized;
        if (completion)
            completion(status == AuthorizationStatus::Authorized, accessError);
    }

    void reset() override { ++resets; }

    QList<CalendarEvent> events(const QDateTime& from, const QDateTime& to) override
    {
        QList<CalendarEvent> found;
        for (const CalendarEvent& event : storedEvents) {
            if (event.startDate <= to && (event.endDate > from || event.startDate >= from))
                found << event;
        }
        std::stable_sort(found.begin(), found.end(),
            [](const CalendarEvent& a, const CalendarEvent& b) { return a.startDate < b.startDate; });
        return found;
    }

    std::optional<CalendarEvent> event(const QString& eventIdentifier) override
    {
        for (const Qt::CaseSensitivity sensitivity : {Qt::CaseSensitive, Qt::CaseInsensitive}) {
            const auto it = std::find_if(storedEvents.begin(), storedEvents.end(),
                [&](const CalendarEvent& e) { return e.eventIdentifier.compare(eventIdentifier, sensitivity) == 0; });
            if (it != storedEvents.end())
                return *it;
        }
        return std::nullopt;
    }

    bool saveNotes(const CalendarEvent& event, QString* error) override
    {
        const auto it = std::find(storedEvents.begin(), storedEvents.end(), event);
        if (!saveError.isEmpty() || it == storedEvents.end()) {
            if (error)
                *error = saveError.isEmpty() ? QStringLiteral("The event is no longer in the calendar.") : saveError;
            return false;
        }
        it->notes = event.notes;
        return true;
    }
};
