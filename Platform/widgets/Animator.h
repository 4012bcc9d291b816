#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <functional>
#include <memory>

class QAbstractSlider;
class QVariantAnimation;
class QWidget;

// Moves widgets, scroll positions and windows smoothly. Changes made through the animator inside
// `run` travel from where things are to where `apply` put them over the run's duration; the same
// calls outside a run take effect at once. A new change to something that is still moving takes
// over from where it is.
//
// The completion of a run follows once everything it moved has arrived, so that a second phase
// can start where the first one ended. In test mode, and for a run of no duration or that moves
// nothing, the changes land and the completion runs before `run` returns.
class Animator : public QObject
{
    Q_OBJECT
public:
    explicit Animator(QObject* parent = nullptr);
    ~Animator() override;

    void run(double seconds, const std::function<void()>& apply, std::function<void()> completion = {});

    void setGeometry(QWidget* widget, const QRect& geometry);
    void setScrollValue(QAbstractSlider* slider, int value);
    // A top-level window's frame, as QWidget::setGeometry takes it.
    void setWindowGeometry(QWidget* window, const QRect& geometry);
    // Any other number: `set` is called with the values in between; `key` names what moves, so
    // that a later change to the same thing of `owner` takes over.
    void setValue(QObject* owner, const QByteArray& key, double from, double to, std::function<void(double)> set);

    // Test mode: every run lands at once.
    void setFinishesAtOnce(bool finishesAtOnce) { m_finishesAtOnce = finishesAtOnce; }
    bool finishesAtOnce() const { return m_finishesAtOnce; }
    bool isAnimating() const { return !m_animations.isEmpty(); }

private:
    struct Group;
    struct Key
    {
        const QObject* owner;
        QByteArray property;
        friend bool operator==(const Key&, const Key&) = default;
        friend size_t qHash(const Key& key, size_t seed = 0) { return qHashMulti(seed, key.owner, key.property); }
    };

    bool animatesNow() const;
    void stop(const Key& key);
    void start(QObject* owner, const QByteArray& property, const QVariant& from, const QVariant& to,
        std::function<void(const QVariant&)> set);
    void finished(const std::shared_ptr<Group>& group);

    bool m_finishesAtOnce = false;
    QList<std::shared_ptr<Group>> m_openGroups;
    QHash<Key, QPointer<QVariantAnimation>> m_animations;
};
