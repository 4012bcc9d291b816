#pragma once

#include "Platform/widgets/layers/AnimationDelegate.h"
#include "Platform/widgets/layers/TimingFunction.h"

#include <QString>
#include <QVariant>
#include <QVariantMap>
#include <memory>
#include <optional>

// A change of one layer property over time. Attaching it to a layer attaches a copy; the layer's
// model value never changes, only what it presents. Times are in the layer's own time space.
//
// Key paths: "opacity", "position", "position.x", "position.y", and "transform.scale" or
// "transform.scale.xy", which both set one uniform scale that keeps the model's rotation.
class Animation
{
public:
    // What shows outside the active time: before it (backwards), after it (forwards), both or
    // neither (removed).
    enum class FillMode { removed, forwards, backwards, both };

    virtual ~Animation();
    virtual std::unique_ptr<Animation> clone() const = 0;

    QString keyPath() const { return m_keyPath; }
    void setKeyPath(const QString& keyPath) { m_keyPath = keyPath; }
    // 0 when attached means "now".
    double beginTime() const { return m_beginTime; }
    void setBeginTime(double beginTime) { m_beginTime = beginTime; }
    double duration() const { return m_duration; }
    void setDuration(double duration) { m_duration = duration; }
    // The rate of the animation's own time against its layer's; positive.
    double speed() const { return m_speed; }
    void setSpeed(double speed) { m_speed = speed; }
    FillMode fillMode() const { return m_fillMode; }
    void setFillMode(FillMode fillMode) { m_fillMode = fillMode; }
    bool isRemovedOnCompletion() const { return m_removedOnCompletion; }
    void setRemovedOnCompletion(bool removed) { m_removedOnCompletion = removed; }
    const TimingFunction& timingFunction() const { return m_timingFunction; }
    void setTimingFunction(const TimingFunction& function) { m_timingFunction = function; }
    AnimationDelegate* delegate() const { return m_delegate.get(); }
    void setDelegate(AnimationDelegate* delegate)
    {
        m_delegate = delegate ? delegate->reference() : AnimationDelegate::Reference();
    }

    // Values kept by key for whoever reads the animation back, such as its delegate.
    QVariant value(const QString& key) const { return m_values.value(key); }
    void setValue(const QString& key, const QVariant& value) { m_values.insert(key, value); }

    // The layer time at which the active time ends.
    double endTime() const { return m_beginTime + m_duration / m_speed; }
    bool isActiveAt(double layerTime) const { return layerTime >= m_beginTime && layerTime < endTime(); }
    // What the animation presents at `layerTime` over `underlying`, the value beneath it; nothing
    // when it has no effect then.
    std::optional<QVariant> valueAt(double layerTime, const QVariant& underlying) const;

protected:
    Animation() = default;
    Animation(const Animation&) = default;
    Animation& operator=(const Animation&) = default;

    // The value `elapsed` seconds into the animation's own time, `fraction` being the paced
    // part of its duration.
    virtual QVariant interpolate(double elapsed, double fraction, const QVariant& underlying) const = 0;
    // What the animation holds after its end.
    virtual QVariant finalValue(const QVariant& underlying) const;

private:
    QString m_keyPath;
    double m_beginTime = 0;
    double m_duration = 0.25;
    double m_speed = 1;
    FillMode m_fillMode = FillMode::removed;
    bool m_removedOnCompletion = true;
    TimingFunction m_timingFunction = TimingFunction::linear();
    AnimationDelegate::Reference m_delegate;
    QVariantMap m_values;
};
