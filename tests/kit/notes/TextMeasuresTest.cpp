#include "PelorinsKit/notes/AttributeKey.h"
#include "PelorinsKit/notes/NoteTextConventions.h"
#include "PelorinsKit/notes/TextMeasures.h"
#include "support/TestImages.h"

#include <gtest/gtest.h>

namespace {

AttributedString bodyText(const QString& text)
{
    return AttributedString(text, normalAttributes());
}

AttributedString picture(int width, int height)
{
    const TextAttachment::FileWrapper file{QStringLiteral("p.png"), pngOf(width, height, Qt::red)};
    return AttributedString::withAttachment(TextAttachment{QStringLiteral("public.png"), QByteArray(), file});
}

} // namespace

TEST(TextMeasures, ShortTextsNeverMeasureBelowThirty)
{
    EXPECT_EQ(heightToFit(AttributedString(), 300), 30);
    EXPECT_EQ(heightToFit(bodyText(QStringLiteral("a")), 300), 30);
    // Widths too narrow for a character still measure, and never below the minimum.
    EXPECT_GE(heightToFit(bodyText(QStringLiteral("abc")), 0), 30);
    EXPECT_GE(heightToFit(bodyText(QStringLiteral("abc")), -50), 30);
}

TEST(TextMeasures, MoreLinesAndNarrowerWidthsNeedMoreHeight)
{
    const qreal one = heightToFit(bodyText(QStringLiteral("line\nline\nline")), 300);
    const qreal two = heightToFit(bodyText(QStringLiteral("line\nline\nline\nline\nline\nline")), 300);
    EXPECT_GT(one, 30);
    EXPECT_GT(two, one);

    const AttributedString paragraph = bodyText(QString(QStringLiteral("word ")).repeated(60));
    EXPECT_GT(heightToFit(paragraph, 150), heightToFit(paragraph, 600));

    // A line feed at the end opens a further, empty line.
    EXPECT_GT(heightToFit(bodyText(QStringLiteral("a\nb\nc\n")), 300),
              heightToFit(bodyText(QStringLiteral("a\nb\nc")), 300));
}

TEST(TextMeasures, TitlesAreTallerThanBodyLines)
{
    const QString lines = QStringLiteral("a\nb\nc\nd");
    EXPECT_GT(heightToFit(AttributedString(lines, titleAttributes()), 300), heightToFit(bodyText(lines), 300));
}

TEST(TextMeasures, TallTextIsMeasuredOnlyAsFarAsTheContainerHolds)
{
    const qreal height = heightToFit(bodyText(QString(QStringLiteral("line\n")).repeated(400)), 300);
    EXPECT_LE(height, 2010);
    EXPECT_GT(height, 1900);
}

TEST(TextMeasures, AttachmentsTakeTheirSize)
{
    const AttributedString link =
        AttributedString::withAttachment(TextAttachment{AttributeKey::link, QByteArray(), std::nullopt});
    const qreal linkHeight = heightToFit(link, 400);
    EXPECT_GE(linkHeight, 50);
    EXPECT_LT(linkHeight, 60);

    EXPECT_GE(heightToFit(picture(100, 200), 400), 210);
    // A wide picture scales down to the width (380 after padding), keeping its proportions.
    const qreal wide = heightToFit(picture(760, 400), 400);
    EXPECT_GE(wide, 210);
    EXPECT_LT(wide, 220);
    // A picture taller than the container is scaled down into it, not left out.
    EXPECT_GE(heightToFit(picture(10, 5000), 400), 2000);
}
