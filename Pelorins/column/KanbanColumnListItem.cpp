#include "Pelorins/column/KanbanColumnListItem.h"

#include "Pelorins/column/ReadOnlyCardView.h"

KanbanColumnListItem::KanbanColumnListItem(QWidget* parent)
    : QWidget(parent)
    , m_view(new ReadOnlyCardView(this))
{
}

void KanbanColumnListItem::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_view->setGeometry(rect());
}
