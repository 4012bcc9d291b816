#include "Pelorins/column/MacKanbanColumnController.h"

#include "Pelorins/card/ListItemCellView.h"
#include "Pelorins/column/ColumnCollectionView.h"
#include "Pelorins/column/KanbanColumnListItem.h"
#include "Pelorins/column/MacKanbanColumnControllerSnapshot.h"
#include "Pelorins/column/MacKanbanColumnDelegate.h"
#include "PelorinsKit/model/ListItem.h"

#include <QApplication>
#include <algorithm>

namespace {

// The anchor a click sets: the first path it proposes.
std::optional<IndexPath> firstOf(const QSet<IndexPath>& proposed)
{
    return proposed.isEmpty() ? std::nullopt : std::optional<IndexPath>(*proposed.cbegin());
}

} // namespace

ListItemCellView* MacKanbanColumnController::showCardSelected(const IndexPath& path, bool selected)
{
    auto* item = qobject_cast<KanbanColumnListItem*>(m_collectionView->itemWidget(path));
    if (!item)
        return nullptr;
    item->view()->setSelected(selected);
    item->view()->updateSelectionAppearance();
    return item->view();
}

void MacKanbanColumnController::deselectAllItems()
{
    const QSet<IndexPath> selected = m_collectionView->selectionIndexPaths();
    m_collectionView->deselectAll();
    for (const IndexPath& path : selected)
        showCardSelected(path, false);
}

void MacKanbanColumnController::selectItems(const QSet<IndexPath>& at)
{
    m_collectionView->setSelectionIndexPaths(at);
    for (const IndexPath& path : at)
        showCardSelected(path, true);
    setSelected(false);
}

void MacKanbanColumnController::selectItem(ListItem* item)
{
    deselectAllItems();
    deselectOtherColumns();
    if (const std::optional<IndexPath> path = snapshot().pathOf(item)) {
        m_collectionView->setSelectionIndexPaths({*path});
        showCardSelected(*path, true);
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
    if (!m_delegate)
        return;
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

bool MacKanbanColumnController::shiftExtends(const std::optional<IndexPath>& first)
{
    // Shift as the click has it, whichever widget had the focus before.
    if (!QGuiApplication::keyboardModifiers().testFlag(Qt::ShiftModifier)) {
        m_lastNonShiftSelectedIndexPath = first;
        return false;
    }
    clampAnchors();
    return true;
}

QSet<IndexPath> MacKanbanColumnController::shouldSelectItems(const QSet<IndexPath>& proposed)
{
    const std::optional<IndexPath> first = firstOf(proposed);
    if (!shiftExtends(first))
        return proposed;
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
    const std::optional<IndexPath> first = firstOf(proposed);
    if (!shiftExtends(first))
        return proposed;
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
        ListItemCellView* card = showCardSelected(path, true);
        if (!focus)
            focus = card;
    }
    // Keys reach the selected card; an editor already inside it keeps the focus.
    if (focus && !focus->isAncestorOf(QApplication::focusWidget()))
        focus->setFocus(Qt::MouseFocusReason);
    deselectOtherColumns();
    setSelected(false);
}

void MacKanbanColumnController::didDeselectItems(const QSet<IndexPath>& paths)
{
    for (const IndexPath& path : paths)
        showCardSelected(path, false);
}
