#include "Pelorins/card/ListItemEvents.h"

#include "PelorinsKit/model/ListItem.h"
#include "Platform/services/CalendarStore.h"

namespace ListItemEvents {

std::optional<QList<CalendarEvent>> events(const ListItem& card, CalendarStore* store)
{
    if (!store || store->authorizationStatus() != CalendarStore::AuthorizationStatus::Authorized)
        return std::nullopt;
    QList<CalendarEvent> found;
    for (const QString& identifier : card.eventsArray().value_or(QStringList())) {
        if (std::optional<CalendarEvent> event = store->event(identifier))
            found.append(*event);
    }
    return found;
}

void setEvents(ListItem& card, const QList<CalendarEvent>& events)
{
    QStringList identifiers;
    for (const CalendarEvent& event : events) {
        if (!event.eventIdentifier.isEmpty())
            identifiers.append(event.eventIdentifier);
    }
    card.setEventsArray(identifiers);
}

} // namespace ListItemEvents
