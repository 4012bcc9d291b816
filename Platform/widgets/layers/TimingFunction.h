#pragma once

// The pace of an animation: maps the elapsed fraction of its duration (0 to 1) to the fraction
// of its change. A cubic Bézier from (0, 0) to (1, 1) through two control points.
class TimingFunction
{
public:
    static TimingFunction linear();
    // Slow at both ends: the control points (0.42, 0) and (0.58, 1).
    static TimingFunction easeInEaseOut();

    TimingFunction(double x1, double y1, double x2, double y2);

    double valueAt(double fraction) const;
    bool isLinear() const { return m_linear; }

private:
    double m_x1;
    double m_y1;
    double m_x2;
    double m_y2;
    bool m_linear;
};
