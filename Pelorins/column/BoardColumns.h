#pragma once

#include <QList>

#include <optional>

class Kanban;
class KanbanColumn;
class ListItem;
class MacKanbanColumnController;
class MacKanbanColumnDelegate;

// The columns a board shows now, as an undo step finds them when it runs: it holds graph
// objects only, and the board may show another board or other columns by then.
namespace BoardColumns {

// The column that shows `stage` on `board` now, or null when the board shows another board. In
// the single-column layout that is the stage's own controller, hidden or not.
MacKanbanColumnController* liveColumnOf(MacKanbanColumnDelegate* board, KanbanColumn* stage);
// Shows a change made to `kanban` in the model on the board when it shows that board: the one
// list slides its cards, separate columns read themselves again.
void showChange(MacKanbanColumnDelegate* board, const Kanban* kanban, const std::optional<QList<ListItem*>>& select);

} // namespace BoardColumns
