#pragma once

#include "FakeBoardBasics.h"

#include "PelorinsKit/board/KanbanColumnController.h"

#include <QObject>
#include <memory>
#include <utility>

// A board view for tests of the board logic: it shows a Kanban with the program's geometry
// (FakeBoardBasics), answers controllerFor() from the controllers added to it, and records every
// call that would change the view. Header-only, so that benchmarks can use it too.
class FakeBoardView : public FakeBoardBasics<KanbanColumnDelegate>
{
public:
    struct Rearrangement
    {
        QList<int> indexes;
        int to = 0;
        friend bool operator==(const Rearrangement&, const Rearrangement&) = default;
    };

    explicit FakeBoardView(Kanban* kanban = nullptr)
        : FakeBoardBasics(kanban, false)
    {
    }

    // Makes the board the controller's delegate; controllerFor() walks the controllers in the
    // order they were added.
    void addController(KanbanColumnController* controller)
    {
        m_controllers.append(controller);
        controller->setKanbanColumnDelegate(this);
    }

    // The board forgets the controller, as when it goes back to the pool or is destroyed.
    void removeController(KanbanColumnController* controller) { m_controllers.removeAll(controller); }

    QObject* undoOwner() const override { return m_undoOwner.get(); }
    void insertNewSection(int at, bool removing) override { insertedSections.append({at, removing}); }
    void deleteSelectedSections() override { ++deleteSelectedSectionsCalls; }
    void flipDoneStatesOf(const QList<ListItem*>& items) override { flippedItems.append(items); }
    KanbanColumnController* controllerFor(int section) const override
    {
        for (KanbanColumnController* controller : m_controllers)
            if (controller->specifiedSection() == section)
                return controller;
        return nullptr;
    }
    void rearrangeSections(const QList<int>& indexes, int to) override { rearrangements.append({indexes, to}); }
    void animateLayoutChanges() override { ++layoutAnimations; }

    // What the board was asked to do.
    QList<std::pair<int, bool>> insertedSections;
    int deleteSelectedSectionsCalls = 0;
    QList<QList<ListItem*>> flippedItems;
    QList<Rearrangement> rearrangements;
    int layoutAnimations = 0;

private:
    QList<KanbanColumnController*> m_controllers;
    std::unique_ptr<QObject> m_undoOwner = std::make_unique<QObject>();
};
