#pragma once

#include <QColor>
#include <QList>

// The board colours in the order of their numbers: a board whose `colour` is i shows colour i.
const QList<QColor>& backgroundColourPalette();
