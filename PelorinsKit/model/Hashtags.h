#pragma once

#include "PelorinsKit/notes/AttributedString.h"

#include <QColor>
#include <QList>
#include <QRegularExpression>
#include <QRegularExpressionMatch>
#include <functional>
#include <optional>

// Hash tags in notes: a tag sign ("#", "＃" or "﹟") followed by the word characters of any
// script, possibly none.
const QRegularExpression& hashtagExpression();

// The hash tags of the text, in text order.
QList<QRegularExpressionMatch> identifyTags(const QString& text);

// The name a hash tag (a match of hashtagExpression()) refers to: its text without tag signs and
// full stops.
QString tagName(const QRegularExpressionMatch& match);

// Whether `name` is exactly the name of one hash tag: not empty, word characters only.
bool isTagName(const QString& name);

// Gives every hash tag named exactly `from` the name `to`, each keeping the sign it is written
// with; tags that only begin with `from` ("#homework" for "home") keep theirs. Answers how many
// tags were renamed.
int renameHashtags(AttributedString& text, const QString& from, const QString& to);

// The palette colour of a tag's colour number; plain grey outside the palette.
QColor tagColour(int colourNumber);

// Answers the colour number of the tag named exactly so, or none when no such tag exists.
using TagColourLookup = std::function<std::optional<int>(const QString& name)>;

// Colours every hash tag with its tag's colour (plain grey when there is no such tag), and makes it bold unless it sits
// in a title or header line. Text outside the tags is left alone.
void styleTags(AttributedString& text, const TagColourLookup& colourOfTag);

// The attributes styling gives a hash tag of that name on a line of that note style name.
QVariantMap hashtagAttributes(const QString& name, const TagColourLookup& colourOfTag, const QVariant& lineStyleName);

// The same with the board's tags (anything with name() and colour()); the first tag of the
// name counts.
template <typename TagPointer> void styleTags(AttributedString& text, const QList<TagPointer>& existingTags)
{
    styleTags(text, [&existingTags](const QString& name) -> std::optional<int> {
        for (const TagPointer& tag : existingTags) {
            if (tag->name() == name)
                return int(tag->colour());
        }
        return std::nullopt;
    });
}
