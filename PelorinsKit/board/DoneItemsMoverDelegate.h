#pragma once

#include <QList>

class Kanban;
class KanbanColumn;
class KanbanColumnController;
class ListItem;
class QObject;
class UndoManager;

// The board view as the done mover sees it. Sections: the stage columns are 0 to n-1 in the order
// of kanbanColumns(), the done column is n.
class DoneItemsMoverDelegate
{
public:
    virtual ~DoneItemsMoverDelegate() = default;

    // Where the mover registers its undo steps; null while the board has no window.
    virtual UndoManager* undoManager() const = 0;
    // What those steps are filed under: they reach the board when they run, so they must go
    // with it (the board's own QObject).
    virtual QObject* undoOwner() const = 0;
    virtual Kanban* kanban() const = 0;
    // The board's stage columns in board order, read afresh at every use.
    virtual QList<KanbanColumn*> kanbanColumns() const = 0;
    // The controller that shows `section`; null when none does.
    virtual KanbanColumnController* controllerFor(int section) const = 0;
    // Brings the column into view.
    virtual void scrollToController(KanbanColumnController* controller) = 0;
    // Reveals the card and makes it the selection.
    virtual void showAndSelect(ListItem* items) = 0;
    // Appends a new stage column to the board.
    virtual void insertNewSectionAtEnd() = 0;
};
