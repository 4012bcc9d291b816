#pragma once

#include <QPainterPath>
#include <QPointF>
#include <QSizeF>
#include <initializer_list>

// The shapes the welcome pages are drawn with, built the way their artwork was: corners and
// circles of cubic curves whose controls lie 0.5523 of the radius from the curve's ends.
class WelcomePaths
{
public:
    // A box from (0, 0), corners of one curve each, starting at (rx, 0) and running clockwise.
    static QPainterPath roundedRectangle(const QSizeF& size, double rx, double ry);
    static QPainterPath roundedRectangle(const QSizeF& size, double radius)
    {
        return roundedRectangle(size, radius, radius);
    }
    // A box from (0, 0) whose corners ease into its sides: each corner is three curves reaching
    // `span` along both sides, starting at (span, 0).
    static QPainterPath smoothRoundedRectangle(const QSizeF& size, double span);
    static QPainterPath rectangle(const QSizeF& size);
    // The ellipse filling a box from (0, 0), four curves from the middle of its lower side.
    static QPainterPath ellipse(const QSizeF& size);
    static QPainterPath circle(double diameter) { return ellipse(QSizeF(diameter, diameter)); }
    // Straight segments through `points`, closed back to the first when `closed`.
    static QPainterPath polyline(std::initializer_list<QPointF> points, bool closed = false);
    static QPainterPath line(const QPointF& from, const QPointF& to) { return polyline({from, to}); }
};
