#include "Pelorins/shell/ColourHelpers.h"
#include "Pelorins/shell/AppConstants.h"

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
