#pragma once

#include <QObject>
#include <memory>
#include <vector>

class Layer;

// The time layer trees run on, in seconds. Stops are delivered from the clock, never from
// painting: on each tick every stop due by then is collected first, across all attached trees,
// ordered by stop time, and only then delivered, so that a delegate may add and remove animations
// and replace whole trees. A destroyed layer delivers nothing.
class LayerClock : public QObject
{
    Q_OBJECT
public:
    ~LayerClock() override;

    virtual double currentMediaTime() const = 0;

    // Runs `root`'s tree on this clock from now on, until the layer goes or is attached below another.
    void attach(const std::shared_ptr<Layer>& root);
    // Delivers every stop due by now; true while an attached animation has yet to end, or when
    // a delegate attached something while hearing of its stop.
    bool deliverDueStops();
    // Something was attached that may need ticks.
    void setNeedsTick();

signals:
    // After a tick's stops: the time to show has moved on.
    void ticked();

protected:
    LayerClock() = default;
    // Delivers the due stops, then tells the hosts; true while anything is still to come.
    bool tick();
    // Ticks are needed from now on.
    virtual void startTicking();

private:
    std::vector<std::weak_ptr<Layer>> m_roots;
    bool m_tickNeeded = false;
};
