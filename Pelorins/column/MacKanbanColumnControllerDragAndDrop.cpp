#include "Pelorins/column/MacKanbanColumnController.h"

#include "Pelorins/column/BoardColumns.h"
#include "Pelorins/column/ColumnCollectionView.h"
#include "Pelorins/column/KanbanColumnCollectionViewFlowLayout.h"
#include "Pelorins/column/MacKanbanColumnControllerSnapshot.h"
#include "Pelorins/column/MacKanbanColumnDelegate.h"
#include "Pelorins/common/AppConstants.h"
#include "PelorinsKit/board/CardHistory.h"
#include "PelorinsKit/board/CardPlacement.h"
#include "PelorinsKit/board/KanbanColumnListItemsMover.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/model/ListItemHistory.h"
#include "Platform/core/ConsoleLog.h"
#include "Platform/core/OrderedSet.h"
#include "Platform/core/UndoManager.h"

#include <QCursor>
#include <QMimeData>
#include <QPainter>
#include <algorithm>

using BoardColumns::showChange;

namespace {

// A drop into a stage of the single list, recorded by graph objects only: the cards in their
// order, those arriving from other sections (they get a history entry), and where they land.
struct CardDrop
{
    Kanban* kanban = nullptr;
    KanbanColumn* stage = nullptr;
    QList<ListItem*> cards;
    QList<ListItem*> arriving;
    int index = 0;
    QString actionName;

    bool gone() const { return kanban->isDeleted() || stage->isDeleted(); }
};

void performDrop(MacKanbanColumnDelegate* board, const CardDrop& drop)
{
    const QHash<ListItem*, CardPlacement::Place> places = CardPlacement::placesOf(drop.kanban, drop.cards);
    // A done card leaves its day as unmarking makes it: open, without strike-through.
    CardPlacement::takeOff(drop.kanban, drop.cards);
    QList<ListItem*> cards = drop.stage->item();
    qsizetype at = std::clamp<qsizetype>(drop.index, 0, cards.size());
    for (ListItem* card : drop.cards)
        if (OrderedSet::insert(cards, card, at))
            ++at;
    drop.stage->setItem(cards);
    for (ListItem* card : drop.arriving)
        CardHistory::append(card, ListItemAction::moved, drop.stage->uniqueIdentifier());
    showChange(board, drop.kanban, drop.cards);
    board->saveAction();
    UndoManager* undoManager = board->undoManager();
    if (!undoManager)
        return;
    undoManager->registerUndo(board->undoOwner(), [board, drop, places] {
        // A board or stage deleted since leaves nothing to put back.
        if (drop.gone())
            return;
        for (ListItem* card : drop.arriving)
            CardHistory::removeLast(card);
        CardPlacement::refile(drop.kanban, places);
        showChange(board, drop.kanban, drop.cards);
        board->saveAction();
        if (UndoManager* redo = board->undoManager()) {
            redo->registerUndo(board->undoOwner(), [board, drop] {
                if (!drop.gone())
                    performDrop(board, drop);
            });
            redo->setActionName(drop.actionName);
        }
    });
    undoManager->setActionName(drop.actionName);
}

} // namespace

QMimeData* MacKanbanColumnController::mimeDataForItems(SectionedListView*, const QList<IndexPath>& paths)
{
    QStringList lines;
    for (const IndexPath& path : paths) {
        ListItem* card = itemFor(path);
        lines.append(card ? card->objectIDURI().toString() : QString());
    }
    auto* data = new QMimeData;
    data->setData(listItemPasteboardType, lines.join(QLatin1Char('\n')).toUtf8());
    m_dragData = data->data(listItemPasteboardType);
    return data;
}

void MacKanbanColumnController::dragWillBegin(
    SectionedListView*, const QSet<IndexPath>& paths, const IndexPath& pressedPath)
{
    m_collectionView->setDragAndDropDelegate(this);
    m_collectionView->setDragIsInside(true);
    m_dragOriginatedPath = pressedPath;
    m_draggingIndexPaths = paths;
    m_dragAutoscroll.start();
}

QPixmap MacKanbanColumnController::dragPixmap(
    SectionedListView*, const QList<IndexPath>& paths, const IndexPath& pressedPath)
{
    // The pressed card on top of at most two more, each a little lower and to the right, as
    // large as they are on the board.
    constexpr int maximumCards = 3;
    constexpr int offset = 6;
    QList<QWidget*> cards;
    if (QWidget* pressed = m_collectionView->itemWidget(pressedPath))
        cards.append(pressed);
    for (const IndexPath& path : paths) {
        if (cards.size() == maximumCards)
            break;
        QWidget* widget = path == pressedPath ? nullptr : m_collectionView->itemWidget(path);
        if (widget && itemFor(path))
            cards.append(widget);
    }
    if (cards.isEmpty())
        return {};
    QSize size;
    for (qsizetype i = 0; i < cards.size(); ++i)
        size = size.expandedTo(cards.at(i)->size() + QSize(int(i) * offset, int(i) * offset));
    const qreal ratio = m_collectionView->devicePixelRatioF();
    QPixmap picture((QSizeF(size) * ratio).toSize());
    picture.setDevicePixelRatio(ratio);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    for (qsizetype i = cards.size() - 1; i >= 0; --i) {
        QWidget* card = cards.at(i);
        painter.drawPixmap(QRect(QPoint(int(i) * offset, int(i) * offset), card->size()), card->grab());
    }
    return picture;
}

void MacKanbanColumnController::autoscrollSourceList()
{
    // The list scrolls itself while the pointer is over it; outside it, the pointer near or past
    // its top or bottom edge scrolls it too.
    constexpr int band = 40;
    const QPoint pointer = QCursor::pos();
    QWidget* viewport = m_collectionView->viewport();
    const QRect area(viewport->mapToGlobal(QPoint(0, 0)), viewport->size());
    if (area.contains(pointer))
        return;
    int step = 0;
    if (pointer.y() < area.top() + band)
        step = -std::max(2, (area.top() + band - pointer.y()) / 2);
    else if (pointer.y() > area.bottom() - band)
        step = std::max(2, (pointer.y() - area.bottom() + band) / 2);
    if (step != 0)
        m_collectionView->setContentOffset(m_collectionView->contentOffset() + std::clamp(step, -40, 40));
}

void MacKanbanColumnController::dragEnded(SectionedListView*, Qt::DropAction action)
{
    m_dragAutoscroll.stop();
    // Released where no list took the cards: over a day header of the done column, they go
    // into that day.
    if (action == Qt::IgnoreAction && m_delegate && m_draggingIndexPaths) {
        if (const std::optional<IndexPath> path = m_delegate->doneColumnDropIndexPath(QCursor::pos())) {
            const int stages = int(m_delegate->kanbanColumns().size());
            const QList<MacKanbanColumnController*> columns = m_delegate->columnControllers();
            const auto done = std::find_if(columns.cbegin(), columns.cend(),
                [stages](const MacKanbanColumnController* column) { return column->specifiedSection() == stages; });
            if (done != columns.cend()) {
                ConsoleLog::write(QStringLiteral("using accept drop"));
                QMimeData data;
                data.setData(listItemPasteboardType, m_dragData);
                const bool accepted = (*done)->acceptDrop(
                    (*done)->collectionView(), &data, *path, DropOperation::Before, m_collectionView);
                ConsoleLog::write(
                    accepted ? QStringLiteral("accept drop worked") : QStringLiteral("accept drop didin't work"));
            }
        }
    }
    m_draggingIndexPaths.reset();
    m_dragData.clear();
    if (!m_delegate)
        return;
    for (MacKanbanColumnController* column : m_delegate->columnControllers()) {
        column->m_lastProposedDropIndexPath.reset();
        column->m_dragOriginatedPath.reset();
        column->resetDropGap();
    }
}

MacKanbanColumnController* MacKanbanColumnController::draggingController(SectionedListView* source) const
{
    if (!m_delegate || !source)
        return nullptr;
    for (MacKanbanColumnController* column : m_delegate->columnControllers())
        if (column->collectionView() == source && column->m_draggingIndexPaths)
            return column;
    return nullptr;
}

Qt::DropAction MacKanbanColumnController::validateDrop(
    SectionedListView*, const QMimeData* data, IndexPath& proposedPath, DropOperation& operation)
{
    if (!m_delegate || !m_delegate->kanban() || !data || !data->hasFormat(listItemPasteboardType))
        return Qt::IgnoreAction;
    // Only cards dragged out of a column of this board, as that column wrote them.
    const QList<MacKanbanColumnController*> columns = m_delegate->columnControllers();
    const auto source = std::find_if(columns.cbegin(), columns.cend(),
        [](const MacKanbanColumnController* column) { return column->m_draggingIndexPaths.has_value(); });
    if (source == columns.cend() || (*source)->m_dragData != data->data(listItemPasteboardType))
        return Qt::IgnoreAction;

    const Snapshot& shown = snapshot();
    IndexPath path = proposedPath;
    if (operation == DropOperation::On) {
        operation = DropOperation::Before;
        if (!pathIsEmptyCell(path) && m_collectionView->listLayout().contains(path)) {
            const std::optional<QPoint> pointer = m_collectionView->dragPosition();
            const QRect frame = m_collectionView->itemFrame(path);
            const int y = pointer ? m_collectionView->contentPointFromViewport(*pointer).y() : frame.top();
            // The lower half of a row proposes the row after it.
            if (frame.top() + frame.height() * 0.5 < y) {
                const Snapshot::Section* section = shown.section(path.section);
                const int cards = section ? int(section->cards.size()) : 0;
                if (!section || !section->stage)
                    path.item += isDoneColumn() && !m_showAllSections ? 1 : 0;
                else if (path.item < cards - (m_showAllSections ? 1 : 0))
                    path.item += 1;
                else if (m_showAllSections && path.section + 1 < shown.stageCount)
                    path = IndexPath {path.section + 1, 0};
                else if (m_showAllSections)
                    path.item = cards;
            }
        }
    }
    const Snapshot::Section* section = shown.section(path.section);
    // Cards go into a day of the single list only by being marked done.
    if (m_showAllSections && (!section || !section->stage)) {
        if (m_lastProposedDropIndexPath)
            resetDropGap();
        return Qt::IgnoreAction;
    }
    if (section && section->stage)
        path.item = std::min(path.item, int(section->cards.size()));
    else if (section)
        path.item = std::min(path.item, shown.numberOfItems(path.section));
    path.item = std::max(path.item, 0);
    proposedPath = path;
    if (m_lastProposedDropIndexPath != path)
        installDropGap(path);
    return Qt::MoveAction;
}

void MacKanbanColumnController::installDropGap(const IndexPath& proposed)
{
    auto layout = std::make_unique<KanbanColumnCollectionViewFlowLayout>(this);
    layout->setDragging(true);
    layout->setProposedDropIndexPath(proposed);
    layout->setLastContentOffset(m_collectionView->contentOffset());
    setCollectionViewLayout(std::move(layout));
    m_lastProposedDropIndexPath = proposed;
}

void MacKanbanColumnController::resetDropGap()
{
    auto layout = std::make_unique<KanbanColumnCollectionViewFlowLayout>(this);
    layout->setLastContentOffset(m_collectionView->contentOffset());
    setCollectionViewLayout(std::move(layout));
    m_lastProposedDropIndexPath.reset();
}

void MacKanbanColumnController::dragExited(SectionedListView*)
{
    // Cards of this column keep their gap; cards from elsewhere take theirs with them.
    if (!m_draggingIndexPaths)
        resetDropGap();
}

bool MacKanbanColumnController::acceptDrop(SectionedListView*, const QMimeData* data, const IndexPath& path,
    DropOperation operation, SectionedListView* source)
{
    resetDropGap();
    if (operation != DropOperation::Before)
        return false;
    // The paths come from the column the drag started in, never from the dragged text.
    MacKanbanColumnController* from = draggingController(source);
    if (!from || !data || data->data(listItemPasteboardType) != from->m_dragData)
        return false;
    const QSet<IndexPath> paths = *from->m_draggingIndexPaths;
    m_dragOriginatedPath.reset();
    if (from == this)
        m_draggingIndexPaths.reset();
    moveDraggedItems(paths, path, from == this ? nullptr : from);
    return true;
}

void MacKanbanColumnController::moveDraggedItems(
    const QSet<IndexPath>& fromPaths, const IndexPath& to, MacKanbanColumnController* source)
{
    if (m_showAllSections) {
        moveInSingleList(sorted(fromPaths), to, source ? source : this);
        return;
    }
    m_itemsMover->moveItems(fromPaths, to, source);
}

void MacKanbanColumnController::moveInSingleList(
    const QList<IndexPath>& fromPaths, const IndexPath& to, MacKanbanColumnController* source)
{
    KanbanColumn* stage = stageAt(to);
    if (!stage || !m_delegate)
        return;
    // The cards shown at the dragged rows, in the list's order.
    CardDrop drop;
    drop.kanban = m_delegate->kanban();
    drop.stage = stage;
    for (const IndexPath& path : fromPaths) {
        ListItem* card = source->itemFor(path);
        if (!card || drop.cards.contains(card))
            continue;
        drop.cards.append(card);
        if (path.section != to.section)
            drop.arriving.append(card);
    }
    if (drop.cards.isEmpty())
        return;
    // They land right after the last card shown above the drop row that stays where it is,
    // wherever hidden cards lie.
    ListItem* previous = nullptr;
    for (int row = to.item - 1; row >= 0 && !previous; --row)
        if (ListItem* card = itemFor(IndexPath {to.section, row}); card && !drop.cards.contains(card))
            previous = card;
    QList<ListItem*> staying = stage->item();
    for (ListItem* card : std::as_const(drop.cards))
        staying.removeAll(card);
    drop.index = previous ? int(staying.indexOf(previous)) + 1 : 0;
    if (drop.arriving.isEmpty())
        drop.actionName = QStringLiteral("Rearrange Cards");
    else
        drop.actionName = drop.cards.size() == 1 ? QStringLiteral("Move Card") : QStringLiteral("Move Cards");
    if (filterActive())
        addFilteredModeItems(drop.cards);
    performDrop(m_delegate, drop);
}

std::optional<IndexPath> MacKanbanColumnController::headerDropIndexPath(const QPoint& documentPoint)
{
    QWidget* document = m_delegate ? m_delegate->documentView() : nullptr;
    if (!document || !document->isAncestorOf(m_collectionView))
        return std::nullopt;
    const QPoint viewportPoint = m_collectionView->viewport()->mapFrom(document, documentPoint);
    const QPoint content = m_collectionView->contentPointFromViewport(viewportPoint);
    for (int section = 0; section < m_collectionView->numberOfSections(); ++section) {
        if (!m_collectionView->headerFrame(section).contains(content))
            continue;
        const IndexPath path {section, 0};
        if (m_lastProposedDropIndexPath != path)
            installDropGap(path);
        return path;
    }
    return std::nullopt;
}
