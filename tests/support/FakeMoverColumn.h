#pragma once

#include "FakeColumnController.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/board/KanbanColumnListItemsMover.h"
#include "PelorinsKit/board/ListItemsMoverDelegate.h"

#include <utility>

// A column controller with its own card mover, as the program's column view makes one: rows
// are counted from the board as the view would show them, and row moves and cache changes are
// recorded. Header-only, so that benchmarks can use it too.
class FakeMoverColumn : public FakeColumnControllerOf<ListItemsMoverDelegate>
{
public:
    explicit FakeMoverColumn(int section = 0, UndoManager* undoManager = nullptr)
        : FakeColumnControllerOf<ListItemsMoverDelegate>(section)
        , m_mover(this)
    {
        setItemsMover(&m_mover);
        setUndoManager(undoManager);
    }

    KanbanColumnListItemsMover& mover() { return m_mover; }
    void setUseDoneItemsOnDateCache(bool use) { m_useCache = use; }

    bool useDoneItemsOnDateCache() const override { return m_useCache; }
    QHash<QDateTime, QList<ListItem*>> doneItemsOnDateCached() const override { return m_cache; }
    void setDoneItemsOnDateCached(const QHash<QDateTime, QList<ListItem*>>& cache) override { m_cache = cache; }
    void clearDistinctDoneDatesCache() override { ++distinctDoneDatesCacheClears; }

    // A stage column shows its cards and the add-card row; the done column a section per day,
    // today's showing the placeholder row when it has no card.
    int numberOfItems(int inSection) override
    {
        KanbanColumnDelegate* board = kanbanColumnDelegate();
        if (!board)
            return 0;
        const QList<KanbanColumn*> stages = board->kanbanColumns();
        if (specifiedSection() < stages.size())
            return int(filteredItemsFor(stages.at(specifiedSection())).size()) + 1;
        const QList<QDateTime> days = distinctDoneDates();
        if (inSection < 0 || inSection >= days.size())
            return 0;
        const int cards = int(doneItemsOn(days.at(inSection), true).size());
        return inSection == 0 && cards == 0 ? 1 : cards;
    }

    void moveItem(const IndexPath& at, const IndexPath& to) override { itemMoves.append({at, to}); }

    int distinctDoneDatesCacheClears = 0;
    QList<std::pair<IndexPath, IndexPath>> itemMoves;

private:
    KanbanColumnListItemsMover m_mover;
    bool m_useCache = false;
    QHash<QDateTime, QList<ListItem*>> m_cache;
};
