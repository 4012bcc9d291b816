#pragma once

#include "PelorinsKit/notes/AttributedString.h"

// How far down heightToFit lays text out: the most of its notes a card shows.
inline constexpr qreal heightToFitContainer = 2000;

// The height the text needs when laid out at `width`, with 10 pixels of padding on each side:
// the laid-out height plus 10, never less than 30. Layout stops at 2000 pixels, so the answer is
// at most 2010, and only the text that shows is laid out. Pictures scale down to fit the width; link cards take their fixed size.
qreal heightToFit(const AttributedString& text, qreal width);

// The same measure without the 2000-pixel stop: the whole text, however long, as printing needs.
qreal fullHeightToFit(const AttributedString& text, qreal width);
