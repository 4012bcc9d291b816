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

} // namespace ListItemEvents
