#pragma once

#include <QColor>
#include <QFont>
#include <QList>
#include <QStringList>
#include <QVariantMap>

// The shared vocabulary of notes text: the attribute sets that style a whole line, the typing
// colour, the note-style keys that a restyle removes, and the colours of hash tags.

// The platform's general font at a size in pixels.
QFont systemFontOfSize(int pixelSize, QFont::Weight weight);

// The text colour of every note style: the application palette's text colour when the
// program first asks for it.
const QColor& normalTypingColour();

// Each call builds a new set, so a caller may change its copy freely.
QVariantMap titleAttributes();
QVariantMap headerAttributes();
QVariantMap normalAttributes();
// An unticked checklist line; checklist lines carry no note style name.
QVariantMap checkListAttributes();

// Font, foreground colour, paragraph style, note style name and checklist state: exactly the
// keys the four sets may carry.
const QStringList& knownAttributeNames();

// Red, orange, yellow, green, blue, purple, grey: entry i colours a tag of colour number i.
const QList<QColor>& tagColourPalette();
