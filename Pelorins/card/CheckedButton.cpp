#include "Pelorins/card/CheckedButton.h"

CheckedButton::CheckedButton(QWidget* parent, int width)
    : AnimatedCheckButton(Design {.cornerRadius = -1,
                              .tickPosition = {3, 5},
                              .tickLineWidth = 2.0,
                              .animationMilliseconds = 300,
                              .pressPreviewsTick = true,
                              .springsOn = true,
                              .tellsAtOnceWhenOn = true,
                              .delayAfterStrokeMilliseconds = 700,
                              .reappliesColoursAfterStroke = false},
        width, parent)
{
}
