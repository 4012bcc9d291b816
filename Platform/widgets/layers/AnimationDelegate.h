#pragma once

#include <memory>

class Animation;

// Told once when an attached animation stops: finished at the end of its active time, not
// finished when it was replaced or removed first. An animation refers to its delegate weakly:
// a delegate that is destroyed is simply not told.
class AnimationDelegate
{
public:
    AnimationDelegate();
    virtual ~AnimationDelegate();
    AnimationDelegate(const AnimationDelegate&) = delete;
    AnimationDelegate& operator=(const AnimationDelegate&) = delete;

    virtual void animationDidStop(const Animation& animation, bool finished) = 0;

    // What an animation keeps of its delegate: empty once the delegate is gone.
    class Reference
    {
    public:
        Reference() = default;
        AnimationDelegate* get() const { return m_target ? *m_target : nullptr; }

    private:
        explicit Reference(std::shared_ptr<AnimationDelegate*> target)
            : m_target(std::move(target))
        {
        }
        std::shared_ptr<AnimationDelegate*> m_target;
        friend class AnimationDelegate;
    };
    Reference reference() const { return Reference(m_self); }

private:
    std::shared_ptr<AnimationDelegate*> m_self;
};
