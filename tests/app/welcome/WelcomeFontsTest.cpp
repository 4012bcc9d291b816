#include "Pelorins/welcome/WelcomeFonts.h"
#include "Platform/core/ConsoleLog.h"

#include <QFontInfo>
#include <QFontMetricsF>
#include <gtest/gtest.h>

TEST(WelcomeFonts, EachNamedFontHasItsSubstituteHere)
{
    ConsoleLog::Capture capture;
    const WelcomeFonts fonts;
    const struct
    {
        const char* name;
        const char* family;
        bool bold;
    } cases[] = {
        {"Helvetica", "Liberation Sans", false},
        {"Helvetica-Bold", "Liberation Sans", true},
        {"AppleColorEmoji", "Noto Color Emoji", false},
    };
    for (const auto& c : cases) {
        const QFont font = fonts.named(QString::fromLatin1(c.name), 24);
        EXPECT_EQ(QFontInfo(font).family().toStdString(), c.family) << c.name;
        EXPECT_EQ(font.bold(), c.bold) << c.name;
        EXPECT_EQ(font.pixelSize(), 24) << c.name;
    }
    EXPECT_EQ(fonts.systemFont(32, QFont::Medium).weight(), QFont::Medium);
    EXPECT_EQ(fonts.systemFont(32, QFont::Medium).pixelSize(), 32);
    // The closing words of the last page in the same family as every other page's texts.
    EXPECT_EQ(QFontInfo(fonts.systemFont(32, QFont::Medium)).family(), QFontInfo(fonts.named(QStringLiteral("Helvetica"), 24)).family());
    EXPECT_TRUE(capture.lines().isEmpty());
}

TEST(WelcomeFonts, AFontThatIsNotInstalledIsReportedAndStandsInAsTheDefaultSans)
{
    ConsoleLog::Capture capture;
    const WelcomeFonts fonts(QStringList {QStringLiteral("DejaVu Sans")});
    const QFont bold = fonts.named(QStringLiteral("Helvetica-Bold"), 36);
    const QFont regular = fonts.named(QStringLiteral("Helvetica"), 24);
    const QFont emoji = fonts.named(QStringLiteral("AppleColorEmoji"), 32);
    EXPECT_EQ(capture.lines(),
        (QStringList {"Warning: Unable to locate font named 'Helvetica Bold'",
            "Warning: Unable to locate font named 'Helvetica'",
            "Warning: Unable to locate font named 'Apple Color Emoji'"}));
    EXPECT_NE(bold.family(), QStringLiteral("Liberation Sans"));
    EXPECT_TRUE(bold.bold());
    EXPECT_EQ(bold.pixelSize(), 36);
    EXPECT_EQ(regular.pixelSize(), 24);
    EXPECT_NE(emoji.family(), QStringLiteral("Noto Color Emoji"));
}

TEST(WelcomeFonts, TheGreetingFitsItsBoxAsInHelvetica)
{
    const QFont font = WelcomeFonts().named(QStringLiteral("Helvetica-Bold"), 36);
    EXPECT_LE(QFontMetricsF(font).horizontalAdvance(QStringLiteral("Hello!")), 101);
}
