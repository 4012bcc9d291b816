#include "Pelorins/welcome/KDPageControl.h"
#include "Pelorins/welcome/Page1View.h"
#include "WelcomeFixture.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

namespace {

const QColor mint(195, 236, 232);
const QColor lightGrey(239, 239, 239);

QImage paint(KDPageControl& control)
{
    QImage image(control.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    control.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

bool near(QRgb pixel, const QColor& colour)
{
    return qAlpha(pixel) == 255 && std::abs(qRed(pixel) - colour.red()) <= 3
        && std::abs(qGreen(pixel) - colour.green()) <= 3 && std::abs(qBlue(pixel) - colour.blue()) <= 3;
}

} // namespace

TEST(KDPageControl, DrawsOneDotPerPageAlongTheBottomMarkingTheCurrentOne)
{
    const struct
    {
        qint64 pages;
        qint64 current;
        int marked;
    } cases[] = {
        {6, 0, 0},
        {6, 5, 5},
        {6, -1, -1},
        {6, 6, -1},
        {1, 0, 0},
    };
    for (const auto& c : cases) {
        KDPageControl control;
        control.setNumberOfPages(c.pages);
        control.setCurrentPage(c.current);
        control.resize(int(control.rowWidth()), 10);
        const QImage image = paint(control);
        SCOPED_TRACE(QString("%1 pages, page %2").arg(c.pages).arg(c.current).toStdString());
        for (int i = 0; i < c.pages; ++i) {
            // Each dot's middle, on the bottom edge of a control taller than the dots.
            const QRgb middle = image.pixel(i * 10 + 3, 10 - 3);
            EXPECT_TRUE(near(middle, i == c.marked ? mint : lightGrey)) << i;
            EXPECT_EQ(qAlpha(image.pixel(i * 10 + 3, 1)), 0) << i;
            if (i + 1 < c.pages) {
                EXPECT_EQ(qAlpha(image.pixel(i * 10 + 8, 10 - 3)), 0) << i;
            }
        }
    }
}

TEST(KDPageControl, ByDefaultOneMarkedDotAndNoDotsForNoPages)
{
    KDPageControl control;
    EXPECT_EQ(control.numberOfPages(), 1);
    EXPECT_EQ(control.currentPage(), 0);
    control.resize(6, 6);
    EXPECT_TRUE(near(paint(control).pixel(3, 3), mint));

    control.setNumberOfPages(0);
    const QImage empty = paint(control);
    for (int x = 0; x < 6; ++x)
        EXPECT_EQ(qAlpha(empty.pixel(x, 3)), 0);
}

TEST(KDPageControl, TheWelcomeShowsSixDotsUnderItsArtwork)
{
    WelcomeFixture fixture;
    WelcomeArtwork artwork;
    const WelcomeFonts fonts;
    Page1View page1(WelcomeResources {fixture.clock, artwork, fonts}, *fixture.delegate);
    ASSERT_NE(page1.pager(), nullptr);
    EXPECT_EQ(page1.pager()->numberOfPages(), 6);
    EXPECT_EQ(page1.pager()->geometry(), QRect(372, 520, 56, 6));
}
