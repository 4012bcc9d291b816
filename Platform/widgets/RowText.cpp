#include "Platform/widgets/RowText.h"

QString RowText::elided(const QString& text)
{
    if (text.size() <= maximumLength)
        return text;
    qsizetype end = maximumLength;
    // Never half of a character outside the basic plane.
    if (text.at(end - 1).isHighSurrogate())
        --end;
    return text.left(end) + QChar(0x2026);
}
