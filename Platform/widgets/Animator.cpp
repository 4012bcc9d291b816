#include "Platform/widgets/Animator.h"

#include <QAbstractSlider>
#include <QEasingCurve>
#include <QVariantAnimation>
#include <QWidget>

// A run and the animations it started; its completion waits for the last of them.
struct Animator::Group
{
    int milliseconds = 0;
    int running = 0;
    bool applying = true;
    std::function<void()> completion;
};

Animator::Animator(QObject* parent)
    : QObject(parent)
{
}

Animator::~Animator()
{
    // Completions must not run into a half-destroyed owner.
    for (const auto& group : std::as_const(m_openGroups))
        group->completion = nullptr;
    for (const QPointer<QVariantAnimation>& animation : std::as_const(m_animations)) {
        if (animation) {
            disconnect(animation, nullptr, this, nullptr);
            delete animation.data();
        }
    }
}

void Animator::run(double seconds, const std::function<void()>& apply, std::function<void()> completion)
{
    auto group = std::make_shared<Group>();
    group->milliseconds = m_finishesAtOnce ? 0 : std::max(0, int(seconds * 1000));
    group->completion = std::move(completion);
    m_openGroups.append(group);
    if (apply)
        apply();
    m_openGroups.removeOne(group);
    group->applying = false;
    if (group->running == 0)
        finished(group);
}

void Animator::setGeometry(QWidget* widget, const QRect& geometry)
{
    if (!widget)
        return;
    const QRect from = widget->geometry();
    start(widget, QByteArrayLiteral("geometry"), from, geometry,
        [widget](const QVariant& value) { widget->setGeometry(value.toRect()); });
}

void Animator::setScrollValue(QAbstractSlider* slider, int value)
{
    if (!slider)
        return;
    start(slider, QByteArrayLiteral("value"), slider->value(), value,
        [slider](const QVariant& current) { slider->setValue(current.toInt()); });
}

void Animator::setWindowGeometry(QWidget* window, const QRect& geometry)
{
    if (!window)
        return;
    start(window, QByteArrayLiteral("windowGeometry"), window->geometry(), geometry,
        [window](const QVariant& value) { window->setGeometry(value.toRect()); });
}

void Animator::setValue(QObject* owner, const QByteArray& key, double from, double to, std::function<void(double)> set)
{
    start(owner, key, from, to, [set = std::move(set)](const QVariant& value) { set(value.toDouble()); });
}

bool Animator::animatesNow() const
{
    return !m_openGroups.isEmpty() && m_openGroups.last()->milliseconds > 0;
}

void Animator::stop(const Key& key)
{
    if (QPointer<QVariantAnimation> animation = m_animations.take(key))
        animation->stop();
}

void Animator::start(QObject* owner, const QByteArray& property, const QVariant& from, const QVariant& to,
    std::function<void(const QVariant&)> set)
{
    const Key key {owner, property};
    stop(key);
    if (!animatesNow() || from == to) {
        set(to);
        return;
    }
    const std::shared_ptr<Group> group = m_openGroups.last();
    auto* animation = new QVariantAnimation(this);
    animation->setDuration(group->milliseconds);
    animation->setEasingCurve(QEasingCurve::InOutQuad);
    animation->setStartValue(from);
    animation->setEndValue(to);
    QPointer<QObject> guard(owner);
    connect(animation, &QVariantAnimation::valueChanged, this, [guard, set](const QVariant& value) {
        if (guard)
            set(value);
    });
    // Whether it arrives or is taken over, the run stops waiting for it.
    connect(animation, &QAbstractAnimation::stateChanged, this,
        [this, animation, key, group](QAbstractAnimation::State state) {
            if (state != QAbstractAnimation::Stopped)
                return;
            if (m_animations.value(key) == animation)
                m_animations.remove(key);
            animation->deleteLater();
            if (--group->running == 0 && !group->applying)
                finished(group);
        });
    connect(owner, &QObject::destroyed, animation, &QAbstractAnimation::stop);
    m_animations.insert(key, animation);
    ++group->running;
    animation->start();
}

void Animator::finished(const std::shared_ptr<Group>& group)
{
    if (auto completion = std::exchange(group->completion, nullptr))
        completion();
}
