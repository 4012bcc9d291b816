#include "Pelorins/column/KanbanColumnAddButtonItem.h"

#include "Pelorins/column/ListItemAddItemButtonCell.h"

KanbanColumnAddButtonItem::KanbanColumnAddButtonItem(
    UserDefaults& defaults, NotificationCenter& notificationCenter, QWidget* parent)
    : QWidget(parent)
    , m_view(new ListItemAddItemButtonCell(defaults, notificationCenter, this))
{
}

void KanbanColumnAddButtonItem::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_view->setGeometry(rect());
}
