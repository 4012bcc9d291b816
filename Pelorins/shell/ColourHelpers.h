#pragma once

#include <QColor>

// Colour arithmetic for the card views' buttons.

// Each of red, green and blue lowered by 0.2 and floored at 0; alpha unchanged.
QColor darker(const QColor& colour);

// The colour of 0xRRGGBB (only the low 24 bits are read) with `alpha`.
QColor colourWithRGB(int rgb, double alpha);

// 0xRRGGBB of the colour's components, each times 255 and truncated.
int rgbValue(const QColor& colour);
