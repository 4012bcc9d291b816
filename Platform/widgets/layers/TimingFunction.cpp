#include "Platform/widgets/layers/TimingFunction.h"

#include <algorithm>
#include <cmath>

namespace {

// One coordinate of the curve at parameter t, with its end points at 0 and 1.
double bezier(double t, double p1, double p2)
{
    const double u = 1 - t;
    return 3 * u * u * t * p1 + 3 * u * t * t * p2 + t * t * t;
}

double bezierSlope(double t, double p1, double p2)
{
    const double u = 1 - t;
    return 3 * u * u * p1 + 6 * u * t * (p2 - p1) + 3 * t * t * (1 - p2);
}

} // namespace

TimingFunction TimingFunction::linear()
{
    return TimingFunction(0, 0, 1, 1);
}

TimingFunction TimingFunction::easeInEaseOut()
{
    return TimingFunction(0.42, 0, 0.58, 1);
}

TimingFunction::TimingFunction(double x1, double y1, double x2, double y2)
    : m_x1(x1)
    , m_y1(y1)
    , m_x2(x2)
    , m_y2(y2)
    , m_linear(x1 == y1 && x2 == y2)
{
}

double TimingFunction::valueAt(double fraction) const
{
    const double x = std::clamp(fraction, 0.0, 1.0);
    if (m_linear)
        return x;
    // Newton's method from a good first guess, then bisection where the slope gives out.
    double t = x;
    for (int i = 0; i < 8; ++i) {
        const double error = bezier(t, m_x1, m_x2) - x;
        if (std::abs(error) < 1e-9)
            return bezier(t, m_y1, m_y2);
        const double slope = bezierSlope(t, m_x1, m_x2);
        if (std::abs(slope) < 1e-6)
            break;
        t = std::clamp(t - error / slope, 0.0, 1.0);
    }
    double low = 0;
    double high = 1;
    t = x;
    for (int i = 0; i < 60 && high - low > 1e-12; ++i) {
        if (bezier(t, m_x1, m_x2) < x)
            low = t;
        else
            high = t;
        t = (low + high) / 2;
    }
    return bezier(t, m_y1, m_y2);
}
