#include "Pelorins/shell/ToolbarSymbols.h"

#include <QApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QPixmap>
#include <functional>

namespace {

// Draws on a 20 x 20 grid, at twice the size for sharp edges on dense screens.
QIcon symbol(const std::function<void(QPainter&)>& draw)
{
    QPixmap pixmap(40, 40);
    pixmap.setDevicePixelRatio(2.0);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(QApplication::palette().color(QPalette::WindowText), 1.5);
    pen.setJoinStyle(Qt::RoundJoin);
    pen.setCapStyle(Qt::RoundCap);
    painter.setPen(pen);
    draw(painter);
    return QIcon(pixmap);
}

} // namespace

namespace ToolbarSymbols {

QIcon sidebarLeft()
{
    return symbol([](QPainter& painter) {
        painter.drawRoundedRect(QRectF(2.5, 4.5, 15, 11), 2, 2);
        painter.drawLine(QPointF(7.5, 4.5), QPointF(7.5, 15.5));
        painter.drawLine(QPointF(4.2, 7.5), QPointF(5.8, 7.5));
        painter.drawLine(QPointF(4.2, 9.5), QPointF(5.8, 9.5));
    });
}

QIcon photoOnRectangle()
{
    return symbol([](QPainter& painter) {
        painter.drawRoundedRect(QRectF(5.5, 3.5, 12, 9), 1.5, 1.5);
        painter.drawPolyline(QPolygonF(
            {QPointF(5.5, 6.5), QPointF(2.5, 6.5), QPointF(2.5, 16.5), QPointF(14.5, 16.5), QPointF(14.5, 12.5)}));
        painter.drawPolyline(
            QPolygonF({QPointF(6.5, 11.5), QPointF(10, 8), QPointF(12.5, 10.5), QPointF(14, 9), QPointF(17, 12)}));
        painter.drawEllipse(QPointF(14.5, 6), 1, 1);
    });
}

QIcon tag()
{
    return symbol([](QPainter& painter) {
        QPainterPath path;
        path.moveTo(3, 4.5);
        path.lineTo(10, 4.5);
        path.lineTo(17, 11);
        path.lineTo(11, 17);
        path.lineTo(3, 10);
        path.closeSubpath();
        painter.drawPath(path);
        painter.drawEllipse(QPointF(6.5, 8), 1.2, 1.2);
    });
}

QIcon magnifyingGlass()
{
    return symbol([](QPainter& painter) {
        painter.drawEllipse(QPointF(8.5, 8.5), 4.5, 4.5);
        painter.drawLine(QPointF(12, 12), QPointF(16, 16));
    });
}

} // namespace ToolbarSymbols
