#pragma once

#include "PelorinsKit/board/KanbanColumnController.h"
#include "PelorinsKit/board/KanbanColumnDelegate.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/KanbanColumn.h"

#include <QObject>
#include <memory>
#include <utility>

// A board view for tests of the board logic: it shows a Kanban with the program's geometry
// (columns 300 x magnification wide, a gap of 40 before the done column), answers
// controllerFor() from the controllers added to it, and records every call that would change
// the view. Header-only, so that benchmarks can use it too.
class FakeBoardView : public KanbanColumnDelegate
{
public:
    struct Rearrangement
    {
        QList<int> indexes;
        int to = 0;
        friend bool operator==(const Rearrangement&, const Rearrangement&) = default;
    };

    explicit FakeBoardView(Kanban* kanban = nullptr)
        : m_kanban(kanban)
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
    void setKanban(Kanban* kanban) { m_kanban = kanban; }
    void setViewAsMultiColumn(bool multiColumn) { m_viewAsMultiColumn = multiColumn; }
    void setTagFilter(const std::optional<QList<Tag*>>& tagFilter) { m_tagFilter = tagFilter; }
    void setSearchTerm(const std::optional<QString>& searchTerm) { m_searchTerm = searchTerm; }
    void setUndoManager(UndoManager* undoManager) { m_undoManager = undoManager; }
    // A fixed clock; none follows the system clock.
    void setNow(const std::optional<QDateTime>& now) { m_now = now; }

    Kanban* kanban() const override { return m_kanban; }
    QList<KanbanColumn*> kanbanColumns() const override
    {
        return m_kanban ? m_kanban->column() : QList<KanbanColumn*>();
    }
    qreal storedMagnification() const override { return m_magnification; }
    void setStoredMagnification(qreal magnification) override { m_magnification = magnification; }
    bool viewAsMultiColumn() const override { return m_viewAsMultiColumn; }
    qreal columnWidth() const override { return m_magnification * 300.0; }
    qreal columnGap() const override { return 40.0; }
    qreal columnsLeftInset() const override { return 0.0; }
    int bookmarkedColumnIndex() const override
    {
        const QList<KanbanColumn*> columns = kanbanColumns();
        for (int i = 0; i < columns.size(); ++i)
            if (columns.at(i)->bookmarked())
                return i;
        return 0;
    }
    std::optional<QList<Tag*>> tagFilter() const override { return m_tagFilter; }
    std::optional<QString> searchTerm() const override { return m_searchTerm; }
    UndoManager* undoManager() const override { return m_undoManager; }
    QObject* undoOwner() const override { return m_undoOwner.get(); }
    QHash<ListItem*, qreal> itemHeightCache() const override { return m_itemHeightCache; }
    void setItemHeightCache(const QHash<ListItem*, qreal>& cache) override { m_itemHeightCache = cache; }
    bool useItemHeightCache() const override { return m_useItemHeightCache; }
    void setUseItemHeightCache(bool use) override { m_useItemHeightCache = use; }
    void cacheItemHeight(ListItem* item, qreal height) override { m_itemHeightCache.insert(item, height); }
    std::optional<qreal> cachedItemHeight(ListItem* item) const override
    {
        const auto cached = m_itemHeightCache.constFind(item);
        return cached == m_itemHeightCache.cend() ? std::nullopt : std::optional<qreal>(*cached);
    }
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
    QDateTime now() const override { return m_now.value_or(KanbanColumnDelegate::now()); }
    void animateLayoutChanges() override { ++layoutAnimations; }

    // What the board was asked to do.
    QList<std::pair<int, bool>> insertedSections;
    int deleteSelectedSectionsCalls = 0;
    QList<QList<ListItem*>> flippedItems;
    QList<Rearrangement> rearrangements;
    int layoutAnimations = 0;

private:
    Kanban* m_kanban = nullptr;
    QList<KanbanColumnController*> m_controllers;
    qreal m_magnification = 1.0;
    bool m_viewAsMultiColumn = true;
    std::optional<QList<Tag*>> m_tagFilter;
    std::optional<QString> m_searchTerm;
    UndoManager* m_undoManager = nullptr;
    std::unique_ptr<QObject> m_undoOwner = std::make_unique<QObject>();
    QHash<ListItem*, qreal> m_itemHeightCache;
    bool m_useItemHeightCache = false;
    std::optional<QDateTime> m_now;
};
