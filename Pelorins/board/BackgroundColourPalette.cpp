#include "Pelorins/board/BackgroundColourPalette.h"

const QList<QColor>& backgroundColourPalette()
{
    static const QList<QColor> palette {QColor(200, 91, 108), QColor(254, 117, 104), QColor(252, 202, 108),
        QColor(109, 203, 79), QColor(84, 143, 204), QColor(49, 91, 138)};
    return palette;
}
