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
    // A column off screen (pooled by the board, or in a hidden window) has no pointer over it,
    // wherever its unplaced rectangle would map to.
    if (!isVisible())
        return false;
    return rect().contains(mapFromGlobal(QCursor::pos()));
}

void KanbanColumnScrollview::enterEvent(QEnterEvent* event)
{
    VerticalScrollView::enterEvent(event);
    // Qt also sends an enter to a column placed where it last saw the pointer, which may have
    // gone since; the scroller shows only for a pointer that is really there.
    if (mouseIsWithinBounds())
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
