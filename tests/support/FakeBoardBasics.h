#pragma once

#include "PelorinsKit/board/KanbanColumnDelegate.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/KanbanColumn.h"

#include <QDateTime>
#include <QHash>
#include <optional>

// What the test boards answer alike: a Kanban shown with the program's geometry (columns 300 x
// magnification wide, a gap of 40 before the done column), the layout, search, tag filter,
// clock and undo manager a test sets, and the card height cache. `Delegate` is the board's
// interface being faked.
template <class Delegate>
class FakeBoardBasics : public Delegate
{
public:
    FakeBoardBasics(Kanban* kanban, bool useItemHeightCache)
        : m_kanban(kanban)
        , m_useItemHeightCache(useItemHeightCache)
    {
    }

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
    QDateTime now() const override { return m_now.value_or(KanbanColumnDelegate::now()); }

private:
    Kanban* m_kanban = nullptr;
    qreal m_magnification = 1.0;
    bool m_viewAsMultiColumn = true;
    std::optional<QList<Tag*>> m_tagFilter;
    std::optional<QString> m_searchTerm;
    std::optional<QDateTime> m_now;
    UndoManager* m_undoManager = nullptr;
    QHash<ListItem*, qreal> m_itemHeightCache;
    bool m_useItemHeightCache = false;
};
