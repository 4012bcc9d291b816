#include "Pelorins/card/CardNotesUndo.h"

#include "Pelorins/card/CardBoard.h"
#include "Pelorins/card/ListItemCellView.h"
#include "Pelorins/card/NotesTextView.h"
#include "PelorinsKit/board/LiveObjects.h"
#include "PelorinsKit/model/ListItem.h"
#include "Platform/core/UndoManager.h"

namespace {

// Files the step under the board; `kanban` is the card's board, where the card is found again
// when it has been remade.
void fileSnapshot(
    CardBoard* board, Kanban* kanban, ListItem* card, const AttributedString& notes, const QString& name)
{
    UndoManager* undoManager = board ? board->undoManager() : nullptr;
    if (!undoManager || !card)
        return;
    undoManager->registerUndo(board->undoOwner(), [board, kanban, card, notes, name] {
        // A card whose adding was undone and redone since is the new card with its identifier;
        // one deleted for good (with its board, from the sidebar) is left alone.
        ListItem* live = LiveObjects::card(kanban, card);
        if (!live)
            return;
        ListItemCellView* cell = board->cellShowing(live);
        const AttributedString current = cell ? cell->noteTextView()->storage().attributedString()
                                              : live->getAttributedNotes().value_or(AttributedString());
        fileSnapshot(board, kanban, live, current, name);
        if (cell) {
            cell->restoreNotes(notes);
            return;
        }
        live->setAttributedNotesNewNote(notes);
        QHash<ListItem*, qreal> heights = board->itemHeightCache();
        if (heights.remove(live))
            board->setItemHeightCache(heights);
    });
    undoManager->setActionName(name);
}

} // namespace

namespace CardNotesUndo {

void registerSnapshot(
    CardBoard* board, ListItem* card, const AttributedString& notes, const QString& name)
{
    // The card is on the board shown as its notes change.
    fileSnapshot(board, board ? board->kanban() : nullptr, card, notes, name);
}

}
