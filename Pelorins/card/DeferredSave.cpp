#include "Pelorins/card/DeferredSave.h"

#include <algorithm>

DeferredSave::DeferredSave(
    std::function<void()> save, int pauseMilliseconds, int longestWaitMilliseconds, QObject* parent)
    : QObject(parent)
    , m_save(std::move(save))
{
    for (QTimer* timer : {&m_pause, &m_longestWait}) {
        timer->setSingleShot(true);
        timer->setTimerType(Qt::PreciseTimer);
        connect(timer, &QTimer::timeout, this, &DeferredSave::saveNow);
    }
    m_pause.setInterval(pauseMilliseconds);
    m_longestWait.setInterval(longestWaitMilliseconds);
}

void DeferredSave::changed()
{
    m_pause.start();
    if (!m_longestWait.isActive())
        m_longestWait.start();
}

void DeferredSave::saveNow()
{
    cancel();
    m_save();
}

void DeferredSave::cancel()
{
    m_pause.stop();
    m_longestWait.stop();
}

int DeferredSave::remainingMilliseconds() const
{
    if (!isPending())
        return -1;
    return std::min(m_pause.remainingTime(), m_longestWait.remainingTime());
}
