#include "Pelorins/column/MacKanbanColumnController.h"

#include "Pelorins/card/ListItemCellView.h"
#include "Pelorins/card/NotesTextView.h"
#include "Pelorins/column/BoardColumns.h"
#include "Pelorins/column/ColumnCollectionView.h"
#include "Pelorins/column/MacKanbanColumnDelegate.h"
#include "Pelorins/common/ClipboardNodes.h"
#include "PelorinsKit/archive/JSONReader.h"
#include "PelorinsKit/archive/JSONWriter.h"
#include "PelorinsKit/board/CardHistory.h"
#include "PelorinsKit/board/CardPlacement.h"
#include "PelorinsKit/board/KanbanColumnListItemsMover.h"
#include "PelorinsKit/board/LiveObjects.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/model/ListItemHistory.h"
#include "Platform/core/UndoManager.h"
#include "Platform/core/objectgraph/ManagedObjectContext.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMimeData>
#include <algorithm>

using BoardColumns::liveColumnOf;
using BoardColumns::showChange;

namespace {

const QString pasteCardsActionName = QStringLiteral("Paste Cards");

const QString cardEntityName = QStringLiteral("ListItem");

// The column where a paste into `target` (a stage, or the done column when null) shows on the
// board now: the one list when the paste was made there and the board still shows it.
MacKanbanColumnController* pasteColumn(
    MacKanbanColumnDelegate* board, Kanban* kanban, KanbanColumn* target, bool oneList)
{
    if (!board || board->kanban() != kanban)
        return nullptr;
    const QList<MacKanbanColumnController*> columns = board->columnControllers();
    if (oneList)
        for (MacKanbanColumnController* column : columns)
            if (column->showAllSections())
                return column;
    if (target)
        return liveColumnOf(board, target);
    const int done = int(board->kanbanColumns().size());
    for (MacKanbanColumnController* column : columns)
        if (column->specifiedSection() == done)
            return column;
    return nullptr;
}

} // namespace

void MacKanbanColumnController::copy()
{
    // A whole column selected copies the column.
    if (m_selected && m_delegate) {
        m_delegate->copy();
        return;
    }
    copySelectedCards();
}

void MacKanbanColumnController::copySelectedCards()
{
    // The cards shown at the selected rows, days of the one list included.
    QJsonArray nodes;
    for (const IndexPath& path : sorted(m_collectionView->selectionIndexPaths()))
        if (ListItem* card = itemFor(path))
            nodes.append(JSONWriter::genericTraversingNode(card, true));
    // A copy of nothing leaves the user's clipboard as it was.
    if (nodes.isEmpty())
        return;
    auto* data = new QMimeData;
    data->setData(NotesTextView::cardDataType, QJsonDocument(nodes).toJson(QJsonDocument::Compact));
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setMimeData(data);
}

void MacKanbanColumnController::cut()
{
    copySelectedCards();
    deleteSelectedItems();
}

void MacKanbanColumnController::paste()
{
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    if (!data)
        return;
    if (data->hasFormat(NotesTextView::cardDataType)) {
        if (const std::optional<QJsonArray> nodes = ClipboardNodes::read(
                data->data(NotesTextView::cardDataType), cardEntityName, QStringLiteral("card data")))
            insertPastedCards(*nodes, std::nullopt, std::nullopt);
        return;
    }
    if (data->hasFormat(NotesTextView::columnDataType) && m_delegate)
        m_delegate->paste();
}

void MacKanbanColumnController::insertPastedCards(const QJsonArray& nodes,
    const std::optional<QList<ListItem*>>& removing, const std::optional<QSet<IndexPath>>& restoringSelection)
{
    Kanban* kanban = m_delegate ? m_delegate->kanban() : nullptr;
    if (!kanban)
        return;
    MacKanbanColumnDelegate* board = m_delegate;
    UndoManager* undo = undoManager();
    const bool oneList = m_showAllSections;
    if (undo && !undo->isUndoing()) {
        // Where the cards go, settled before anything is made: after the highest selected card,
        // else at the end of the column's stage (of the stage at the top of the one list).
        const QSet<IndexPath> selection = m_collectionView->selectionIndexPaths();
        IndexPath at;
        if (!selection.isEmpty()) {
            const IndexPath highest = sorted(selection).last();
            at = IndexPath {highest.section, highest.item + 1};
        } else if (m_showAllSections) {
            const int stages = int(m_delegate->kanbanColumns().size());
            const int top = m_collectionView->contentOffset() + int(headerHeight);
            int section = stages - 1;
            qreal bottom = 0;
            for (int stage = 0; stage < stages; ++stage) {
                bottom += heightOfSection(stage);
                if (bottom > top) {
                    section = stage;
                    break;
                }
            }
            at = IndexPath {section, std::max(numberOfItems(section) - 1, 0)};
        } else {
            at = IndexPath {0, isDoneColumn() ? 0 : std::max(numberOfItems(0) - 1, 0)};
        }
        // The one list of a board without stages has no section to paste into.
        if (at.section < 0)
            return;
        MacKanbanColumnController* owner = ownerOf(at);
        const IndexPath ownerPath = pathInOwner(at);
        KanbanColumn* stage = owner->stageAt(ownerPath);
        KanbanColumn* target = stage ? stage : (owner->isDoneColumn() ? kanban->mainColumn() : nullptr);
        if (!target)
            return;

        JSONReader reader(kanban->managedObjectContext());
        QString error;
        const QList<ManagedObject*> made = reader.makeObjectsFromArrayOf(nodes, &error);
        if (!error.isEmpty())
            return;
        QList<ListItem*> cards;
        for (ManagedObject* object : made)
            if (auto* card = dynamic_cast<ListItem*>(object))
                cards.append(card);
        m_delegate->cleanUpTagsIn(cards);
        for (ListItem* card : std::as_const(cards)) {
            if (stage && card->done()) {
                card->setDone(false);
                card->applyRemoveStrikeThrough();
            }
        }
        owner->itemsMover()->insertItems(cards, ownerPath, true, false);
        for (ListItem* card : std::as_const(cards))
            CardHistory::append(card, ListItemAction::created, target->uniqueIdentifier());
        KanbanColumn* stageOrDone = stage;
        undo->registerUndo(board->undoOwner(), [board, kanban, stageOrDone, oneList, nodes, cards, selection] {
            KanbanColumn* liveStage = LiveObjects::stage(kanban, stageOrDone);
            if (kanban->isDeleted() || (stageOrDone && !liveStage))
                return;
            if (MacKanbanColumnController* live = pasteColumn(board, kanban, liveStage, oneList))
                live->insertPastedCards(nodes, cards, selection);
        });
        undo->setActionName(pasteCardsActionName);
        return;
    }

    if (removing) {
        // Cards deleted with their stage since and rebuilt by its undo are the rebuilt ones.
        QList<ListItem*> cards;
        for (ListItem* card : *removing)
            if (ListItem* live = LiveObjects::card(kanban, card))
                cards.append(live);
        if (!m_showAllSections)
            m_itemsMover->removeItemsFromController(cards, this);
        CardPlacement::takeOff(kanban, cards);
        for (ListItem* card : std::as_const(cards))
            card->managedObjectContext()->deleteObject(card);
        showChange(board, kanban, std::nullopt);
    }
    if (restoringSelection)
        selectItems(*restoringSelection);
    if (!undo)
        return;
    // Redo pastes anew into this column, after the selection just restored.
    KanbanColumn* stage = m_showAllSections ? nullptr : stageAt(IndexPath {0, 0});
    undo->registerUndo(board->undoOwner(), [board, kanban, stage, oneList, nodes] {
        KanbanColumn* liveStage = LiveObjects::stage(kanban, stage);
        if (kanban->isDeleted() || (stage && !liveStage))
            return;
        if (MacKanbanColumnController* live = pasteColumn(board, kanban, liveStage, oneList))
            live->insertPastedCards(nodes, std::nullopt, std::nullopt);
    });
    undo->setActionName(pasteCardsActionName);
}
