#pragma once

#include "Pelorins/column/KanbanColumnScrollview.h"

class ColumnCollectionViewDragAndDropDelegate;

// The list of one column, which is also its scroll view.
class ColumnCollectionView : public KanbanColumnScrollview
{
    Q_OBJECT

public:
    using KanbanColumnScrollview::KanbanColumnScrollview;

    ColumnCollectionViewDragAndDropDelegate* dragAndDropDelegate() const { return m_dragAndDropDelegate; }
    void setDragAndDropDelegate(ColumnCollectionViewDragAndDropDelegate* delegate) { m_dragAndDropDelegate = delegate; }

private:
    ColumnCollectionViewDragAndDropDelegate* m_dragAndDropDelegate = nullptr;
};
