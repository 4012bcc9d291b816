#pragma once

#include "PelorinsKit/notes/AttributedString.h"

#include <QDebug>
#include <ostream>

// Shows rich text in test failures run by run: the characters, then the attribute names and values.
inline void PrintTo(const AttributedString& text, std::ostream* out)
{
    text.enumerateAttributes(
        TextRange {0, text.length()}, [out, &text](const QVariantMap& attributes, TextRange range) {
            QString line;
            QDebug(&line).nospace() << "\n  " << text.string().mid(range.location, range.length) << " "
                                    << range.location << "+" << range.length << " " << attributes.keys();
            *out << line.toStdString();
        });
}
