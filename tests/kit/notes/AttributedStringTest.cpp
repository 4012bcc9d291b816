#include "PelorinsKit/notes/AttributeKey.h"
#include "PelorinsKit/notes/AttributedString.h"

#include <gtest/gtest.h>

namespace {

const QString bold = QStringLiteral("bold");
const QString colour = QStringLiteral("colour");

// "Hello world" with "Hello" bold: runs [0,5) {bold} and [5,11) {}.
AttributedString helloWorld()
{
    AttributedString text(QStringLiteral("Hello world"));
    text.addAttribute(bold, true, TextRange{0, 5});
    return text;
}

QList<TextRange> runRanges(const AttributedString& text)
{
    QList<TextRange> ranges;
    text.enumerateAttributes(TextRange{0, text.length()},
                             [&](const QVariantMap&, TextRange range) { ranges.append(range); });
    return ranges;
}

} // namespace

TEST(AttributedString, AttributesAtAnIndexComeWithTheirRun)
{
    const AttributedString text = helloWorld();
    TextRange range;
    EXPECT_EQ(text.attributes(2, &range), (QVariantMap{{bold, true}}));
    EXPECT_EQ(range, (TextRange{0, 5}));
    EXPECT_TRUE(text.attributes(5, &range).isEmpty());
    EXPECT_EQ(range, (TextRange{5, 6}));
    EXPECT_TRUE(text.attributes(11, &range).isEmpty());
    EXPECT_EQ(range, (TextRange{11, 0}));
    EXPECT_TRUE(text.attributes(-3, &range).isEmpty());
    EXPECT_EQ(range, (TextRange{0, 0}));
}

TEST(AttributedString, OneAttributeReachesAcrossRunsThatShareItsValue)
{
    AttributedString text = helloWorld();
    text.addAttribute(colour, QStringLiteral("red"), TextRange{3, 8});
    TextRange range;
    EXPECT_EQ(text.attribute(colour, 4, &range), QStringLiteral("red"));
    EXPECT_EQ(range, (TextRange{3, 8}));
    EXPECT_EQ(text.attribute(bold, 4, &range), true);
    EXPECT_EQ(range, (TextRange{0, 5}));
    EXPECT_FALSE(text.attribute(colour, 1, &range).isValid());
    EXPECT_EQ(range, (TextRange{0, 3}));
}

TEST(AttributedString, EqualNeighboursMergeIntoOneRun)
{
    AttributedString text = helloWorld();
    text.addAttribute(bold, true, TextRange{5, 6});
    EXPECT_EQ(runRanges(text), (QList<TextRange>{{0, 11}}));
    text.removeAttribute(bold, TextRange{0, 11});
    EXPECT_EQ(text, AttributedString(QStringLiteral("Hello world")));
}

TEST(AttributedString, EnumeratingOneAttributeGivesItsLongestRangesInsideTheRange)
{
    AttributedString text = helloWorld();
    text.addAttribute(colour, QStringLiteral("red"), TextRange{2, 5});
    QList<QPair<QVariant, TextRange>> seen;
    text.enumerateAttribute(bold, TextRange{1, 8},
                            [&](const QVariant& value, TextRange range) { seen.append({value, range}); });
    EXPECT_EQ(seen, (QList<QPair<QVariant, TextRange>>{{true, {1, 4}}, {QVariant(), {5, 4}}}));
}

TEST(AttributedString, AddSetAndRemoveWorkOnTheirRangeOnly)
{
    AttributedString text = helloWorld();
    text.setAttributes(QVariantMap{{colour, QStringLiteral("blue")}}, TextRange{3, 4});
    EXPECT_EQ(text.attributes(2), (QVariantMap{{bold, true}}));
    EXPECT_EQ(text.attributes(3), (QVariantMap{{colour, QStringLiteral("blue")}}));
    EXPECT_EQ(text.attributes(7), QVariantMap());

    text.addAttributes(QVariantMap{{bold, false}, {colour, QVariant()}}, TextRange{0, 11});
    EXPECT_EQ(runRanges(text), (QList<TextRange>{{0, 11}}));
    EXPECT_EQ(text.attributes(0), (QVariantMap{{bold, false}}));

    text.remove(QStringList{bold, colour}, TextRange{0, 11});
    EXPECT_EQ(text.attributes(0), QVariantMap());
}

// Setting many ranges at once gives what setting them one by one gives; ranges out of order or
// overlapping the one before are left out.
TEST(AttributedString, SettingManyRangesAtOnceMatchesSettingThemInTurn)
{
    const QVariantMap red {{colour, QStringLiteral("red")}};
    const QVariantMap boldOnly {{bold, true}};
    const QList<QList<std::pair<TextRange, QVariantMap>>> cases {
        {{{0, 2}, red}, {{4, 3}, red}, {{9, 2}, boldOnly}},
        {{{0, 11}, red}},
        {{{3, 2}, boldOnly}, {{5, 1}, boldOnly}, {{6, 20}, red}},
        {{{-4, 6}, red}, {{8, 0}, boldOnly}},
        {},
    };
    for (const auto& ranges : cases) {
        AttributedString inTurn = helloWorld();
        for (const auto& [range, attributes] : ranges)
            inTurn.setAttributes(attributes, range);
        AttributedString atOnce = helloWorld();
        atOnce.setAttributes(ranges);
        EXPECT_EQ(atOnce, inTurn) << ranges.size();
    }
    AttributedString skipping = helloWorld();
    skipping.setAttributes({{{4, 3}, red}, {{1, 2}, red}, {{6, 2}, boldOnly}});
    AttributedString expected = helloWorld();
    expected.setAttributes(red, {4, 3});
    EXPECT_EQ(skipping, expected);
}

TEST(AttributedString, RemovingNoAttributesChangesNothing)
{
    AttributedString text = helloWorld();
    text.remove({}, TextRange{0, 11});
    EXPECT_EQ(text, helloWorld());
}

TEST(AttributedString, RangesOutsideTheTextAreClipped)
{
    AttributedString text = helloWorld();
    text.addAttribute(colour, QStringLiteral("red"), TextRange{8, 100});
    text.addAttribute(colour, QStringLiteral("red"), TextRange{-5, 6});
    EXPECT_EQ(runRanges(text), (QList<TextRange>{{0, 1}, {1, 4}, {5, 3}, {8, 3}}));
    EXPECT_EQ(text.attributedSubstring(TextRange{9, 50}).string(), QStringLiteral("ld"));
    text.replaceCharacters(TextRange{20, 5}, QStringLiteral("!"));
    EXPECT_EQ(text.string(), QStringLiteral("Hello world!"));
    text.deleteCharacters(TextRange{-2, 3});
    EXPECT_EQ(text.string(), QStringLiteral("ello world!"));
}

TEST(AttributedString, SubstringKeepsAttributes)
{
    const AttributedString sub = helloWorld().attributedSubstring(TextRange{3, 4});
    EXPECT_EQ(sub.string(), QStringLiteral("lo w"));
    EXPECT_EQ(runRanges(sub), (QList<TextRange>{{0, 2}, {2, 2}}));
    EXPECT_EQ(sub.attributes(1), (QVariantMap{{bold, true}}));
}

TEST(AttributedString, PlainReplacementInheritsNeighbouringAttributes)
{
    struct Case
    {
        TextRange range;
        QString expected;
        int probe;
        QVariantMap attributes;
    };
    const QList<Case> cases{
        // the first replaced character's attributes
        {{4, 3}, QStringLiteral("HellXXorld"), 4, {{bold, true}}},
        // nothing replaced: the character before
        {{5, 0}, QStringLiteral("HelloXX world"), 5, {{bold, true}}},
        // nothing replaced at the start: the character after
        {{0, 0}, QStringLiteral("XXHello world"), 0, {{bold, true}}},
        {{5, 1}, QStringLiteral("HelloXXworld"), 5, {}},
    };
    for (const Case& c : cases) {
        AttributedString text = helloWorld();
        text.replaceCharacters(c.range, QStringLiteral("XX"));
        EXPECT_EQ(text.string(), c.expected);
        EXPECT_EQ(text.attributes(c.probe), c.attributes) << c.expected.toStdString();
        EXPECT_EQ(text.attributes(c.probe + 1), c.attributes) << c.expected.toStdString();
    }
}

TEST(AttributedString, AttributedReplacementInsertAndAppendKeepTheirOwnAttributes)
{
    AttributedString text = helloWorld();
    const AttributedString red(QStringLiteral("RED"), QVariantMap{{colour, QStringLiteral("red")}});
    text.replaceCharacters(TextRange{2, 5}, red);
    EXPECT_EQ(text.string(), QStringLiteral("HeREDorld"));
    EXPECT_EQ(runRanges(text), (QList<TextRange>{{0, 2}, {2, 3}, {5, 4}}));

    text.insert(red, 0);
    text.append(red);
    EXPECT_EQ(text.string(), QStringLiteral("REDHeREDorldRED"));
    EXPECT_EQ(text.attributes(0), (QVariantMap{{colour, QStringLiteral("red")}}));
    EXPECT_EQ(text.attributes(14), (QVariantMap{{colour, QStringLiteral("red")}}));
    EXPECT_EQ(text.attributes(3), (QVariantMap{{bold, true}}));
}

// Every range of a text of several runs replaced by text of two runs: each character keeps or
// takes its attributes, and no two neighbouring runs are alike.
TEST(AttributedString, ReplacingAnyRangeKeepsEveryOtherCharactersAttributes)
{
    AttributedString original = helloWorld();
    original.addAttribute(colour, QStringLiteral("red"), TextRange {3, 4});
    original.addAttribute(colour, QStringLiteral("blue"), TextRange {9, 2});
    AttributedString inserted(QStringLiteral("ab"), {{bold, true}});
    inserted.addAttribute(colour, QStringLiteral("blue"), TextRange {1, 1});
    for (int location = 0; location <= original.length(); ++location) {
        for (int length = 0; location + length <= original.length(); ++length) {
            for (const AttributedString& text : {inserted, AttributedString()}) {
                AttributedString replaced = original;
                replaced.replaceCharacters(TextRange {location, length}, text);
                const QString where = QStringLiteral("{%1, %2} by \"%3\"").arg(location).arg(length).arg(text.string());
                ASSERT_EQ(replaced.string(), QString(original.string()).replace(location, length, text.string()))
                    << where.toStdString();
                for (int i = 0; i < replaced.length(); ++i) {
                    const QVariantMap expected = i < location ? original.attributes(i)
                        : i < location + text.length()        ? text.attributes(i - location)
                                                              : original.attributes(i - text.length() + length);
                    EXPECT_EQ(replaced.attributes(i), expected) << where.toStdString() << " at " << i;
                }
                QVariantMap previous;
                bool first = true;
                replaced.enumerateAttributes(TextRange {0, replaced.length()}, [&](const QVariantMap& attributes, TextRange) {
                    EXPECT_TRUE(first || attributes != previous) << where.toStdString();
                    previous = attributes;
                    first = false;
                });
            }
        }
    }
}

TEST(AttributedString, DeletingEverythingLeavesAnEmptyText)
{
    AttributedString text = helloWorld();
    text.deleteCharacters(TextRange{0, 11});
    EXPECT_EQ(text, AttributedString());
    EXPECT_TRUE(runRanges(text).isEmpty());
}

TEST(AttributedString, AnAttachmentIsOneAttachmentCharacterCarryingIt)
{
    const TextAttachment link{AttributeKey::link, QByteArray("contents"), std::nullopt};
    const AttributedString text = AttributedString::withAttachment(link);
    EXPECT_EQ(text.string(), QString(QChar(0xFFFC)));
    EXPECT_EQ(text.attribute(AttributeKey::attachment, 0).value<TextAttachment>(), link);
}

TEST(AttributedString, LinesEndAtEveryTerminatorThePlatformKnows)
{
    using Line = AttributedString::Line;
    const QList<QPair<QString, QList<Line>>> cases{
        {QString(), {}},
        {QStringLiteral("a"), {{{0, 1}, {0, 1}}}},
        {QStringLiteral("a\n"), {{{0, 1}, {0, 2}}}},
        {QStringLiteral("\n"), {{{0, 0}, {0, 1}}}},
        {QStringLiteral("a\nb"), {{{0, 1}, {0, 2}}, {{2, 1}, {2, 1}}}},
        {QStringLiteral("a\rb"), {{{0, 1}, {0, 2}}, {{2, 1}, {2, 1}}}},
        {QStringLiteral("a\r\nb"), {{{0, 1}, {0, 3}}, {{3, 1}, {3, 1}}}},
        {QStringLiteral("a\n\rb"), {{{0, 1}, {0, 2}}, {{2, 0}, {2, 1}}, {{3, 1}, {3, 1}}}},
        {QStringLiteral("a\r\r\n"), {{{0, 1}, {0, 2}}, {{2, 0}, {2, 2}}}},
        {QStringLiteral("a") + QChar(0x2028) + QStringLiteral("b"), {{{0, 1}, {0, 2}}, {{2, 1}, {2, 1}}}},
        {QStringLiteral("a") + QChar(0x2029) + QStringLiteral("b"), {{{0, 1}, {0, 2}}, {{2, 1}, {2, 1}}}},
        {QStringLiteral("a") + QChar(0x0085) + QStringLiteral("b"), {{{0, 1}, {0, 2}}, {{2, 1}, {2, 1}}}},
        {QStringLiteral("\n\n"), {{{0, 0}, {0, 1}}, {{1, 0}, {1, 1}}}},
        {QStringLiteral("a\x0B" "b\x0C" "c"), {{{0, 5}, {0, 5}}}},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(AttributedString::lines(text), expected) << text.toStdString();
}
