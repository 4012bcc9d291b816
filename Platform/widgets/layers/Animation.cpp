#include "Platform/widgets/layers/Animation.h"

Animation::~Animation() = default;

std::optional<QVariant> Animation::valueAt(double layerTime, const QVariant& underlying) const
{
    if (layerTime < m_beginTime) {
        if (m_fillMode == FillMode::backwards || m_fillMode == FillMode::both)
            return interpolate(0, m_timingFunction.valueAt(0), underlying);
        return std::nullopt;
    }
    if (layerTime >= endTime()) {
        if (!m_removedOnCompletion && (m_fillMode == FillMode::forwards || m_fillMode == FillMode::both))
            return finalValue(underlying);
        return std::nullopt;
    }
    const double elapsed = (layerTime - m_beginTime) * m_speed;
    const double fraction = m_duration > 0 ? elapsed / m_duration : 1;
    return interpolate(elapsed, m_timingFunction.valueAt(fraction), underlying);
}

QVariant Animation::finalValue(const QVariant& underlying) const
{
    return interpolate(m_duration, m_timingFunction.valueAt(1), underlying);
}
