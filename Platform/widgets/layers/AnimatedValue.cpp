#include "Platform/widgets/layers/AnimatedValue.h"

namespace AnimatedValue {

bool isPoint(const QVariant& value)
{
    const int type = value.typeId();
    return type == QMetaType::QPointF || type == QMetaType::QPoint;
}

QPointF toPoint(const QVariant& value)
{
    return isPoint(value) ? value.toPointF() : QPointF(value.toDouble(), value.toDouble());
}

QVariant add(const QVariant& a, const QVariant& b)
{
    if (isPoint(a) || isPoint(b))
        return toPoint(a) + toPoint(b);
    return a.toDouble() + b.toDouble();
}

QVariant subtract(const QVariant& a, const QVariant& b)
{
    if (isPoint(a) || isPoint(b))
        return toPoint(a) - toPoint(b);
    return a.toDouble() - b.toDouble();
}

QVariant scaled(const QVariant& value, double factor)
{
    if (isPoint(value))
        return toPoint(value) * factor;
    return value.toDouble() * factor;
}

QVariant interpolate(const QVariant& a, const QVariant& b, double t)
{
    return add(a, scaled(subtract(b, a), t));
}

} // namespace AnimatedValue
