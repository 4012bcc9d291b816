#pragma once

class Kanban;
class KanbanColumn;
class ListItem;

// The live object an undo step means. A step holds the stages and cards it changes; deleting a
// stage deletes them with it, and undoing that deletion rebuilds them as new objects that keep
// their identifiers. A step recorded before the deletion acts on the rebuilt objects, found on
// the board by identifier, and never on the deleted ones.
namespace LiveObjects {

// The stage itself while it is not deleted; else the stage of `kanban` carrying its identifier;
// null when there is none.
KanbanColumn* stage(const Kanban* kanban, KanbanColumn* stage);
// The same for a card, looked for in the board's stages and day groups.
ListItem* card(const Kanban* kanban, ListItem* card);

}
