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

QPainterPath WelcomePaths::smoothRoundedRectangle(const QSizeF& size, double span)
{
    // One corner, from its end on the top side to its end on the left side, in fractions of
    // the span: a gentle start, the turn, and a gentle end.
    struct Curve
    {
        QPointF first;
        QPointF second;
        QPointF end;
    };
    const Curve corner[] = {
        {{0.75, 0}, {0.52, 0.02}, {0.38, 0.08}},
        {{0.22, 0.14}, {0.14, 0.22}, {0.08, 0.38}},
        {{0.02, 0.52}, {0, 0.75}, {0, 1}},
    };
    const double w = size.width();
    const double h = size.height();
    // Each corner is the top-left one mirrored onto its place, walked clockwise.
    const auto place = [&](const QPointF& point, bool right, bool bottom, bool reversed) {
        const QPointF turned = reversed ? QPointF(point.y(), point.x()) : point;
        return QPointF(
            right ? w - turned.x() * span : turned.x() * span, bottom ? h - turned.y() * span : turned.y() * span);
    };
    const auto addCorner = [&](QPainterPath& path, bool right, bool bottom, bool reversed) {
        for (const Curve& curve : corner)
            path.cubicTo(place(curve.first, right, bottom, reversed), place(curve.second, right, bottom, reversed),
                place(curve.end, right, bottom, reversed));
    };
    QPainterPath path;
    path.moveTo(span, 0);
    path.lineTo(w - span, 0);
    addCorner(path, true, false, false);
    path.lineTo(w, h - span);
    addCorner(path, true, true, true);
    path.lineTo(span, h);
    addCorner(path, false, true, false);
    path.lineTo(0, span);
    addCorner(path, false, false, true);
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
