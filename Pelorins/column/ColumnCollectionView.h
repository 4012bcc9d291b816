#pragma once

#include "Pelorins/column/KanbanColumnScrollview.h"

#include <QPoint>
#include <optional>

class ColumnCollectionViewDragAndDropDelegate;

// The list of one column, which is also its scroll view.
class ColumnCollectionView : public KanbanColumnScrollview
{
    Q_OBJECT

public:
    using KanbanColumnScrollview::KanbanColumnScrollview;

    ColumnCollectionViewDragAndDropDelegate* dragAndDropDelegate() const { return m_dragAndDropDelegate; }
    void setDragAndDropDelegate(ColumnCollectionViewDragAndDropDelegate* delegate) { m_dragAndDropDelegate = delegate; }
    // Where the pointer of the drag moving over the list is, in viewport coordinates; none while
    // no drag is over it.
    std::optional<QPoint> dragPosition() const { return m_dragPosition; }

protected:
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    ColumnCollectionViewDragAndDropDelegate* m_dragAndDropDelegate = nullptr;
    std::optional<QPoint> m_dragPosition;
};
