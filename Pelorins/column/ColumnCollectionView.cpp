#include "Pelorins/column/ColumnCollectionView.h"

#include <QDragMoveEvent>

void ColumnCollectionView::dragMoveEvent(QDragMoveEvent* event)
{
    m_dragPosition = event->position().toPoint();
    KanbanColumnScrollview::dragMoveEvent(event);
}

void ColumnCollectionView::dragLeaveEvent(QDragLeaveEvent* event)
{
    m_dragPosition.reset();
    KanbanColumnScrollview::dragLeaveEvent(event);
}

void ColumnCollectionView::dropEvent(QDropEvent* event)
{
    KanbanColumnScrollview::dropEvent(event);
    m_dragPosition.reset();
}
