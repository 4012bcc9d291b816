#pragma once

#include <QColor>
#include <QList>

// The board colours in the order of their numbers: a board whose `colour` is i shows colour i.
const QList<QColor>& boardColourPalette();

// The colour a board of that number shows: a number outside the palette, which an archive can
// bring, shows the first colour.
QColor boardColour(int colour);
