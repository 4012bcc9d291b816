#include "Pelorins/card/CardNotesUndo.h"

#include "Pelorins/board/MacKanbanColumnDelegate.h"
#include "Pelorins/card/ListItemCellView.h"
#include "Pelorins/card/NotesTextView.h"
#include "Pelorins/column/MacKanbanColumnController.h"
#include "PelorinsKit/model/ListItem.h"
#include "Platform/core/UndoManager.h"

namespace {

ListItemCellView* cellShowing(MacKanbanColumnDelegate* board, ListItem* card)
{
    for (MacKanbanColumnController* column : board->columnControllers())
        if (ListItemCellView* cell = column->cellShowing(card))
            return cell;
    return nullptr;
}

} // namespace

namespace CardNotesUndo {

void registerSnapshot(
    MacKanbanColumnDelegate* board, ListItem* card, const AttributedString& notes, const QString& name)
{
    UndoManager* undoManager = board ? board->undoManager() : nullptr;
    if (!undoManager || !card)
        return;
    undoManager->registerUndo(board->undoOwner(), [board, card, notes, name] {
        // A card deleted since (with its board, from the sidebar) is left alone.
        if (card->isDeleted())
            return;
        ListItemCellView* cell = cellShowing(board, card);
        const AttributedString current = cell ? cell->noteTextView()->storage().attributedString()
                                              : card->getAttributedNotes().value_or(AttributedString());
        registerSnapshot(board, card, current, name);
        if (cell) {
            cell->restoreNotes(notes);
            return;
        }
        card->setAttributedNotesNewNote(notes);
        QHash<ListItem*, qreal> heights = board->itemHeightCache();
        if (heights.remove(card))
            board->setItemHeightCache(heights);
    });
    undoManager->setActionName(name);
}

}
