#include "Platform/widgets/layers/KeyframeAnimation.h"

#include "Platform/widgets/layers/AnimatedValue.h"

#include <algorithm>

using namespace AnimatedValue;

KeyframeAnimation::KeyframeAnimation(const QString& keyPath)
{
    setKeyPath(keyPath);
}

std::unique_ptr<Animation> KeyframeAnimation::clone() const
{
    return std::make_unique<KeyframeAnimation>(*this);
}

double KeyframeAnimation::keyTime(int index) const
{
    const int count = int(m_values.size());
    if (m_keyTimes.size() == count)
        return m_keyTimes.at(index);
    return count > 1 ? double(index) / (count - 1) : 0;
}

double KeyframeAnimation::parameter(const QList<double>& list, int index) const
{
    return index < list.size() ? list.at(index) : 0;
}

QVariant KeyframeAnimation::tangent(int index, bool outgoing) const
{
    const int last = int(m_values.size()) - 1;
    const QVariant before = subtract(m_values.at(index), m_values.at(std::max(index - 1, 0)));
    const QVariant after = subtract(m_values.at(std::min(index + 1, last)), m_values.at(index));
    const double t = parameter(m_tension, index);
    const double c = outgoing ? parameter(m_continuity, index) : -parameter(m_continuity, index);
    const double b = parameter(m_bias, index);
    QVariant tangent
        = add(scaled(before, (1 - t) * (1 + b) * (1 + c) / 2), scaled(after, (1 - t) * (1 - b) * (1 - c) / 2));
    // Uneven key times: a tangent is weighed by the segment it runs along.
    if (index > 0 && index < last) {
        const double previous = keyTime(index) - keyTime(index - 1);
        const double next = keyTime(index + 1) - keyTime(index);
        if (previous + next > 0)
            tangent = scaled(tangent, 2 * (outgoing ? next : previous) / (previous + next));
    }
    return tangent;
}

QVariant KeyframeAnimation::interpolate(double, double fraction, const QVariant& underlying) const
{
    const int count = int(m_values.size());
    if (count == 0)
        return underlying;
    if (count == 1 || fraction <= keyTime(0))
        return m_values.first();
    if (fraction >= keyTime(count - 1))
        return m_values.last();
    int segment = 0;
    while (segment < count - 2 && fraction >= keyTime(segment + 1))
        ++segment;
    const double start = keyTime(segment);
    const double length = keyTime(segment + 1) - start;
    const double u = length > 0 ? (fraction - start) / length : 1;
    const QVariant& from = m_values.at(segment);
    const QVariant& to = m_values.at(segment + 1);
    if (m_calculationMode == CalculationMode::linear)
        return AnimatedValue::interpolate(from, to, u);
    // Cubic Hermite between the two values with the spline's tangents.
    const double u2 = u * u;
    const double u3 = u2 * u;
    return add(add(scaled(from, 2 * u3 - 3 * u2 + 1), scaled(tangent(segment, true), u3 - 2 * u2 + u)),
        add(scaled(to, -2 * u3 + 3 * u2), scaled(tangent(segment + 1, false), u3 - u2)));
}
