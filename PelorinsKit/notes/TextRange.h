#pragma once

#include <QMetaType>

// A span of text in UTF-16 code units, as text positions are counted everywhere in notes.
struct TextRange
{
    int location = 0;
    int length = 0;

    int end() const { return location + length; }
    bool contains(int index) const { return index >= location && index < end(); }

    friend bool operator==(const TextRange&, const TextRange&) = default;
};

Q_DECLARE_METATYPE(TextRange)
