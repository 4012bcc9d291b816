#include "Platform/widgets/layers/LayerClock.h"

#include "Platform/widgets/layers/Layer.h"

#include <algorithm>

LayerClock::~LayerClock()
{
    for (const std::weak_ptr<Layer>& entry : m_roots) {
        const std::shared_ptr<Layer> root = entry.lock();
        if (root && root->clock() == this)
            root->setClock(nullptr);
    }
}

void LayerClock::attach(const std::shared_ptr<Layer>& root)
{
    const bool known = std::any_of(
        m_roots.begin(), m_roots.end(), [&root](const std::weak_ptr<Layer>& entry) { return entry.lock() == root; });
    if (!known)
        m_roots.push_back(root);
    setNeedsTick();
}

void LayerClock::setNeedsTick()
{
    m_tickNeeded = true;
    startTicking();
}

void LayerClock::startTicking() { }

bool LayerClock::deliverDueStops()
{
    const double now = currentMediaTime();
    m_tickNeeded = false;
    std::vector<LayerStop> stops;
    bool running = false;
    // Trees that are gone, moved below another or given another clock are dropped here.
    m_roots.erase(std::remove_if(m_roots.begin(), m_roots.end(),
                      [this](const std::weak_ptr<Layer>& entry) {
                          const std::shared_ptr<Layer> root = entry.lock();
                          return !root || root->superlayer() || root->clock() != this;
                      }),
        m_roots.end());
    const std::vector<std::weak_ptr<Layer>> roots = m_roots;
    for (const std::weak_ptr<Layer>& entry : roots) {
        if (const std::shared_ptr<Layer> root = entry.lock())
            root->collectStops(now, now, stops, running);
    }
    std::stable_sort(
        stops.begin(), stops.end(), [](const LayerStop& a, const LayerStop& b) { return a.mediaTime < b.mediaTime; });
    for (const LayerStop& stop : stops) {
        const std::shared_ptr<Layer> layer = stop.layer.lock();
        if (!layer || *stop.reported)
            continue;
        *stop.reported = true;
        if (stop.finished)
            layer->removeFinished(stop.reported);
        if (AnimationDelegate* delegate = stop.animation->delegate())
            delegate->animationDidStop(*stop.animation, stop.finished);
    }
    return running || m_tickNeeded;
}

bool LayerClock::tick()
{
    const bool running = deliverDueStops();
    emit ticked();
    return running;
}
