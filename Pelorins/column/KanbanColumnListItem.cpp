#include "Pelorins/column/KanbanColumnListItem.h"

#include "Pelorins/card/ListItemCellView.h"

KanbanColumnListItem::KanbanColumnListItem(QWidget* parent)
    : QWidget(parent)
    , m_view(new ListItemCellView(this))
{
}

void KanbanColumnListItem::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_view->setGeometry(rect());
}
