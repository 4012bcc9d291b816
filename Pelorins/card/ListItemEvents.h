#pragma once

#include "Platform/services/CalendarEvent.h"

#include <QList>
#include <optional>

class CalendarStore;
class ListItem;

// The calendar events a card is linked to, kept in the card as their identifiers
// (`eventsArray`, in linking order) and read back through the user's calendars.
namespace ListItemEvents {

// Nothing unless access to the calendars is granted; otherwise the events whose identifiers
// still resolve, in order (an empty list without identifiers).
std::optional<QList<CalendarEvent>> events(const ListItem& card, CalendarStore* store);

} // namespace ListItemEvents
