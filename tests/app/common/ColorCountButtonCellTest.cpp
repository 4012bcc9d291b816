#include "Pelorins/common/ColorCountButtonCell.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

namespace {

const QRectF frame(0, 0, 40, 20);

QImage render(const ColorCountButtonCell& cell)
{
    QImage image(40, 20, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    cell.draw(painter, frame);
    return image;
}

// A pixel well inside a stroke of the digits.
QPoint digitPixel(const ColorCountButtonCell& cell)
{
    const QPainterPath text = cell.textPath(frame);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 40; ++x) {
            bool inside = true;
            for (qreal dx : {0.1, 0.5, 0.9})
                for (qreal dy : {0.1, 0.5, 0.9})
                    inside = inside && text.contains(QPointF(x + dx, y + dy));
            if (inside)
                return {x, y};
        }
    return {-1, -1};
}

} // namespace

TEST(ColorCountButtonCell, TextOffsetCentresTheOutlineOneUnitLeft)
{
    struct Case
    {
        QSizeF frame, outline;
        QPointF offset;
    };
    const Case cases[] = {
        {{30, 20}, {10, 8}, {9, 6}},
        {{20, 20}, {20, 20}, {-1, 0}},
        {{16, 15}, {30, 8}, {-8, 3.5}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ColorCountButtonCell::textOffset(c.frame, c.outline), c.offset) << c.frame.width();
}

TEST(ColorCountButtonCell, CornerRadiusIsHalfTheHeight)
{
    const QPainterPath pill = ColorCountButtonCell().badgePath(frame);
    EXPECT_TRUE(pill.contains(QPointF(2, 10)));
    EXPECT_FALSE(pill.contains(QPointF(1.5, 4)));
    EXPECT_FALSE(pill.contains(QPointF(38.5, 16)));
    EXPECT_TRUE(pill.contains(QPointF(20, 1)));
}

TEST(ColorCountButtonCell, PillIsYellowWithoutAColourAndFullWithoutATitle)
{
    const QImage image = render(ColorCountButtonCell());
    EXPECT_EQ(image.pixelColor(20, 10), QColor(Qt::yellow));
    EXPECT_EQ(image.pixelColor(2, 10), QColor(Qt::yellow));
    EXPECT_EQ(image.pixelColor(0, 0).alpha(), 0);
    EXPECT_TRUE(ColorCountButtonCell().textPath(frame).isEmpty());
}

TEST(ColorCountButtonCell, DigitsAreHolesUnlessTheRowIsEmphasized)
{
    ColorCountButtonCell cell(QStringLiteral("88"));
    cell.setBackgroundColor(QColor(Qt::red));
    const QPoint digit = digitPixel(cell);
    ASSERT_GE(digit.x(), 0);
    // The pill around the digits keeps its colour.
    EXPECT_EQ(render(cell).pixelColor(3, 10), QColor(Qt::red));
    EXPECT_EQ(render(cell).pixelColor(digit).alpha(), 0);

    cell.setEmphasized(true);
    EXPECT_EQ(render(cell).pixelColor(digit), QColor(Qt::white));
    EXPECT_EQ(render(cell).pixelColor(3, 10), QColor(Qt::red));
}

TEST(ColorCountButtonCell, LongCountsWidenThePill)
{
    const QSizeF one = ColorCountButtonCell(QStringLiteral("1")).sizeThatFits(15);
    const QSizeF many = ColorCountButtonCell(QStringLiteral("12345")).sizeThatFits(15);
    EXPECT_GE(one.width(), 15);
    EXPECT_GT(many.width(), one.width());
    const QRectF wide(QPointF(0, 0), many);
    EXPECT_TRUE(wide.contains(ColorCountButtonCell(QStringLiteral("12345")).textPath(wide).boundingRect()));
}
