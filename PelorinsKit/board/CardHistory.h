#pragma once

#include "PelorinsKit/model/ListItemAction.h"

#include <QString>

class ListItem;

// The history entries the card movers add and take back.
namespace CardHistory {

// Appends an entry of `action` dated now, created in the card's context, naming the column when
// an identifier is given.
void append(ListItem* item, ListItemAction action, const QString& kanbanColumnUniqueIdentifier = QString());
// Takes the card's newest entry off its history and deletes it; nothing when it has none.
void removeLast(ListItem* item);

}
