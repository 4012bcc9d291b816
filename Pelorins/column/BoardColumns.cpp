#include "Pelorins/column/BoardColumns.h"

#include "Pelorins/column/MacKanbanColumnController.h"
#include "Pelorins/column/MacKanbanColumnDelegate.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/KanbanColumn.h"

namespace BoardColumns {

MacKanbanColumnController* liveColumnOf(MacKanbanColumnDelegate* board, KanbanColumn* stage)
{
    if (!board || !stage || stage->isDeleted() || !board->kanban() || board->kanban() != stage->kanban())
        return nullptr;
    const int index = int(board->kanbanColumns().indexOf(stage));
    for (MacKanbanColumnController* column : board->columnControllers())
        if (column->specifiedSection() == index)
            return column;
    return nullptr;
}

void showChange(MacKanbanColumnDelegate* board, const Kanban* kanban, const std::optional<QList<ListItem*>>& select)
{
    if (!board || board->kanban() != kanban)
        return;
    for (MacKanbanColumnController* column : board->columnControllers()) {
        if (column->showAllSections())
            column->followModel(select, false);
        else
            column->reloadData();
    }
}

} // namespace BoardColumns
