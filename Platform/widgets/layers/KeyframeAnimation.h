#pragma once

#include "Platform/widgets/layers/Animation.h"

#include <QList>
#include <QVariantList>

// An animation through a list of values at key times (evenly spaced when none are given), in
// straight segments or along a smooth curve shaped by tension, continuity and bias per value
// (a Kochanek–Bartels spline; all zero gives a Catmull–Rom curve).
class KeyframeAnimation : public Animation
{
public:
    enum class CalculationMode { linear, cubic };

    KeyframeAnimation() = default;
    explicit KeyframeAnimation(const QString& keyPath);

    std::unique_ptr<Animation> clone() const override;

    QVariantList values() const { return m_values; }
    void setValues(const QVariantList& values) { m_values = values; }
    // Fractions of the duration, one per value, rising from 0 to 1.
    QList<double> keyTimes() const { return m_keyTimes; }
    void setKeyTimes(const QList<double>& keyTimes) { m_keyTimes = keyTimes; }
    CalculationMode calculationMode() const { return m_calculationMode; }
    void setCalculationMode(CalculationMode mode) { m_calculationMode = mode; }
    void setTensionValues(const QList<double>& values) { m_tension = values; }
    void setContinuityValues(const QList<double>& values) { m_continuity = values; }
    void setBiasValues(const QList<double>& values) { m_bias = values; }

protected:
    QVariant interpolate(double elapsed, double fraction, const QVariant& underlying) const override;

private:
    double keyTime(int index) const;
    // The curve's tangent leaving (outgoing) or entering the value at `index`.
    QVariant tangent(int index, bool outgoing) const;
    double parameter(const QList<double>& list, int index) const;

    QVariantList m_values;
    QList<double> m_keyTimes;
    CalculationMode m_calculationMode = CalculationMode::linear;
    QList<double> m_tension;
    QList<double> m_continuity;
    QList<double> m_bias;
};
