#pragma once

#include <QString>

// What a row of a list or tree gets of a text: enough to fill the widest row, never the whole of
// a text of any length, which the row would lay out on every paint only to elide it.
class RowText
{
public:
    // More than a row as wide as a screen shows.
    static constexpr qsizetype maximumLength = 1000;

    // The text, cut after `maximumLength` characters and ended with an ellipsis when longer.
    static QString elided(const QString& text);
};
