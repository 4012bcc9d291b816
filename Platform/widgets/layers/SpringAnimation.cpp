#include "Platform/widgets/layers/SpringAnimation.h"

#include "Platform/widgets/layers/AnimatedValue.h"

#include <cmath>

SpringAnimation::SpringAnimation(const QString& keyPath)
    : BasicAnimation(keyPath)
{
}

std::unique_ptr<Animation> SpringAnimation::clone() const
{
    return std::make_unique<SpringAnimation>(*this);
}

double SpringAnimation::remainingFraction(double time) const
{
    // m x'' + c x' + k x = 0 with x(0) = 1 and x'(0) = -v0.
    const double naturalFrequency = std::sqrt(m_stiffness / m_mass);
    const double dampingRatio = m_damping / (2 * std::sqrt(m_stiffness * m_mass));
    const double v0 = m_initialVelocity;
    if (dampingRatio < 1) {
        const double decay = dampingRatio * naturalFrequency;
        const double frequency = naturalFrequency * std::sqrt(1 - dampingRatio * dampingRatio);
        const double sine = (decay - v0) / frequency;
        return std::exp(-decay * time) * (std::cos(frequency * time) + sine * std::sin(frequency * time));
    }
    if (dampingRatio == 1)
        return (1 + (naturalFrequency - v0) * time) * std::exp(-naturalFrequency * time);
    const double root = naturalFrequency * std::sqrt(dampingRatio * dampingRatio - 1);
    const double slow = -dampingRatio * naturalFrequency + root;
    const double fast = -dampingRatio * naturalFrequency - root;
    const double slowWeight = (-v0 - fast) / (slow - fast);
    return slowWeight * std::exp(slow * time) + (1 - slowWeight) * std::exp(fast * time);
}

QVariant SpringAnimation::interpolate(double elapsed, double, const QVariant& underlying) const
{
    const auto [from, to] = range(underlying);
    return AnimatedValue::interpolate(from, to, 1 - remainingFraction(elapsed));
}

QVariant SpringAnimation::finalValue(const QVariant& underlying) const
{
    return range(underlying).second;
}
