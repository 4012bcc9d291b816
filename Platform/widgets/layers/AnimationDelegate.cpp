#include "Platform/widgets/layers/AnimationDelegate.h"

AnimationDelegate::AnimationDelegate()
    : m_self(std::make_shared<AnimationDelegate*>(this))
{
}

AnimationDelegate::~AnimationDelegate()
{
    *m_self = nullptr;
}
