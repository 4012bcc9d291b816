#include "Pelorins/column/KanbanColumnScrollview.h"

#include "Pelorins/column/RFOverlayScroller.h"
#include "Platform/core/ConsoleLog.h"

#include <QCursor>
#include <QMouseEvent>

KanbanColumnScrollview::KanbanColumnScrollview(QWidget* parent)
    : VerticalScrollView(parent)
{
    overlayScroller()->setDelegate(this);
}

bool KanbanColumnScrollview::mouseIsWithinBounds() const
{
    if (!window())
        return false;
    return rect().contains(mapFromGlobal(QCursor::pos()));
}

void KanbanColumnScrollview::enterEvent(QEnterEvent* event)
{
    VerticalScrollView::enterEvent(event);
    overlayScroller()->animateAlphaValue(1.0, RFOverlayScroller::defaultDuration);
}

void KanbanColumnScrollview::leaveEvent(QEvent* event)
{
    VerticalScrollView::leaveEvent(event);
    // The pointer moved onto something inside the column.
    if (mouseIsWithinBounds())
        return;
    overlayScroller()->fadeOut();
}

void KanbanColumnScrollview::mouseMoveEvent(QMouseEvent* event)
{
    if (event->buttons() & Qt::LeftButton)
        ConsoleLog::write(QStringLiteral("mouseDragged"));
    VerticalScrollView::mouseMoveEvent(event);
}
