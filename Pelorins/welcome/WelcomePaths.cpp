#include "Pelorins/welcome/WelcomePaths.h"

namespace {

constexpr double kappa = 0.5523;

} // namespace

QPainterPath WelcomePaths::roundedRectangle(const QSizeF& size, double rx, double ry)
{
    const double w = size.width();
    const double h = size.height();
    const double cx = rx * kappa;
    const double cy = ry * kappa;
    QPainterPath path;
    path.moveTo(rx, 0);
    path.lineTo(w - rx, 0);
    path.cubicTo(w - rx + cx, 0, w, ry - cy, w, ry);
    path.lineTo(w, h - ry);
    path.cubicTo(w, h - ry + cy, w - rx + cx, h, w - rx, h);
    path.lineTo(rx, h);
    path.cubicTo(rx - cx, h, 0, h - ry + cy, 0, h - ry);
    path.lineTo(0, ry);
    path.cubicTo(0, ry - cy, rx - cx, 0, rx, 0);
    path.closeSubpath();
    return path;
}

QPainterPath WelcomePaths::rectangle(const QSizeF& size)
{
    return polyline({{0, 0}, {size.width(), 0}, {size.width(), size.height()}, {0, size.height()}}, true);
}

QPainterPath WelcomePaths::ellipse(const QSizeF& size)
{
    const double rx = size.width() / 2;
    const double ry = size.height() / 2;
    const double cx = rx * kappa;
    const double cy = ry * kappa;
    QPainterPath path;
    path.moveTo(rx, 2 * ry);
    path.cubicTo(rx + cx, 2 * ry, 2 * rx, ry + cy, 2 * rx, ry);
    path.cubicTo(2 * rx, ry - cy, rx + cx, 0, rx, 0);
    path.cubicTo(rx - cx, 0, 0, ry - cy, 0, ry);
    path.cubicTo(0, ry + cy, rx - cx, 2 * ry, rx, 2 * ry);
    path.closeSubpath();
    return path;
}

QPainterPath WelcomePaths::polyline(std::initializer_list<QPointF> points, bool closed)
{
    QPainterPath path;
    for (const QPointF& point : points) {
        if (path.elementCount() == 0)
            path.moveTo(point);
        else
            path.lineTo(point);
    }
    if (closed)
        path.closeSubpath();
    return path;
}
