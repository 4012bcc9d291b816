#include "PelorinsKit/notes/AttributeKey.h"
#include "PelorinsKit/notes/NoteStyleName.h"
#include "PelorinsKit/notes/NoteTextConventions.h"
#include "PelorinsKit/notes/ParagraphStyle.h"

#include <gtest/gtest.h>

namespace {

ParagraphStyle paragraphOf(const QVariantMap& attributes)
{
    return attributes.value(AttributeKey::paragraphStyle).value<ParagraphStyle>();
}

} // namespace

TEST(NoteStyleName, RawValuesMatchExactly)
{
    for (NoteStyleName name : {NoteStyleName::title, NoteStyleName::header, NoteStyleName::body})
        EXPECT_EQ(noteStyleNameFromRawValue(rawValue(name)), name);
    EXPECT_EQ(rawValue(NoteStyleName::title), QStringLiteral("title"));
    EXPECT_EQ(rawValue(NoteStyleName::header), QStringLiteral("header"));
    EXPECT_EQ(rawValue(NoteStyleName::body), QStringLiteral("body"));
    for (const QString& other : {QString(), QStringLiteral("Title"), QStringLiteral("BODY"), QStringLiteral("body ")})
        EXPECT_FALSE(noteStyleNameFromRawValue(other).has_value()) << other.toStdString();
}

TEST(NoteTextConventions, EachLineStyleCarriesItsFontColourParagraphAndName)
{
    struct Case
    {
        const char* name;
        QVariantMap attributes;
        int pixelSize;
        bool bold;
        QStringList keys;
    };
    const QStringList styled{AttributeKey::font, AttributeKey::foregroundColor, AttributeKey::paragraphStyle,
                             AttributeKey::noteStyleName};
    const QList<Case> cases{
        {"title", titleAttributes(), 17, true, styled},
        {"header", headerAttributes(), 14, true,
         {AttributeKey::font, AttributeKey::foregroundColor, AttributeKey::noteStyleName}},
        {"body", normalAttributes(), 12, false, styled},
        {"checklist", checkListAttributes(), 12, false,
         {AttributeKey::font, AttributeKey::foregroundColor, AttributeKey::paragraphStyle,
          AttributeKey::isChecklistChecked}},
    };
    for (const Case& c : cases) {
        QStringList keys = c.attributes.keys();
        QStringList expected = c.keys;
        keys.sort();
        expected.sort();
        EXPECT_EQ(keys, expected) << c.name;
        const QFont font = c.attributes.value(AttributeKey::font).value<QFont>();
        EXPECT_EQ(font.pixelSize(), c.pixelSize) << c.name;
        EXPECT_EQ(font.bold(), c.bold) << c.name;
        EXPECT_EQ(c.attributes.value(AttributeKey::foregroundColor).value<QColor>(), normalTypingColour()) << c.name;
        for (const QString& key : keys)
            EXPECT_TRUE(knownAttributeNames().contains(key)) << c.name;
    }
    EXPECT_EQ(titleAttributes().value(AttributeKey::noteStyleName), QStringLiteral("title"));
    EXPECT_EQ(headerAttributes().value(AttributeKey::noteStyleName), QStringLiteral("header"));
    EXPECT_EQ(normalAttributes().value(AttributeKey::noteStyleName), QStringLiteral("body"));
    EXPECT_EQ(checkListAttributes().value(AttributeKey::isChecklistChecked), QVariant(false));
}

TEST(NoteTextConventions, ParagraphStylesSpaceAndIndentLines)
{
    ParagraphStyle title;
    title.paragraphSpacing = 4;
    EXPECT_EQ(paragraphOf(titleAttributes()), title);

    ParagraphStyle body;
    body.paragraphSpacingBefore = 4;
    body.paragraphSpacing = 4;
    EXPECT_EQ(paragraphOf(normalAttributes()), body);

    ParagraphStyle checklist = body;
    checklist.firstLineHeadIndent = 22;
    checklist.headIndent = 22;
    EXPECT_EQ(paragraphOf(checkListAttributes()), checklist);
}

TEST(NoteTextConventions, EveryReadOfASetIsAFreshCopy)
{
    QVariantMap first = normalAttributes();
    first.insert(AttributeKey::paragraphStyle, QVariant::fromValue(ParagraphStyle()));
    first.insert(AttributeKey::noteStyleName, QStringLiteral("changed"));
    EXPECT_EQ(normalAttributes(), normalAttributes());
    EXPECT_EQ(normalAttributes().value(AttributeKey::noteStyleName), QStringLiteral("body"));
    EXPECT_EQ(paragraphOf(normalAttributes()).paragraphSpacingBefore, 4);
}

TEST(NoteTextConventions, KnownNamesAndPaletteHaveTheirFixedSizes)
{
    EXPECT_EQ(knownAttributeNames(),
              (QStringList{QStringLiteral("NSFont"), QStringLiteral("NSColor"), QStringLiteral("NSParagraphStyle"),
                           QStringLiteral("NOTESTYLENAME"), QStringLiteral("isChecklistChecked")}));
    EXPECT_EQ(tagColourPalette().size(), 7);
    EXPECT_EQ(&knownAttributeNames(), &knownAttributeNames());
    EXPECT_EQ(&normalTypingColour(), &normalTypingColour());
}
