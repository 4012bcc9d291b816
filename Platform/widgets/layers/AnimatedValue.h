#pragma once

#include <QPointF>
#include <QVariant>

// Arithmetic on the values animations carry: numbers (opacity, one coordinate, a scale) and
// points (a position). A point meets a number only by mistake; the point wins then.
namespace AnimatedValue {

bool isPoint(const QVariant& value);
QPointF toPoint(const QVariant& value);
QVariant add(const QVariant& a, const QVariant& b);
QVariant subtract(const QVariant& a, const QVariant& b);
QVariant scaled(const QVariant& value, double factor);
// a + (b - a) * t
QVariant interpolate(const QVariant& a, const QVariant& b, double t);

} // namespace AnimatedValue
