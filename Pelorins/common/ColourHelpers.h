#pragma once

#include <QColor>

// Colour arithmetic for the card views' buttons.

// Each of red, green and blue lowered by 0.2 and floored at 0; alpha unchanged.
QColor darker(const QColor& colour);

// The colour of 0xRRGGBB (only the low 24 bits are read) with `alpha`.
QColor colourWithRGB(int rgb, double alpha);

// 0xRRGGBB of the colour's components, each times 255 and truncated.
int rgbValue(const QColor& colour);

// Contrast of two opaque colours by their relative luminance, from 1 (alike) to 21 (black on
// white), as accessibility guidelines measure it.
double contrastRatio(const QColor& first, const QColor& second);

// `over` seen through `colour`'s transparency: an opaque colour.
QColor composited(const QColor& colour, const QColor& over);

// What text or a mark in `colour` is drawn in on the opaque `background` so that it stands out
// by at least 3:1: the colour itself when it does, else darkened on a light background and
// lightened on a dark one, keeping its hue.
QColor readableOn(const QColor& colour, const QColor& background);
