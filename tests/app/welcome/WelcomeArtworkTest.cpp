#include "Pelorins/welcome/WelcomeArtwork.h"
#include "Pelorins/welcome/MissingArtwork.h"

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QSet>
#include <gtest/gtest.h>

namespace {

bool hasInk(const QImage& image)
{
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(row[x]) > 0)
                return true;
        }
    }
    return false;
}

// Every picture on one sheet, each on a grey tile under its name, for a person to look over.
void writeContactSheet(WelcomeArtwork& artwork, const QString& folder)
{
    constexpr int tile = 280;
    constexpr int columns = 6;
    const QStringList names = WelcomeArtwork::names();
    QImage sheet(columns * tile, int((names.size() + columns - 1) / columns) * (tile + 20), QImage::Format_ARGB32);
    sheet.fill(Qt::white);
    QPainter painter(&sheet);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    for (int i = 0; i < names.size(); ++i) {
        const QRect cell((i % columns) * tile, (i / columns) * (tile + 20), tile - 8, tile - 8);
        painter.fillRect(cell, QColor(214, 216, 220));
        const QImage picture = artwork.image(names.at(i));
        const QSize fitted = picture.size().scaled(cell.size() - QSize(16, 16), Qt::KeepAspectRatio);
        const QSize shown = picture.width() <= fitted.width() ? picture.size() : fitted;
        painter.drawImage(QRect(cell.center() - QPoint(shown.width() / 2, shown.height() / 2), shown), picture);
        painter.drawText(QRect(cell.left(), cell.bottom() + 2, tile, 18), Qt::AlignLeft, names.at(i));
    }
    painter.end();
    QDir().mkpath(folder);
    sheet.save(QDir(folder).filePath(QStringLiteral("artwork-contact-sheet.png")));
}

} // namespace

TEST(WelcomeArtwork, EveryNameResolvesToAPictureOfItsSizeAtTwoPixelsAPoint)
{
    WelcomeArtwork artwork;
    const QStringList names = WelcomeArtwork::names();
    EXPECT_EQ(names.size(), 53);
    EXPECT_EQ(QSet<QString>(names.begin(), names.end()).size(), 53);
    EXPECT_EQ(WelcomeArtwork::firstPageNames().size(), 32);
    for (const QString& name : names) {
        const QImage picture = artwork.image(name);
        EXPECT_EQ(picture.size(), WelcomeArtwork::pointSize(name) * 2) << name.toStdString();
        EXPECT_TRUE(hasInk(picture)) << name.toStdString();
    }
    EXPECT_EQ(WelcomeArtwork::pointSize(QStringLiteral("Path-5")), QSize(115, 115));
    EXPECT_EQ(WelcomeArtwork::pointSize(QStringLiteral("bg-screenshot")), QSize(1263, 832));
    // Drawn once, then handed out again.
    EXPECT_EQ(artwork.image(QStringLiteral("Line-6")).cacheKey(), artwork.image(QStringLiteral("Line-6")).cacheKey());

    const QString folder = qEnvironmentVariable("WELCOME_FRAMES_DIR");
    if (!folder.isEmpty())
        writeContactSheet(artwork, folder);
}

TEST(WelcomeArtwork, AnIconsWholeLineShowsWhereItsOutlineFillsItsPicture)
{
    // These outlines are about as large as their pictures: they are narrowed so that the line,
    // 4 points wide, is not cut at the picture's edges.
    WelcomeArtwork artwork;
    for (const char* name : {"Rectangle-7-11", "Oval-5", "Rectangle-6-1"}) {
        const QImage picture = artwork.image(QString::fromLatin1(name));
        const int y = picture.height() / 2;
        int line = 0;
        while (line < picture.width() && qAlpha(picture.pixel(line, y)) > 128)
            ++line;
        EXPECT_GE(line, 7) << name;
        EXPECT_LE(line, 9) << name;
    }
}

TEST(WelcomeArtwork, ANameOutsideTheCatalogueFailsWithItsMessage)
{
    WelcomeArtwork artwork;
    try {
        artwork.image(QStringLiteral("Line-7"));
        FAIL() << "no failure";
    } catch (const MissingArtwork& missing) {
        EXPECT_EQ(missing.message(), QStringLiteral("Warning: Unable to locate image named 'Line-7'"));
    }
}
