#include "Platform/widgets/layers/SteadyLayerClock.h"

#include <chrono>

SteadyLayerClock::SteadyLayerClock(QObject* parent)
{
    setParent(parent);
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(1000 / 60);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        if (!tick())
            m_timer.stop();
    });
}

double SteadyLayerClock::currentMediaTime() const
{
    const auto sinceStart = std::chrono::steady_clock::now().time_since_epoch();
    return std::chrono::duration<double>(sinceStart).count();
}

void SteadyLayerClock::startTicking()
{
    if (!m_timer.isActive())
        m_timer.start();
}
