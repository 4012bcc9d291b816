#include "PelorinsKit/board/LiveObjects.h"

#include "PelorinsKit/model/DoneDate.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/model/ListItem.h"

namespace LiveObjects {

KanbanColumn* stage(const Kanban* kanban, KanbanColumn* stage)
{
    if (!stage || !stage->isDeleted())
        return stage;
    const QString identifier = stage->uniqueIdentifier();
    if (!kanban || kanban->isDeleted() || identifier.isEmpty())
        return nullptr;
    for (KanbanColumn* candidate : kanban->column())
        if (candidate->uniqueIdentifier() == identifier)
            return candidate;
    return nullptr;
}

ListItem* card(const Kanban* kanban, ListItem* card)
{
    if (!card || !card->isDeleted())
        return card;
    const QString identifier = card->uniqueIdentifier();
    if (!kanban || kanban->isDeleted() || identifier.isEmpty())
        return nullptr;
    for (const KanbanColumn* column : kanban->column())
        for (ListItem* candidate : column->item())
            if (candidate->uniqueIdentifier() == identifier)
                return candidate;
    for (const DoneDate* group : kanban->doneDates())
        for (ListItem* candidate : group->items())
            if (candidate->uniqueIdentifier() == identifier)
                return candidate;
    return nullptr;
}

}
