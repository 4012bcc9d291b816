#pragma once

#include <QDateTime>
#include <QHash>
#include <QList>
#include <optional>

class DoneDate;
class Kanban;
class KanbanColumn;
class ListItem;

// Where cards sit on a board, read and changed in the model alone: a card is either in one stage
// column or in one day group of the done column. The card movers go through the column views
// when they can; these are the places they fall back to when a view, a controller or a recorded
// row is missing, so that no card is ever left in no column and no day group.
namespace CardPlacement {

// A card's place on its board: its stage column and row there, or (without a column) its done
// date and its row in that day's group.
struct Place
{
    KanbanColumn* column = nullptr;
    std::optional<QDateTime> doneDate;
    int index = 0;
};

// The start of the date's day in the user's time zone.
QDateTime dayOf(const QDateTime& date);
QDateTime today();

// The card's place on the board; none when it is in no stage column and no day group of it.
std::optional<Place> placeOf(const Kanban* kanban, const ListItem* item);
bool isFiled(const Kanban* kanban, const ListItem* item);
// Whether an undo step naming the board and the cards would name a deleted one: the board
// removed from the sidebar, say, since the step was filed. Such a step does nothing.
bool namesDeleted(const Kanban* kanban, const QList<ListItem*>& items);
// The places of those of the cards that are filed on the board.
QHash<ListItem*, Place> placesOf(const Kanban* kanban, const QList<ListItem*>& items);

// The first group of the board carrying exactly `day`.
DoneDate* groupOn(const Kanban* kanban, const QDateTime& day);
// A new, empty group for `day`, placed so that the groups stay newest first. Made only when it
// can be attached: null when the board has no context.
DoneDate* makeGroup(Kanban* kanban, const QDateTime& day, int* insertedAt = nullptr);

// Takes the cards out of the board's stage columns.
void takeOutOfStageColumns(Kanban* kanban, const QList<ListItem*>& items);
// Files the cards, as done cards, into the group of the first card's done day at `index`
// (clamped), making the group when it is missing; cards without a done date get now. The cards
// leave their stage columns first.
void fileInDoneColumn(Kanban* kanban, const QList<ListItem*>& items, int index);
// Takes the cards out of their day groups as open cards, without strike-through; groups left
// empty are deleted as deleteEmptiedGroups() says.
void leaveDoneColumn(Kanban* kanban, const QList<ListItem*>& items);
// Deletes those of the board's groups that hold no card, except today's: today's section shows
// whether or not it has a group, and the next card done today goes into the group it keeps.
void deleteEmptiedGroups(Kanban* kanban, const QList<DoneDate*>& groups);
// Puts the cards at `index` (clamped) of a stage column, taking them out of the done column first.
void placeInStageColumn(Kanban* kanban, KanbanColumn* column, const QList<ListItem*>& items, int index);
// Moves the card to the end of the board's first stage column, so that it ends in exactly one
// place: a done card leaves its day group as an open card, its done date cleared; its tags become
// the board's tags of the same names, made with the old colours where the board has none. False
// when the board has no stage column: the card stays where it was.
bool moveToBoard(ListItem* item, Kanban* kanban);
// Puts the card back at a place read earlier; a stage column no longer on the board sends it to
// the head of the last stage column, and without stage columns it goes to the done column.
void restore(Kanban* kanban, ListItem* item, const Place& place);
// Takes the cards off the board: out of its stage columns, and out of its day groups as open cards.
void takeOff(Kanban* kanban, const QList<ListItem*>& items);
// Takes the cards off the board and puts each back at its place, lowest row first so that each
// lands at its row.
void refile(Kanban* kanban, const QHash<ListItem*, Place>& places);

}
