#pragma once

class ListItem;
class MacKanbanColumnDelegate;

// What a card view asks of the column that hosts it.
class ListItemCellDelegate
{
public:
    virtual ~ListItemCellDelegate() = default;

    // The column's board, which the card's check button hands the card to.
    virtual MacKanbanColumnDelegate* delegate() const = 0;
    // Makes the card the board's only selected card (its notes editor took the focus).
    virtual void selectItem(ListItem* item) = 0;
    // The card's height changed while it was edited: its cached height is stale.
    virtual void itemHeightChanged(ListItem* item, bool skipLayout) = 0;
};
