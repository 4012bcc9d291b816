#include "Pelorins/column/MacKanbanColumnController.h"

#include "Pelorins/card/ListItemCellView.h"
#include "Pelorins/column/ColumnCollectionView.h"
#include "Pelorins/column/KanbanColumnListItem.h"
#include "Pelorins/column/MacKanbanColumnControllerSnapshot.h"
#include "Pelorins/column/MacKanbanColumnDelegate.h"
#include "PelorinsKit/model/ListItem.h"

#include <QApplication>
#include <algorithm>

void MacKanbanColumnController::deselectAllItems()
{
    const QSet<IndexPath> selected = m_collectionView->selectionIndexPaths();
    m_collectionView->deselectAll();
    for (const IndexPath& path : selected) {
        if (auto* item = qobject_cast<KanbanColumnListItem*>(m_collectionView->itemWidget(path))) {
            item->view()->setSelected(false);
            item->view()->updateSelectionAppearance();
        }
    }
}

void MacKanbanColumnController::selectItems(const QSet<IndexPath>& at)
{
    m_collectionView->setSelectionIndexPaths(at);
    for (const IndexPath& path : at) {
        if (auto* item = qobject_cast<KanbanColumnListItem*>(m_collectionView->itemWidget(path))) {
            item->view()->setSelected(true);
            item->view()->updateSelectionAppearance();
        }
    }
    setSelected(false);
}

void MacKanbanColumnController::selectItem(ListItem* item)
{
    deselectAllItems();
    if (m_delegate) {
        for (MacKanbanColumnController* other : m_delegate->columnControllers()) {
            if (other == this)
                continue;
            other->deselectAllItems();
            other->setSelected(false);
        }
    }
    if (const std::optional<IndexPath> path = snapshot().pathOf(item)) {
        m_collectionView->setSelectionIndexPaths({*path});
        if (auto* shown = qobject_cast<KanbanColumnListItem*>(m_collectionView->itemWidget(*path))) {
            shown->view()->setSelected(true);
            shown->view()->updateSelectionAppearance();
        }
    }
    setSelected(false);
}

void MacKanbanColumnController::deselectColumn()
{
    deselectAllItems();
    setSelected(false);
}

void MacKanbanColumnController::deselectOtherColumns()
{
    for (MacKanbanColumnController* column : m_delegate->columnControllers())
        if (column != this)
            column->deselectColumn();
}

void MacKanbanColumnController::clampAnchors()
{
    // Deletions may have left an end past the list: it moves to the list's last row.
    const auto clamp = [this](std::optional<IndexPath>& path) {
        if (!path)
            return;
        const int sections = m_collectionView->numberOfSections();
        int section = std::clamp(path->section, 0, std::max(sections - 1, 0));
        while (section > 0 && m_collectionView->numberOfItems(section) == 0)
            --section;
        const int items = sections > 0 ? m_collectionView->numberOfItems(section) : 0;
        if (items == 0) {
            path.reset();
            return;
        }
        const bool past = path->section > section || path->item >= items;
        path = IndexPath {section, past ? items - 1 : std::max(path->item, 0)};
    };
    clamp(m_lastNonShiftSelectedIndexPath);
    clamp(m_lastShiftSelectedIndexPath);
}

QSet<IndexPath> MacKanbanColumnController::shouldSelectItems(const QSet<IndexPath>& proposed)
{
    const std::optional<IndexPath> first
        = proposed.isEmpty() ? std::nullopt : std::optional<IndexPath>(*proposed.cbegin());
    // Shift as the click has it, whichever widget had the focus before.
    if (!QGuiApplication::keyboardModifiers().testFlag(Qt::ShiftModifier)) {
        m_lastNonShiftSelectedIndexPath = first;
        return proposed;
    }
    clampAnchors();
    QSet<IndexPath> extended = proposed;
    if (m_lastShiftSelectedIndexPath && m_lastNonShiftSelectedIndexPath) {
        // The previous range goes, all but its anchor.
        QSet<IndexPath> previous
            = m_collectionView->indexPathsBetween(*m_lastNonShiftSelectedIndexPath, *m_lastShiftSelectedIndexPath);
        previous.remove(*m_lastNonShiftSelectedIndexPath);
        m_collectionView->deselectItems(previous);
        didDeselectItems(previous);
    }
    if (first && m_lastNonShiftSelectedIndexPath) {
        QSet<IndexPath> between = m_collectionView->indexPathsBetween(*first, *m_lastNonShiftSelectedIndexPath);
        between.remove(*m_lastNonShiftSelectedIndexPath);
        extended += between;
    }
    m_lastShiftSelectedIndexPath = first;
    return extended;
}

QSet<IndexPath> MacKanbanColumnController::shouldDeselectItems(const QSet<IndexPath>& proposed)
{
    const std::optional<IndexPath> first
        = proposed.isEmpty() ? std::nullopt : std::optional<IndexPath>(*proposed.cbegin());
    if (!QGuiApplication::keyboardModifiers().testFlag(Qt::ShiftModifier)) {
        m_lastNonShiftSelectedIndexPath = first;
        return proposed;
    }
    clampAnchors();
    if (!first || !m_lastShiftSelectedIndexPath)
        return proposed;
    // The range shrinks back to the card clicked inside it.
    QSet<IndexPath> shrunk = m_collectionView->indexPathsBetween(*first, *m_lastShiftSelectedIndexPath);
    shrunk.remove(*first);
    m_lastShiftSelectedIndexPath = first;
    return shrunk;
}

void MacKanbanColumnController::didSelectItems(const QSet<IndexPath>& paths)
{
    ListItemCellView* focus = nullptr;
    for (const IndexPath& path : sorted(paths)) {
        auto* item = qobject_cast<KanbanColumnListItem*>(m_collectionView->itemWidget(path));
        if (!item)
            continue;
        item->view()->setSelected(true);
        item->view()->updateSelectionAppearance();
        if (!focus)
            focus = item->view();
    }
    // Keys reach the selected card; an editor already inside it keeps the focus.
    if (focus && !focus->isAncestorOf(QApplication::focusWidget()))
        focus->setFocus(Qt::MouseFocusReason);
    if (m_delegate) {
        for (MacKanbanColumnController* other : m_delegate->columnControllers()) {
            if (other == this)
                continue;
            other->deselectAllItems();
            other->setSelected(false);
        }
    }
    setSelected(false);
}

void MacKanbanColumnController::didDeselectItems(const QSet<IndexPath>& paths)
{
    for (const IndexPath& path : paths) {
        if (auto* item = qobject_cast<KanbanColumnListItem*>(m_collectionView->itemWidget(path))) {
            item->view()->setSelected(false);
            item->view()->updateSelectionAppearance();
        }
    }
}
