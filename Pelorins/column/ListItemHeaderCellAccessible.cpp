#include "Pelorins/column/ListItemHeaderCellAccessible.h"

#include "Pelorins/column/ListItemHeaderCellDelegate.h"
#include "Pelorins/column/ListItemHeaderCellView.h"

ListItemHeaderCellAccessible::ListItemHeaderCellAccessible(ListItemHeaderCellView* header)
    : ReusableItemAccessible(header, QAccessible::Heading)
{
}

QAccessible::State ListItemHeaderCellAccessible::state() const
{
    QAccessible::State state = ReusableItemAccessible::state();
    const auto* header = static_cast<const ListItemHeaderCellView*>(widget());
    if (isPutAway() || !header->delegate())
        return state;
    // A click on a header selects its column.
    state.selectable = true;
    state.selected = header->delegate()->isSelected();
    return state;
}
