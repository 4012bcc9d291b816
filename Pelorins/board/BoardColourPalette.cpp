#include "Pelorins/board/BoardColourPalette.h"

const QList<QColor>& boardColourPalette()
{
    static const QList<QColor> palette {QColor(200, 91, 108), QColor(254, 117, 104), QColor(252, 202, 108),
        QColor(109, 203, 79), QColor(84, 143, 204), QColor(49, 91, 138)};
    return palette;
}

QColor boardColour(int colour)
{
    const QList<QColor>& palette = boardColourPalette();
    return palette.at(colour >= 0 && colour < palette.size() ? colour : 0);
}
