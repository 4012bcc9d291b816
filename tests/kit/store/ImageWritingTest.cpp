#include "PelorinsKit/store/ImageWriting.h"
#include "Platform/core/ConsoleLog.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

TEST(ImageWritingTest, WritePNG_WritesAPictureThatReadsBack)
{
    QTemporaryDir folder;
    QImage image(3, 2, QImage::Format_ARGB32);
    image.fill(QColor(10, 20, 30, 40));
    const QString path = folder.filePath("picture.png");
    writePNG(image, path);
    const QImage read(path, "png");
    EXPECT_EQ(read.size(), image.size());
    EXPECT_EQ(read.pixelColor(2, 1), image.pixelColor(2, 1));
}

TEST(ImageWritingTest, WritePNG_ReportsFailuresAndWritesNothing)
{
    QTemporaryDir folder;
    ConsoleLog::Capture capture;
    writePNG(QImage(), folder.filePath("empty.png"));
    EXPECT_FALSE(QFileInfo::exists(folder.filePath("empty.png")));
    ASSERT_EQ(capture.lines().size(), 1);
    EXPECT_TRUE(capture.lines().first().contains(" Error Function 'writePNG(toURL:)' Line: "));
    EXPECT_TRUE(
        capture.lines().first().endsWith(" No tiff rep found for image writing to " + folder.filePath("empty.png")));

    capture.clear();
    QImage image(1, 1, QImage::Format_RGB32);
    writePNG(image, folder.filePath("missing/folder/picture.png"));
    ASSERT_EQ(capture.lines().size(), 1);
    EXPECT_TRUE(capture.lines().first().contains(" Error Function 'writePNG(toURL:)' Line: "));
}

} // namespace
