#include "Platform/widgets/layers/BasicAnimation.h"

#include "Platform/widgets/layers/AnimatedValue.h"

BasicAnimation::BasicAnimation(const QString& keyPath)
{
    setKeyPath(keyPath);
}

std::unique_ptr<Animation> BasicAnimation::clone() const
{
    return std::make_unique<BasicAnimation>(*this);
}

QVariant BasicAnimation::interpolate(double, double fraction, const QVariant& underlying) const
{
    const auto [from, to] = range(underlying);
    return AnimatedValue::interpolate(from, to, fraction);
}

std::pair<QVariant, QVariant> BasicAnimation::range(const QVariant& underlying) const
{
    const bool from = m_fromValue.isValid();
    const bool to = m_toValue.isValid();
    const bool by = m_byValue.isValid();
    if (from && to)
        return {m_fromValue, m_toValue};
    if (from && by)
        return {m_fromValue, AnimatedValue::add(m_fromValue, m_byValue)};
    if (to && by)
        return {AnimatedValue::subtract(m_toValue, m_byValue), m_toValue};
    if (from)
        return {m_fromValue, underlying};
    if (to)
        return {underlying, m_toValue};
    if (by)
        return {underlying, AnimatedValue::add(underlying, m_byValue)};
    return {underlying, underlying};
}
