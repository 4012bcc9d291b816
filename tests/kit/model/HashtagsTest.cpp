#include "PelorinsKit/notes/AttributeKey.h"
#include "PelorinsKit/model/Hashtags.h"
#include "PelorinsKit/notes/NoteTextConventions.h"

#include <QColor>
#include <QFont>
#include <gtest/gtest.h>

namespace {

// Stands in for the board's tags: a name and a colour number.
struct FakeTag
{
    QString tagName;
    qint16 colourNumber;

    QString name() const { return tagName; }
    qint16 colour() const { return colourNumber; }
};

QStringList matchedTexts(const QString& text)
{
    QStringList texts;
    for (const QRegularExpressionMatch& match : identifyTags(text))
        texts.append(match.captured(0));
    return texts;
}

QColor colourAt(const AttributedString& text, int index)
{
    return text.attribute(AttributeKey::foregroundColor, index).value<QColor>();
}

QFont fontAt(const AttributedString& text, int index)
{
    return text.attribute(AttributeKey::font, index).value<QFont>();
}

const QColor plainGrey(128, 128, 128);

} // namespace

TEST(Hashtags, TagsAreFoundInTextOrderWithTheirWordCharacters)
{
    const QList<QPair<QString, QStringList>> cases{
        {QStringLiteral("Buy milk #home and #work.\nCall #home"),
         {QStringLiteral("#home"), QStringLiteral("#work"), QStringLiteral("#home")}},
        {QStringLiteral("#a ＃a ﹟b"), {QStringLiteral("#a"), QStringLiteral("＃a"), QStringLiteral("﹟b")}},
        {QStringLiteral("# alone"), {QStringLiteral("#")}},
        {QStringLiteral("##x"), {QStringLiteral("#"), QStringLiteral("#x")}},
        {QStringLiteral("#café #日本 #Ελλάδα #snake_case #a1-b"),
         {QStringLiteral("#café"), QStringLiteral("#日本"), QStringLiteral("#Ελλάδα"), QStringLiteral("#snake_case"),
          QStringLiteral("#a1")}},
        // a combining accent belongs to its letter
        {QStringLiteral("#cafe\u0301!"), {QStringLiteral("#cafe\u0301")}},
        {QStringLiteral("no tags here"), {}},
        {QString(), {}},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(matchedTexts(text), expected) << text.toStdString();
}

TEST(Hashtags, MatchRangesCountUtf16Units)
{
    const QList<QRegularExpressionMatch> matches = identifyTags(QStringLiteral("😀 #𝒳y"));
    ASSERT_EQ(matches.size(), 1);
    EXPECT_EQ(matches.first().capturedStart(0), 3);
    EXPECT_EQ(matches.first().capturedLength(0), 4);
}

TEST(Hashtags, TheTagNameDropsTagSigns)
{
    const QList<QRegularExpressionMatch> matches = identifyTags(QStringLiteral("#home ＃home ﹟home # 🙂"));
    ASSERT_EQ(matches.size(), 4);
    EXPECT_EQ(tagName(matches.at(0)), QStringLiteral("home"));
    EXPECT_EQ(tagName(matches.at(1)), QStringLiteral("home"));
    EXPECT_EQ(tagName(matches.at(2)), QStringLiteral("home"));
    EXPECT_EQ(tagName(matches.at(3)), QString());
}

TEST(Hashtags, TagsTakeThePaletteColourOfTheirBoardTag)
{
    const QList<const FakeTag*> tags{new FakeTag{QStringLiteral("home"), 1}, new FakeTag{QStringLiteral("home"), 3},
                                     new FakeTag{QStringLiteral("grey"), 6}, new FakeTag{QStringLiteral("high"), 7},
                                     new FakeTag{QStringLiteral("low"), -1}};
    AttributedString text(QStringLiteral("#home ﹟home #Home #grey #high #low #none"), normalAttributes());
    styleTags(text, tags);
    EXPECT_EQ(colourAt(text, 0), tagColourPalette().at(1)); // the first tag of the name counts
    EXPECT_EQ(colourAt(text, 6), tagColourPalette().at(1));
    EXPECT_EQ(colourAt(text, 12), plainGrey); // names compare case-sensitively
    EXPECT_EQ(colourAt(text, 18), tagColourPalette().at(6));
    EXPECT_EQ(colourAt(text, 24), plainGrey);
    EXPECT_EQ(colourAt(text, 30), plainGrey);
    EXPECT_EQ(colourAt(text, 35), plainGrey);
    EXPECT_EQ(colourAt(text, 5), normalTypingColour()); // text between tags is untouched
    EXPECT_EQ(fontAt(text, 5), normalAttributes().value(AttributeKey::font).value<QFont>());
    qDeleteAll(tags);
}

TEST(Hashtags, TagsInTitlesAndHeadersKeepTheLineFont)
{
    struct Case
    {
        const char* line;
        QVariantMap attributes;
        QFont expected;
    };
    const QFont boldBody = systemFontOfSize(12, QFont::Bold);
    QVariantMap numberStyle = normalAttributes();
    numberStyle.insert(AttributeKey::noteStyleName, 3);
    QVariantMap otherStyle = normalAttributes();
    otherStyle.insert(AttributeKey::noteStyleName, QStringLiteral("quote"));
    const QList<Case> cases{
        {"title", titleAttributes(), titleAttributes().value(AttributeKey::font).value<QFont>()},
        {"header", headerAttributes(), headerAttributes().value(AttributeKey::font).value<QFont>()},
        {"other name", otherStyle, normalAttributes().value(AttributeKey::font).value<QFont>()},
        {"body", normalAttributes(), boldBody},
        {"checklist", checkListAttributes(), boldBody},
        {"name not text", numberStyle, boldBody},
        {"no attributes", {}, boldBody},
    };
    for (const Case& c : cases) {
        AttributedString text(QStringLiteral("a #tag"), c.attributes);
        styleTags(text, QList<const FakeTag*>{});
        EXPECT_EQ(fontAt(text, 2), c.expected) << c.line;
        EXPECT_EQ(colourAt(text, 2), plainGrey) << c.line;
    }
}

TEST(Hashtags, ALoneTagSignIsStyledAsATagWithAnEmptyName)
{
    const FakeTag unnamed{QString(), 4};
    AttributedString text(QStringLiteral("# x"), normalAttributes());
    styleTags(text, QList<const FakeTag*>{&unnamed});
    EXPECT_EQ(colourAt(text, 0), tagColourPalette().at(4));
    EXPECT_EQ(fontAt(text, 0), systemFontOfSize(12, QFont::Bold));
    EXPECT_EQ(colourAt(text, 2), normalTypingColour());
}

TEST(Hashtags, StylingLeavesFormerTagStylesAlone)
{
    AttributedString text(QStringLiteral("#tag"), normalAttributes());
    styleTags(text, QList<const FakeTag*>{});
    text.replaceCharacters(TextRange{0, 1}, QStringLiteral("x"));
    styleTags(text, QList<const FakeTag*>{});
    EXPECT_EQ(colourAt(text, 1), plainGrey);
    EXPECT_EQ(fontAt(text, 1), systemFontOfSize(12, QFont::Bold));
}
