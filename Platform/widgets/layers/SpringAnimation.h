#pragma once

#include "Platform/widgets/layers/BasicAnimation.h"

// A damped spring from one value to another. Its own time runs in seconds of the spring, not
// as a fraction of the duration, and no timing function applies. The duration only cuts it:
// from its end on it holds its target, settled or not.
class SpringAnimation : public BasicAnimation
{
public:
    SpringAnimation() = default;
    explicit SpringAnimation(const QString& keyPath);

    std::unique_ptr<Animation> clone() const override;

    double mass() const { return m_mass; }
    void setMass(double mass) { m_mass = mass; }
    double stiffness() const { return m_stiffness; }
    void setStiffness(double stiffness) { m_stiffness = stiffness; }
    double damping() const { return m_damping; }
    void setDamping(double damping) { m_damping = damping; }
    // Towards the target, in the distance from start to target per second.
    double initialVelocity() const { return m_initialVelocity; }
    void setInitialVelocity(double velocity) { m_initialVelocity = velocity; }

    // How much of the distance is still to go `time` seconds in: 1 at the start, 0 at rest.
    double remainingFraction(double time) const;

protected:
    QVariant interpolate(double elapsed, double fraction, const QVariant& underlying) const override;
    QVariant finalValue(const QVariant& underlying) const override;

private:
    double m_mass = 1;
    double m_stiffness = 100;
    double m_damping = 10;
    double m_initialVelocity = 0;
};
