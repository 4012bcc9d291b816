#pragma once

#include "PelorinsKit/board/KanbanColumnController.h"
#include "PelorinsKit/board/KanbanColumnDelegate.h"

#include <utility>

// A column controller for tests of the board logic: it keeps the default behaviour, places
// itself as the program's column does in the separate-columns layout, and records every call
// that would change the view. `Protocol` is KanbanColumnController or a protocol derived from
// it, so that fakes of derived protocols reuse this one. Header-only, so that benchmarks can use
// it too.
template <typename Protocol = KanbanColumnController> class FakeColumnControllerOf : public Protocol
{
public:
    using Margins = KanbanColumnController::Margins;

    struct Insertion
    {
        QSet<IndexPath> pathsToSelect;
        bool placeholderShown = false;
        IndexPath placeholderPath;
        bool newSection = false;
        int newSectionIndex = 0;
        bool keepEarlierSelection = false;
        int numberOfCards = 0;
    };

    struct Removal
    {
        QList<int> sections;
        QSet<IndexPath> rows;
        bool reload = false;
        IndexPath reloadPath;
    };

    explicit FakeColumnControllerOf(int section = 0)
        : m_specifiedSection(section)
    {
    }

    void setUndoManager(UndoManager* undoManager) { m_undoManager = undoManager; }
    void setItemsMover(KanbanColumnListItemsMover* mover) { m_itemsMover = mover; }

    int specifiedSection() const override { return m_specifiedSection; }
    void setSpecifiedSection(int section) override { m_specifiedSection = section; }
    bool isSelected() const override { return m_selected; }
    void setSelected(bool selected) override { m_selected = selected; }
    KanbanColumnDelegate* kanbanColumnDelegate() const override { return m_delegate; }
    void setKanbanColumnDelegate(KanbanColumnDelegate* delegate) override { m_delegate = delegate; }
    std::optional<Margins> margins() const override { return m_margins; }
    void setMargins(const std::optional<Margins>& margins) override { m_margins = margins; }
    bool showAllSections() const override { return m_showAllSections; }
    void setShowAllSections(bool showAll) override { m_showAllSections = showAll; }
    UndoManager* undoManager() const override { return m_undoManager; }
    qreal heightOfFixedItems() const override { return 78.0; }
    KanbanColumnListItemsMover* itemsMover() const override { return m_itemsMover; }

    void updateColumnPosition() override
    {
        ++updateColumnPositionCalls;
        if (!m_delegate || !m_margins)
            return;
        m_margins->left
            = m_delegate->columnWidth() * (m_specifiedSection + m_delegate->offsetForPushedColumns(m_specifiedSection));
    }

    void deselectAllItems() override { ++deselectAllCalls; }
    void selectItems(const QSet<IndexPath>& at) override { selections.append(at); }
    void reloadData() override { ++reloads; }
    void deleteItems(const QSet<IndexPath>& at) override { deletions.append(at); }
    void animateInsertion(const QSet<IndexPath>& pathsToSelect, bool placeholderShown, const IndexPath& placeholderPath,
        bool newSection, int newSectionIndex, bool keepEarlierSelection, int numberOfCards) override
    {
        insertions.append({pathsToSelect, placeholderShown, placeholderPath, newSection, newSectionIndex,
            keepEarlierSelection, numberOfCards});
    }
    void animateRemoval(
        const QList<int>& sections, const QSet<IndexPath>& rows, bool reload, const IndexPath& reloadPath) override
    {
        removals.append({sections, rows, reload, reloadPath});
    }
    qreal lastClipViewOffset() const override { return m_lastClipViewOffset; }
    void setLastClipViewOffset(qreal offset) override { m_lastClipViewOffset = offset; }
    QList<ListItem*> itemsAddedWhenInFilteredMode() const override { return m_itemsAddedWhenInFilteredMode; }
    void setItemsAddedWhenInFilteredMode(const QList<ListItem*>& items) override
    {
        m_itemsAddedWhenInFilteredMode = items;
    }

    // Places the column at its slot, as the program does with separate columns; the
    // single-column layout is only recorded.
    void updateColumnHeight(int section, bool animated) override
    {
        columnHeightUpdates.append({section, animated});
        if (!m_delegate || !m_margins || !m_delegate->viewAsMultiColumn())
            return;
        const bool doneColumn = m_specifiedSection == m_delegate->kanbanColumns().size();
        m_margins->top = 0;
        m_margins->left = (doneColumn ? m_delegate->columnGap() : 0) + m_delegate->columnWidth() * m_specifiedSection
            + m_delegate->columnsLeftInset();
        m_margins->width = m_delegate->columnWidth();
    }

    void clearFilteredModeItems() override { m_itemsAddedWhenInFilteredMode.clear(); }
    void removeFilteredModeItem(ListItem* item) override { m_itemsAddedWhenInFilteredMode.removeOne(item); }
    void addFilteredModeItems(const QList<ListItem*>& items) override { m_itemsAddedWhenInFilteredMode.append(items); }
    qreal scrollViewHeight() const override { return 600.0; }
    qreal scrollViewWidth() const override { return 300.0; }
    qreal itemPadding() const override { return 8.0; }
    void updateSectionHeaders(const std::optional<QSet<IndexPath>>& paths) override { headerUpdates.append(paths); }

    // What the column was asked to do.
    int updateColumnPositionCalls = 0;
    int deselectAllCalls = 0;
    QList<QSet<IndexPath>> selections;
    int reloads = 0;
    QList<QSet<IndexPath>> deletions;
    QList<Insertion> insertions;
    QList<Removal> removals;
    QList<std::pair<int, bool>> columnHeightUpdates;
    QList<std::optional<QSet<IndexPath>>> headerUpdates;

private:
    int m_specifiedSection = 0;
    bool m_selected = false;
    KanbanColumnDelegate* m_delegate = nullptr;
    std::optional<Margins> m_margins;
    bool m_showAllSections = false;
    UndoManager* m_undoManager = nullptr;
    KanbanColumnListItemsMover* m_itemsMover = nullptr;
    qreal m_lastClipViewOffset = 0;
    QList<ListItem*> m_itemsAddedWhenInFilteredMode;
};

using FakeColumnController = FakeColumnControllerOf<>;
