#include "Pelorins/card/DeferredSave.h"

DeferredSave::DeferredSave(std::function<void()> save, int intervalMilliseconds, QObject* parent)
    : QObject(parent)
    , m_save(std::move(save))
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(intervalMilliseconds);
    connect(&m_timer, &QTimer::timeout, this, [this] { m_save(); });
}

void DeferredSave::changed()
{
    if (!m_timer.isActive())
        m_timer.start();
}

void DeferredSave::saveNow()
{
    m_timer.stop();
    m_save();
}
