#include "Pelorins/column/VerticalScrollView.h"

#include <QCoreApplication>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

VerticalScrollView::VerticalScrollView(QWidget* parent)
    : RFOverlayScrollView(parent)
{
    // The board shows through the list.
    viewport()->setAutoFillBackground(false);
    setAutoFillBackground(false);
}

void VerticalScrollView::setSelected(bool selected)
{
    if (selected == m_selected)
        return;
    m_selected = selected;
    viewport()->update();
}

void VerticalScrollView::wheelEvent(QWheelEvent* event)
{
    const Qt::ScrollPhase phase = event->phase();
    if (phase == Qt::ScrollBegin || phase == Qt::NoScrollPhase)
        m_directionPending = true;
    const QPoint delta = event->pixelDelta().isNull() ? event->angleDelta() : event->pixelDelta();
    if (m_directionPending && !delta.isNull()) {
        // Equal deltas count as vertical.
        m_currentScrollIsHorizontal = std::abs(delta.y()) < std::abs(delta.x());
        m_directionPending = false;
    }
    if (m_currentScrollIsHorizontal) {
        passToBoard(*event);
        event->accept();
        return;
    }
    // Only the vertical part scrolls the list, and the list keeps the whole gesture.
    QWheelEvent vertical(event->position(), event->globalPosition(), QPoint(0, event->pixelDelta().y()),
        QPoint(0, event->angleDelta().y()), event->buttons(), event->modifiers(), phase, event->inverted(),
        event->source());
    QCoreApplication::sendEvent(verticalScrollBar(), &vertical);
    event->accept();
}

void VerticalScrollView::passToBoard(const QWheelEvent& event)
{
    // The board is the scroll area around the column; without one the gesture goes nowhere.
    for (QWidget* ancestor = parentWidget(); ancestor; ancestor = ancestor->parentWidget()) {
        auto* board = qobject_cast<QAbstractScrollArea*>(ancestor);
        if (!board)
            continue;
        QWidget* viewport = board->viewport();
        QWheelEvent forwarded(viewport->mapFromGlobal(event.globalPosition()), event.globalPosition(),
            event.pixelDelta(), event.angleDelta(), event.buttons(), event.modifiers(), event.phase(), event.inverted(),
            event.source());
        QCoreApplication::sendEvent(viewport, &forwarded);
        return;
    }
}

void VerticalScrollView::paintEvent(QPaintEvent* event)
{
    RFOverlayScrollView::paintEvent(event);
    if (!m_selected)
        return;
    QPainter painter(viewport());
    painter.fillRect(viewport()->rect(), QColor::fromRgbF(0, 0, 0, 0.4));
}
