#pragma once

#include <functional>

// Runs `animations` as one animation group of `duration` seconds, then calls `completion` (when
// given) once with true. The framework has no animation context of its own: the changes take
// effect at once and the group completes as soon as they have run.
void kdAnimate(
    double duration, const std::function<void()>& animations, const std::function<void(bool)>& completion = nullptr);
