#include "Platform/widgets/layers/ManualLayerClock.h"

ManualLayerClock::ManualLayerClock(QObject* parent)
{
    setParent(parent);
}

void ManualLayerClock::advanceTo(double mediaTime)
{
    m_now = mediaTime;
    tick();
}

void ManualLayerClock::advanceBy(double seconds)
{
    advanceTo(m_now + seconds);
}
