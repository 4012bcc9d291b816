#pragma once

#include "PelorinsKit/notes/AttributedString.h"

#include <QString>

class ListItem;
class CardBoard;

// Undo of a card's notes on the window's undo manager: a step holds the card and its notes as
// they were, filed under the board, and puts them back through whichever cell shows the card
// when it runs, or straight into the card when none does.
namespace CardNotesUndo {

void registerSnapshot(
    CardBoard* board, ListItem* card, const AttributedString& notes, const QString& name);

}
