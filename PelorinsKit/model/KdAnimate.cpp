#include "KdAnimate.h"

void kdAnimate(
    double /*duration*/, const std::function<void()>& animations, const std::function<void(bool)>& completion)
{
    animations();
    if (completion)
        completion(true);
}
