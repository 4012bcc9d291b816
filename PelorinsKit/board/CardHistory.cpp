#include "PelorinsKit/board/CardHistory.h"

#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/model/ListItemHistory.h"
#include "Platform/core/objectgraph/ManagedObjectContext.h"

namespace CardHistory {

void append(ListItem* item, ListItemAction action, const QString& kanbanColumnUniqueIdentifier)
{
    ListItemHistory* entry = ListItemHistory::create(action, item->managedObjectContext());
    if (!entry)
        return;
    if (!kanbanColumnUniqueIdentifier.isEmpty())
        entry->setKanbanColumnUniqueIdentifier(kanbanColumnUniqueIdentifier);
    item->addHistory(entry);
}

void removeLast(ListItem* item)
{
    QList<ListItemHistory*> history = item->history();
    if (history.isEmpty())
        return;
    ListItemHistory* last = history.takeLast();
    item->setHistory(history);
    if (ManagedObjectContext* context = last->managedObjectContext())
        context->deleteObject(last);
}

}
