#include "Platform/widgets/RowText.h"

#include <gtest/gtest.h>

TEST(RowText, LongTextsAreCutWithAnEllipsisAndNeverInsideACharacter)
{
    const qsizetype most = RowText::maximumLength;
    const QString ellipsis(QChar(0x2026));
    // An emoji, two UTF-16 units, across the place of the cut.
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80");
    const struct
    {
        QString text;
        QString shown;
    } cases[] = {
        {QString(), QString()},
        {QString(most, QLatin1Char('a')), QString(most, QLatin1Char('a'))},
        {QString(most + 1, QLatin1Char('a')), QString(most, QLatin1Char('a')) + ellipsis},
        {QString(most - 1, QLatin1Char('a')) + emoji, QString(most - 1, QLatin1Char('a')) + ellipsis},
        {QString(most - 2, QLatin1Char('a')) + emoji + QLatin1Char('b'),
            QString(most - 2, QLatin1Char('a')) + emoji + ellipsis},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RowText::elided(c.text), c.shown) << c.text.size();
}
