#pragma once

#include "Platform/widgets/layers/LayerClock.h"

#include <QTimer>

// The clock of the running program: monotonic seconds since the machine started, ticking at
// 60 Hz only while an animation is running or waiting to begin.
class SteadyLayerClock : public LayerClock
{
    Q_OBJECT
public:
    explicit SteadyLayerClock(QObject* parent = nullptr);

    double currentMediaTime() const override;
    bool isTicking() const { return m_timer.isActive(); }

protected:
    void startTicking() override;

private:
    QTimer m_timer;
};
