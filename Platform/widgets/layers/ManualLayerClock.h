#pragma once

#include "Platform/widgets/layers/LayerClock.h"

// A clock that moves only when told, for tests. It starts at 1,000 s, well away from zero, as
// the program's clock does.
class ManualLayerClock : public LayerClock
{
    Q_OBJECT
public:
    static constexpr double startTime = 1000;

    explicit ManualLayerClock(QObject* parent = nullptr);

    double currentMediaTime() const override { return m_now; }
    // Moves the time on and ticks once, delivering whatever came due.
    void advanceTo(double mediaTime);
    void advanceBy(double seconds);

private:
    double m_now = startTime;
};
