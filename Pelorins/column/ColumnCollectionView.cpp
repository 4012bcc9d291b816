#include "Pelorins/column/ColumnCollectionView.h"

#include "Platform/widgets/DragPictureWindow.h"

#include <QDragMoveEvent>
#include <QPainter>

namespace {

// The longer side of the dragged cards' picture beyond the board.
constexpr qreal outsideSide = 200.0;

} // namespace

void ColumnCollectionView::setDragIsInside(bool inside)
{
    m_dragIsInside = inside;
    m_inBoardPicture = QPixmap();
}

void ColumnCollectionView::draggingSessionMoved(const QPoint& screenPoint)
{
    const std::optional<bool> inside = isInsideBoard(this, screenPoint);
    if (!inside || *inside == m_dragIsInside)
        return;
    m_dragIsInside = *inside;
    DragPictureWindow* picture = dragPicture();
    if (!m_dragAndDropDelegate || !picture)
        return;
    if (m_dragIsInside) {
        if (!m_inBoardPicture.isNull())
            picture->setPicture(m_inBoardPicture, m_inBoardHotSpot);
        m_inBoardPicture = QPixmap();
        return;
    }
    m_inBoardPicture = picture->picture();
    m_inBoardHotSpot = picture->hotSpot();
    const auto [small, hotSpot] = resized(
        m_inBoardPicture, m_inBoardHotSpot, fittedInto(m_inBoardPicture.deviceIndependentSize(), outsideSide));
    picture->setPicture(small, hotSpot);
}

std::optional<bool> ColumnCollectionView::isInsideBoard(const SectionedListView* list, const QPoint& screenPoint)
{
    const QWidget* container = list->parentWidget();
    if (!container || !list->window()->windowHandle())
        return std::nullopt;
    const QAbstractScrollArea* board = nullptr;
    for (const QWidget* above = container->parentWidget(); above && !board; above = above->parentWidget())
        board = qobject_cast<const QAbstractScrollArea*>(above);
    if (!board)
        return std::nullopt;
    return board->rect().contains(board->mapFromGlobal(screenPoint));
}

QSizeF ColumnCollectionView::fittedInto(const QSizeF& size, qreal side)
{
    if (size.isEmpty())
        return size;
    if (size.width() > size.height())
        return {side, size.height() / size.width() * side};
    return {size.width() / size.height() * side, side};
}

std::pair<QPixmap, QPoint> ColumnCollectionView::resized(
    const QPixmap& picture, const QPoint& hotSpot, const QSizeF& size)
{
    const QSizeF from = picture.deviceIndependentSize();
    if (from.isEmpty() || size.isEmpty())
        return {QPixmap(), QPoint()};
    const qreal ratio = picture.devicePixelRatio();
    QPixmap drawn((size * ratio).toSize());
    drawn.setDevicePixelRatio(ratio);
    drawn.fill(Qt::transparent);
    QPainter painter(&drawn);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(QRectF(QPointF(0, 0), size), picture, QRectF(picture.rect()));
    painter.end();
    // The pointer stays over the same spot of the picture.
    const QPointF scale(size.width() / from.width(), size.height() / from.height());
    return {drawn, QPoint(qRound(hotSpot.x() * scale.x()), qRound(hotSpot.y() * scale.y()))};
}

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
