#include "Platform/widgets/FocusFrame.h"
#include "support/ContrastRatio.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

TEST(FocusFrame, StandsOutOnLightDarkAndMidToneBackgrounds)
{
    const QColor backgrounds[] = {Qt::white, Qt::black, QColor(128, 128, 128), FocusFrame::ringColour(),
        QColor(235, 235, 240), QColor(36, 36, 38), QColor(58, 58, 60)};
    for (const QColor& background : backgrounds) {
        SCOPED_TRACE(background.name().toStdString());
        QImage image(60, 40, QImage::Format_RGB32);
        image.fill(background);
        {
            QPainter painter(&image);
            FocusFrame::paint(painter, QRectF(10, 10, 40, 20), FocusFrame::buttonRadius);
        }
        // Across the frame's left side, at mid height: two pixels at least stand out clearly.
        int clear = 0;
        for (int x = 8; x < 16; ++x)
            clear += contrastRatio(image.pixel(x, 20), background.rgb()) >= 3.0;
        EXPECT_GE(clear, 2);
        // Nothing is drawn outside the rectangle or in its middle.
        EXPECT_EQ(image.pixel(8, 20), background.rgb());
        EXPECT_EQ(image.pixel(30, 20), background.rgb());
    }
}
