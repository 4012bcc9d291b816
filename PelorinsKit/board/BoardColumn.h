#pragma once

#include <QString>

class Kanban;
class KanbanColumn;
class KanbanColumnController;
class KanbanColumnDelegate;
class KanbanColumnListItemsMover;

// A column of a board named by graph objects alone, as an undo step holds it while the
// controllers that show it come and go: one of the board's stage columns, or, without a stage,
// the board's done column.
struct BoardColumn
{
    Kanban* kanban = nullptr;
    KanbanColumn* stage = nullptr;

    // The column the controller shows now; no board when the controller has none.
    static BoardColumn shownBy(const KanbanColumnController& controller);

    bool isDoneColumn() const { return !stage; }
    // Whether the board or the stage was deleted.
    bool isDeleted() const;
    // How card history names the column: a stage by its own identifier, the done column by the
    // board's done column; empty when that cannot be found.
    QString identifier() const;

    // The controller that shows the column on `board` now; null when the board shows another
    // board, or no controller shows the column.
    KanbanColumnController* liveController(const KanbanColumnDelegate* board) const;
    // That controller's mover; null when there is none.
    KanbanColumnListItemsMover* liveMover(const KanbanColumnDelegate* board) const;

    // Reloads every column `board` shows when it shows `kanban`: after a change made in the model
    // alone, they would show the board as it was.
    static void reloadLiveColumns(const KanbanColumnDelegate* board, const Kanban* kanban);
};
