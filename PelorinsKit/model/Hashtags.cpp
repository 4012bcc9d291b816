#include "PelorinsKit/model/Hashtags.h"

#include "PelorinsKit/notes/AttributeKey.h"
#include "PelorinsKit/notes/NoteStyleName.h"
#include "PelorinsKit/notes/NoteTextConventions.h"

namespace {

// The colour of a tag that names no tag of the board: a plain half grey, not the palette's grey.
const QColor unknownTagColour(128, 128, 128);

} // namespace

// Word characters as the platform's expressions know them, so "#café" and "#日本" are whole tags.
const QRegularExpression& hashtagExpression()
{
    static const QRegularExpression expression(
        QStringLiteral("(#|＃|﹟)([\\p{L}\\p{M}\\p{Nd}\\p{Pc}\\x{200C}\\x{200D}]*)"),
        QRegularExpression::UseUnicodePropertiesOption);
    return expression;
}

QList<QRegularExpressionMatch> identifyTags(const QString& text)
{
    QList<QRegularExpressionMatch> matches;
    for (QRegularExpressionMatchIterator it = hashtagExpression().globalMatch(text); it.hasNext();)
        matches.append(it.next());
    return matches;
}

QString tagName(const QRegularExpressionMatch& match)
{
    // The word after the sign holds neither a sign nor a full stop: it is the name as it stands.
    // Tags are named on every keystroke, and many times over in a long note.
    return match.captured(2);
}

bool isTagName(const QString& name)
{
    if (name.isEmpty())
        return false;
    const QRegularExpressionMatch match = hashtagExpression().match(QLatin1Char('#') + name);
    return match.hasMatch() && match.capturedLength(0) == name.size() + 1;
}

int renameHashtags(AttributedString& text, const QString& from, const QString& to)
{
    // Most notes never name the tag; the plain search spares them the expression.
    if (!text.string().contains(from))
        return 0;
    const QList<QRegularExpressionMatch> matches = identifyTags(text.string());
    int renamed = 0;
    // From the end, so that the places of the earlier tags still hold.
    for (auto match = matches.crbegin(); match != matches.crend(); ++match) {
        if (match->captured(2) != from)
            continue;
        text.replaceCharacters(TextRange {int(match->capturedStart(2)), int(match->capturedLength(2))}, to);
        ++renamed;
    }
    return renamed;
}

QColor tagColour(int colourNumber)
{
    if (colourNumber >= 0 && colourNumber < tagColourPalette().size())
        return tagColourPalette().at(colourNumber);
    return unknownTagColour;
}

QVariantMap hashtagAttributes(const QString& name, const TagColourLookup& colourOfTag, const QVariant& lineStyleName)
{
    const std::optional<int> colourNumber = colourOfTag(name);
    QVariantMap attributes {
        {AttributeKey::foregroundColor, colourNumber ? tagColour(*colourNumber) : unknownTagColour}};
    // A tag in a title or header keeps the line's font; elsewhere it stands out in bold.
    if (lineStyleName.typeId() != QMetaType::QString || lineStyleName.toString() == rawValue(NoteStyleName::body))
        attributes.insert(AttributeKey::font, systemFontOfSize(12, QFont::Bold));
    return attributes;
}

void styleTags(AttributedString& text, const TagColourLookup& colourOfTag)
{
    const QList<QRegularExpressionMatch> matches = identifyTags(text.string());
    for (const QRegularExpressionMatch& match : matches) {
        const TextRange range {int(match.capturedStart(0)), int(match.capturedLength(0))};
        text.addAttributes(hashtagAttributes(tagName(match), colourOfTag,
                               text.attribute(AttributeKey::noteStyleName, range.location)),
            range);
    }
}
