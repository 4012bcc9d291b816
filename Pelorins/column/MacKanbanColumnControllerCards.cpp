#include "Pelorins/column/MacKanbanColumnController.h"

#include "Pelorins/column/BoardColumns.h"
#include "Pelorins/column/ColumnCollectionView.h"
#include "Pelorins/column/MacKanbanColumnDelegate.h"
#include "PelorinsKit/board/CardHistory.h"
#include "PelorinsKit/board/CardPlacement.h"
#include "PelorinsKit/board/KanbanColumnListItemsMover.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/model/ListItemHistory.h"
#include "Platform/core/UndoManager.h"
#include "Platform/core/objectgraph/ManagedObjectContext.h"

using BoardColumns::liveColumnOf;

namespace {

const QString addCardActionName = QStringLiteral("Add Card");

// Where row `row` of `stage` is in the rows of the column showing it.
IndexPath stageRow(MacKanbanColumnController* column, KanbanColumn* stage, int row)
{
    if (!column->showAllSections())
        return {0, row};
    return {int(column->kanbanColumnDelegate()->kanbanColumns().indexOf(stage)), row};
}

// A new open card for `stage`, its notes open for typing; with `identifier`, the card takes the
// identifier of the card whose adding was undone, so that the steps filed for that card while it
// lived act on this one (they find cards by identifier once theirs is deleted).
ListItem* newCard(KanbanColumn* stage, const QString& identifier)
{
    auto* card = stage->managedObjectContext()->insertNewObject<ListItem>(QStringLiteral("ListItem"));
    card->setNotesExpanded(true);
    if (!identifier.isEmpty())
        card->setUniqueIdentifier(identifier);
    return card;
}

void fileAddCardRedo(MacKanbanColumnDelegate* board, KanbanColumn* stage, int row, const QString& identifier);

// Files the step that takes the card added at `row` of `stage` out again. It holds graph objects
// only and reaches the column showing the stage when it runs; with the board not shown, the card
// leaves the model alone, and either way its redo is filed.
void fileAddCardUndo(MacKanbanColumnDelegate* board, KanbanColumn* stage, ListItem* card, int row)
{
    UndoManager* undo = board->undoManager();
    if (!undo)
        return;
    undo->registerUndo(board->undoOwner(), [board, stage, card, row] {
        if (MacKanbanColumnController* live = liveColumnOf(board, stage)) {
            live->addNewItem(stageRow(live, stage, row), card);
            return;
        }
        // Unless it went with its stage or board.
        if (stage->isDeleted() || !stage->kanban() || stage->kanban()->isDeleted() || card->isDeleted())
            return;
        const QString identifier = card->uniqueIdentifier();
        CardPlacement::takeOff(stage->kanban(), {card});
        card->managedObjectContext()->deleteObject(card);
        board->saveAction();
        fileAddCardRedo(board, stage, row, identifier);
    });
    undo->setActionName(addCardActionName);
}

// Files the redo of an undone "Add Card": a new, empty card at the same row of the stage, through
// the column showing it, or in the model alone when the board is not shown.
void fileAddCardRedo(MacKanbanColumnDelegate* board, KanbanColumn* stage, int row, const QString& identifier)
{
    UndoManager* undo = board->undoManager();
    if (!undo)
        return;
    undo->registerUndo(board->undoOwner(), [board, stage, row, identifier] {
        if (MacKanbanColumnController* live = liveColumnOf(board, stage)) {
            live->addNewItem(stageRow(live, stage, row), nullptr, identifier);
            return;
        }
        if (stage->isDeleted() || !stage->kanban() || stage->kanban()->isDeleted())
            return;
        ListItem* card = newCard(stage, identifier);
        CardHistory::append(card, ListItemAction::created, stage->uniqueIdentifier());
        CardPlacement::placeInStageColumn(stage->kanban(), stage, {card}, row);
        board->saveAction();
        fileAddCardUndo(board, stage, card, row);
    });
    undo->setActionName(addCardActionName);
}

} // namespace

void MacKanbanColumnController::addNewItem(int toSection)
{
    const int section = m_showAllSections ? toSection : 0;
    if (KanbanColumn* stage = stageAt(IndexPath {section, 0}))
        addNewItem(IndexPath {section, int(filteredItemsFor(stage).size())}, nullptr);
}

void MacKanbanColumnController::addNewItem(const IndexPath& at, ListItem* existing, const QString& identifier)
{
    // In the single list a stage's own column files the card; the list follows.
    if (MacKanbanColumnController* owner = ownerOf(at); owner != this) {
        owner->addNewItem(pathInOwner(at), existing, identifier);
        return;
    }
    KanbanColumn* stage = stageAt(at);
    UndoManager* undo = undoManager();
    // A day section or the done column has no stage to add to.
    if (!stage || !m_delegate)
        return;
    MacKanbanColumnDelegate* board = m_delegate;
    if (undo && !undo->isUndoing()) {
        ListItem* card = existing ? existing : newCard(stage, identifier);
        CardHistory::append(card, ListItemAction::created, stage->uniqueIdentifier());
        m_itemsMover->insertItems({card}, at, true, false);
        fileAddCardUndo(board, stage, card, at.item);
        return;
    }
    if (!existing)
        return;
    m_itemsMover->removeItemsFromController({existing}, this);
    const QString undoneIdentifier = existing->uniqueIdentifier();
    existing->managedObjectContext()->deleteObject(existing);
    board->saveAction();
    fileAddCardRedo(board, stage, at.item, undoneIdentifier);
}

void MacKanbanColumnController::deleteSelectedItems()
{
    QHash<MacKanbanColumnController*, QList<ListItem*>> cardsByOwner;
    QList<MacKanbanColumnController*> owners;
    for (const IndexPath& path : sorted(m_collectionView->selectionIndexPaths())) {
        ListItem* card = itemFor(path);
        if (!card)
            continue;
        MacKanbanColumnController* owner = ownerOf(path);
        if (!owners.contains(owner))
            owners.append(owner);
        cardsByOwner[owner].append(card);
    }
    // In the single list each stage's own mover deletes its cards: one step for them all.
    for (MacKanbanColumnController* owner : std::as_const(owners))
        owner->itemsMover()->deleteItems(cardsByOwner.value(owner));
    if (m_delegate)
        m_delegate->saveAction();
}

void MacKanbanColumnController::insertNewCardAbove()
{
    const QList<IndexPath> selection = sorted(m_collectionView->selectionIndexPaths());
    addNewItem(selection.isEmpty() ? IndexPath {0, 0} : selection.first(), nullptr);
}

void MacKanbanColumnController::insertNewCardBelow()
{
    const QList<IndexPath> selection = sorted(m_collectionView->selectionIndexPaths());
    if (selection.isEmpty())
        addNewItem(0);
    else
        addNewItem(IndexPath {selection.last().section, selection.last().item + 1}, nullptr);
}

void MacKanbanColumnController::flipDoneStatesOfSelectedItems()
{
    QList<ListItem*> cards;
    for (const IndexPath& path : sorted(m_collectionView->selectionIndexPaths()))
        if (ListItem* card = itemFor(path))
            cards.append(card);
    if (m_delegate)
        m_delegate->flipDoneStatesOf(cards);
}
