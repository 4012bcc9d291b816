#pragma once

#include "FakeBoardView.h"
#include "PelorinsKit/board/DoneItemsMoverDelegate.h"

#include <functional>

// A board view that is also the done mover's delegate: it answers from the board and its
// controllers, and records scrolling, selection and requests for a new stage column.
// Header-only, so that benchmarks can use it too.
class FakeMoverBoard : public FakeBoardView, public DoneItemsMoverDelegate
{
public:
    using FakeBoardView::FakeBoardView;

    UndoManager* undoManager() const override { return FakeBoardView::undoManager(); }
    QObject* undoOwner() const override { return FakeBoardView::undoOwner(); }
    Kanban* kanban() const override { return FakeBoardView::kanban(); }
    QList<KanbanColumn*> kanbanColumns() const override { return FakeBoardView::kanbanColumns(); }
    KanbanColumnController* controllerFor(int section) const override { return FakeBoardView::controllerFor(section); }
    void scrollToController(KanbanColumnController* controller) override { scrolledTo.append(controller); }
    void showAndSelect(ListItem* items) override { shownAndSelected.append(items); }
    void insertNewSectionAtEnd() override
    {
        ++newSectionsAtEnd;
        if (onInsertNewSectionAtEnd)
            onInsertNewSectionAtEnd();
    }

    // What the board does when asked for a new stage column; nothing when unset.
    std::function<void()> onInsertNewSectionAtEnd;

    QList<KanbanColumnController*> scrolledTo;
    QList<ListItem*> shownAndSelected;
    int newSectionsAtEnd = 0;
};
