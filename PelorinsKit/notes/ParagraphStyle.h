#pragma once

#include <QMetaType>
#include <Qt>

// The layout of a paragraph of notes text, carried by the "NSParagraphStyle" attribute.
// Lengths are in pixels; a zero keeps the layout's default (no spacing, no indent, natural
// line height), as an untouched platform paragraph style does.
struct ParagraphStyle
{
    Qt::Alignment alignment = Qt::AlignLeading;
    double paragraphSpacing = 0;       // after the paragraph
    double paragraphSpacingBefore = 0;
    double firstLineHeadIndent = 0;
    double headIndent = 0;
    double tailIndent = 0;             // positive: from the leading margin; negative: from the trailing one
    double minimumLineHeight = 0;
    double maximumLineHeight = 0;
    double lineHeightMultiple = 0;

    friend bool operator==(const ParagraphStyle&, const ParagraphStyle&) = default;
};

Q_DECLARE_METATYPE(ParagraphStyle)
