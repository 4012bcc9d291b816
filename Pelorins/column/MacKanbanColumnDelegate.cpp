#include "Pelorins/column/MacKanbanColumnDelegate.h"

#include "Pelorins/column/MacKanbanColumnController.h"

ListItemCellView* MacKanbanColumnDelegate::cellShowing(ListItem* card) const
{
    for (MacKanbanColumnController* column : columnControllers())
        if (ListItemCellView* cell = column->cellShowing(card))
            return cell;
    return nullptr;
}
