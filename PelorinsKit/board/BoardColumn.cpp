#include "PelorinsKit/board/BoardColumn.h"

#include "PelorinsKit/board/KanbanColumnController.h"
#include "PelorinsKit/board/KanbanColumnDelegate.h"
#include "PelorinsKit/board/KanbanColumnListItemsMover.h"
#include "PelorinsKit/board/ListItemsMoverDelegate.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/KanbanColumn.h"

BoardColumn BoardColumn::shownBy(const KanbanColumnController& controller)
{
    const KanbanColumnDelegate* board = controller.kanbanColumnDelegate();
    if (!board)
        return {};
    const QList<KanbanColumn*> stages = board->kanbanColumns();
    const int section = controller.specifiedSection();
    return {board->kanban(), section >= 0 && section < stages.size() ? stages.at(section) : nullptr};
}

bool BoardColumn::isDeleted() const
{
    return (kanban && kanban->isDeleted()) || (stage && stage->isDeleted());
}

QString BoardColumn::identifier() const
{
    const KanbanColumn* column = stage ? stage : (kanban ? kanban->mainColumn() : nullptr);
    return column ? column->uniqueIdentifier() : QString();
}

KanbanColumnController* BoardColumn::liveController(const KanbanColumnDelegate* board) const
{
    if (!board || !kanban || board->kanban() != kanban)
        return nullptr;
    const QList<KanbanColumn*> stages = board->kanbanColumns();
    if (isDoneColumn())
        return board->controllerFor(int(stages.size()));
    const qsizetype section = stages.indexOf(stage);
    return section >= 0 ? board->controllerFor(int(section)) : nullptr;
}

KanbanColumnListItemsMover* BoardColumn::liveMover(const KanbanColumnDelegate* board) const
{
    const KanbanColumnController* controller = liveController(board);
    return controller ? controller->itemsMover() : nullptr;
}

void BoardColumn::reloadLiveColumns(const KanbanColumnDelegate* board, const Kanban* kanban)
{
    if (!board || !kanban || board->kanban() != kanban)
        return;
    const int doneSection = int(board->kanbanColumns().size());
    for (int section = 0; section <= doneSection; ++section) {
        KanbanColumnController* controller = board->controllerFor(section);
        if (!controller)
            continue;
        const KanbanColumnListItemsMover* mover = controller->itemsMover();
        if (ListItemsMoverDelegate* column = mover ? mover->delegate() : nullptr)
            column->clearDistinctDoneDatesCache();
        controller->reloadData();
    }
}
