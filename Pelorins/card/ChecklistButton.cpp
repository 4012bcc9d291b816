#include "Pelorins/card/ChecklistButton.h"

ChecklistButton::ChecklistButton(QWidget* parent, int width)
    : AnimatedCheckButton(Design {.cornerRadius = 5,
                              .tickPosition = {3, 4},
                              .tickLineWidth = 1.5,
                              .animationMilliseconds = 150,
                              .pressPreviewsTick = false,
                              .springsOn = false,
                              .tellsAtOnceWhenOn = false,
                              .delayAfterStrokeMilliseconds = 0,
                              .reappliesColoursAfterStroke = true},
        width, parent)
{
    // Read as the check box it looks like, ticked with its line.
    setCheckable(true);
}
