#include "Pelorins/common/AppConstants.h"
#include "Pelorins/common/ColourHelpers.h"
#include "PelorinsKit/notes/NoteTextConventions.h"

#include <gtest/gtest.h>

namespace {

TEST(ColourHelpers, DarkerLowersEachComponentAndFloorsAtZero)
{
    const QColor result = darker(QColor::fromRgbF(0.1f, 0.5f, 0.9f, 0.7f));
    EXPECT_NEAR(result.redF(), 0.0, 1e-4);
    EXPECT_NEAR(result.greenF(), 0.3, 1e-4);
    EXPECT_NEAR(result.blueF(), 0.7, 1e-4);
    EXPECT_NEAR(result.alphaF(), 0.7, 1e-4);
    // A colour given in another model is taken by its red, green and blue.
    EXPECT_NEAR(darker(QColor::fromHsvF(0, 0, 1)).redF(), 0.8, 1e-4);
}

TEST(ColourHelpers, RGBIntegersRoundTripAndOnlyTheLow24BitsCount)
{
    const int accent = (48 << 16) + (144 << 8) + 255;
    EXPECT_EQ(accent, 3182847);
    const QColor colour = colourWithRGB(accent, 1.0);
    EXPECT_EQ(colour, accentBlueColour());
    EXPECT_EQ(rgbValue(colour), accent);
    EXPECT_EQ(colourWithRGB(0x7F000000 | accent, 0.5), colourWithRGB(accent, 0.5));
    // Components between two bytes are truncated.
    EXPECT_EQ(rgbValue(QColor::fromRgbF(0.5f, 0.0f, 0.0f)), 127 << 16);
}

TEST(ColourHelpers, ContrastIsMeasuredByLuminance)
{
    EXPECT_NEAR(contrastRatio(Qt::black, Qt::white), 21.0, 1e-6);
    EXPECT_NEAR(contrastRatio(Qt::white, Qt::white), 1.0, 1e-6);
    EXPECT_NEAR(contrastRatio(QColor(119, 119, 119), Qt::white), 4.48, 0.01);
    EXPECT_EQ(composited(QColor(255, 255, 255, 0), Qt::red), QColor(Qt::red));
    EXPECT_EQ(composited(QColor(0, 0, 0, 255), Qt::red), QColor(Qt::black));
}

// Every tag colour, on the cards' light fills and on dark boards, is drawn at 3:1 at least, in
// its own hue; one that stands out already is left as it is.
TEST(ColourHelpers, ReadableColoursStandOutByThreeToOneAndKeepTheirHue)
{
    const QList<QColor> backgrounds {Qt::white, composited(QColor(255, 255, 255, 204), Qt::black),
        composited(QColor(255, 255, 255, 204), QColor(74, 144, 226)), QColor(40, 44, 52), QColor(117, 171, 233)};
    for (const QColor& background : backgrounds) {
        for (const QColor& tag : tagColourPalette()) {
            const QColor drawn = readableOn(tag, background);
            EXPECT_GE(contrastRatio(drawn, background), 3.0) << tag.name().toStdString() << " on "
                                                             << background.name().toStdString();
            if (tag.hsvSaturation() > 60) {
                EXPECT_NEAR(drawn.hsvHue(), tag.hsvHue(), 3) << tag.name().toStdString();
            }
            if (contrastRatio(tag, background) >= 3.0) {
                EXPECT_EQ(drawn, tag);
            }
        }
    }
    const QColor yellow = tagColourPalette().at(2);
    EXPECT_LT(contrastRatio(yellow, Qt::white), 3.0) << "the fault: yellow on a light card";
    EXPECT_LT(readableOn(yellow, Qt::white).lightness(), yellow.lightness()) << "darkened on light";
    EXPECT_GT(readableOn(QColor(Qt::darkBlue), QColor(40, 44, 52)).lightness(), QColor(Qt::darkBlue).lightness())
        << "lightened on dark";
}

TEST(AppConstants, BadgesUseTheTagPaletteAndTheAccentIsExact)
{
    EXPECT_EQ(badgeRedColour(), tagColourPalette().first());
    EXPECT_EQ(badgeGreyColour(), tagColourPalette().last());
    EXPECT_EQ(accentBlueColour().red(), 48);
    EXPECT_EQ(accentBlueColour().green(), 144);
    EXPECT_EQ(accentBlueColour().blue(), 255);
    EXPECT_EQ(accentBlueColour().alpha(), 255);
}

} // namespace
