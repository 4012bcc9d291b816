#include "Platform/widgets/layers/Layer.h"
#include "Platform/widgets/layers/LayerRenderer.h"
#include "Platform/widgets/layers/ShapeLayer.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

namespace {

const QColor red(255, 0, 0);
const QColor blue(0, 0, 255);

std::shared_ptr<Layer> box(const QRectF& frame, const QColor& background = QColor())
{
    auto layer = Layer::create();
    layer->setAnchorPoint(QPointF(0, 0));
    layer->setPosition(frame.topLeft());
    layer->setBoundsSize(frame.size());
    layer->setBackgroundColor(background);
    return layer;
}

// The root drawn over white at device pixel ratio 1.
QImage render(const Layer& root, QSize size = QSize(100, 100))
{
    QImage frame(size, QImage::Format_ARGB32_Premultiplied);
    frame.fill(Qt::white);
    QPainter painter(&frame);
    LayerRenderer().render(painter, root, 0);
    return frame;
}

QImage solid(QSize size, const QColor& colour)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(colour);
    return image;
}

bool near(QRgb pixel, const QColor& colour, int tolerance = 8)
{
    return std::abs(qRed(pixel) - colour.red()) <= tolerance && std::abs(qGreen(pixel) - colour.green()) <= tolerance
        && std::abs(qBlue(pixel) - colour.blue()) <= tolerance;
}

::testing::AssertionResult shows(const QImage& frame, int x, int y, const QColor& colour)
{
    const QRgb pixel = frame.pixel(x, y);
    if (near(pixel, colour))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "(" << x << ", " << y << ") is " << qRed(pixel) << ", " << qGreen(pixel)
                                         << ", " << qBlue(pixel);
}

// A plus sign cut by points, inside a disc drawn from its bottom middle, both running the same way.
QPainterPath plusInDisc()
{
    QPainterPath path;
    const QPointF plus[]
        = {{37.915, 37.915}, {13.541, 37.915}, {13.541, 43.331}, {37.915, 43.331}, {37.915, 67.705}, {43.331, 67.705},
            {43.331, 43.331}, {67.705, 43.331}, {67.705, 37.915}, {43.331, 37.915}, {43.331, 13.541}, {37.915, 13.541}};
    path.moveTo(plus[0]);
    for (const QPointF& point : plus)
        path.lineTo(point);
    path.closeSubpath();
    const double r = 81.245 / 2;
    const double k = 0.5523 * r;
    path.moveTo(r, 2 * r);
    path.cubicTo(r + k, 2 * r, 2 * r, r + k, 2 * r, r);
    path.cubicTo(2 * r, r - k, r + k, 0, r, 0);
    path.cubicTo(r - k, 0, 0, r - k, 0, r);
    path.cubicTo(0, r + k, r - k, 2 * r, r, 2 * r);
    path.closeSubpath();
    return path;
}

} // namespace

TEST(LayerRender, PicturesAreDrawnByGravity)
{
    // A 20 x 10 point picture (40 x 20 pixels at scale 2) in 40 x 40 layers.
    const struct
    {
        Layer::Gravity gravity;
        QPoint inside;
        QPoint outside;
    } cases[] = {
        {Layer::Gravity::center, {20, 20}, {5, 20}},
        {Layer::Gravity::left, {5, 20}, {30, 20}},
        {Layer::Gravity::resizeAspect, {2, 12}, {20, 8}},
        {Layer::Gravity::resize, {2, 2}, {45, 45}},
    };
    for (const auto& c : cases) {
        auto root = box(QRectF(0, 0, 50, 50));
        auto picture = box(QRectF(0, 0, 40, 40));
        picture->setContents(solid(QSize(40, 20), red));
        picture->setContentsScale(2);
        picture->setContentsGravity(c.gravity);
        root->addSublayer(picture);
        const QImage frame = render(*root);
        SCOPED_TRACE(int(c.gravity));
        EXPECT_TRUE(shows(frame, c.inside.x(), c.inside.y(), red));
        EXPECT_TRUE(shows(frame, c.outside.x(), c.outside.y(), Qt::white));
    }
}

TEST(LayerRender, TheEvenOddRuleCutsThePlusOutOfTheDisc)
{
    for (const auto rule : {ShapeLayer::FillRule::evenOdd, ShapeLayer::FillRule::nonZero}) {
        auto root = box(QRectF(0, 0, 100, 100));
        auto shape = ShapeLayer::create();
        shape->setAnchorPoint(QPointF(0, 0));
        shape->setBoundsSize(QSizeF(82, 82));
        shape->setPath(plusInDisc());
        shape->setFillColor(blue);
        shape->setFillRule(rule);
        root->addSublayer(shape);
        const QImage frame = render(*root);
        EXPECT_TRUE(shows(frame, 20, 20, blue));
        EXPECT_TRUE(shows(frame, 40, 40, rule == ShapeLayer::FillRule::evenOdd ? QColor(Qt::white) : blue));
        EXPECT_TRUE(shows(frame, 20, 40, rule == ShapeLayer::FillRule::evenOdd ? QColor(Qt::white) : blue));
    }
}

TEST(LayerRender, AShapeWithNoFillSetFillsOpaqueBlack)
{
    auto root = box(QRectF(0, 0, 100, 100));
    auto shape = ShapeLayer::create();
    shape->setAnchorPoint(QPointF(0, 0));
    shape->setBoundsSize(QSizeF(50, 50));
    QPainterPath path;
    path.addRect(10, 10, 20, 20);
    shape->setPath(path);
    root->addSublayer(shape);
    const QImage frame = render(*root);
    EXPECT_TRUE(shows(frame, 20, 20, Qt::black));
    EXPECT_TRUE(shows(frame, 35, 20, Qt::white));
}

TEST(LayerRender, AMaskingLayerClipsItsSublayersAndTheBorderDrawsAboveThem)
{
    auto root = box(QRectF(0, 0, 100, 100));
    auto frameLayer = box(QRectF(10, 10, 40, 40));
    frameLayer->setMasksToBounds(true);
    frameLayer->setBorderColor(blue);
    frameLayer->setBorderWidth(4);
    frameLayer->addSublayer(box(QRectF(0, 0, 80, 80), red));
    root->addSublayer(frameLayer);
    QImage frame = render(*root);
    EXPECT_TRUE(shows(frame, 11, 11, blue));
    EXPECT_TRUE(shows(frame, 48, 30, blue));
    EXPECT_TRUE(shows(frame, 30, 30, red));
    EXPECT_TRUE(shows(frame, 60, 60, Qt::white));

    frameLayer->setMasksToBounds(false);
    frame = render(*root);
    EXPECT_TRUE(shows(frame, 60, 60, red));
}

TEST(LayerRender, OpacityFadesAGroupAsOnePicture)
{
    auto root = box(QRectF(0, 0, 100, 100));
    auto group = box(QRectF(0, 0, 100, 100));
    group->setOpacity(0.5);
    group->addSublayer(box(QRectF(10, 10, 40, 40), red));
    group->addSublayer(box(QRectF(30, 10, 40, 40), blue));
    root->addSublayer(group);
    const QImage frame = render(*root);
    EXPECT_TRUE(shows(frame, 20, 20, QColor(255, 128, 128)));
    // Where the two overlap, only the upper one shows, at half strength.
    EXPECT_TRUE(shows(frame, 40, 20, QColor(128, 128, 255)));
    EXPECT_TRUE(shows(frame, 80, 80, Qt::white));
}

TEST(LayerRender, AShadowFallsBelowACard)
{
    auto root = box(QRectF(0, 0, 100, 100));
    auto card = box(QRectF(20, 20, 60, 40), QColor(250, 250, 250));
    card->setShadowOpacity(1);
    card->setShadowRadius(8);
    card->setShadowOffset(QPointF(0, 4));
    card->setShadowColor(QColor(0, 0, 0, 152));
    root->addSublayer(card);
    const QImage frame = render(*root);
    const int below = qGray(frame.pixel(50, 63));
    const int above = qGray(frame.pixel(50, 17));
    EXPECT_LT(below, 235);
    EXPECT_LT(below, above);
    EXPECT_TRUE(shows(frame, 50, 40, QColor(250, 250, 250)));
    EXPECT_TRUE(shows(frame, 50, 95, Qt::white));
}

TEST(LayerRender, TheAnchorAndTheTransformPlaceTheLayer)
{
    auto root = box(QRectF(0, 0, 800, 412));
    auto caption = Layer::create();
    caption->setBoundsSize(QSizeF(440, 75));
    caption->setPosition(QPointF(371, 200));
    caption->setBackgroundColor(red);
    root->addSublayer(caption);
    EXPECT_EQ(caption->frame(), QRectF(151, 162.5, 440, 75));

    // A tag turned by 136 degrees about its origin corner covers x from about 248 to 348.
    auto tag = box(QRectF(348, 280, 91, 50), blue);
    tag->setTransform(QTransform(-0.71934, 0.694658, -0.694658, -0.71934, 0, 0));
    root->addSublayer(tag);

    const QImage frame = render(*root, QSize(800, 412));
    EXPECT_TRUE(shows(frame, 152, 164, red));
    EXPECT_TRUE(shows(frame, 589, 236, red));
    EXPECT_TRUE(shows(frame, 150, 161, Qt::white));
    EXPECT_TRUE(shows(frame, 298, 293, blue));
    EXPECT_TRUE(shows(frame, 393, 305, Qt::white));
}

// Scaled down by turns, as a picture that grows or shrinks on every frame is: each quarter of the
// picture stays in its own quarter, smoothed from the nearest halving or picked, whether its
// pictures were readied before the first frame or not.
TEST(LayerRender, AScaledPictureKeepsItsQuartersInPlace)
{
    // Half tones, so that a channel mixed wrongly shows.
    const QColor quarters[] = {QColor(200, 40, 60), QColor(50, 60, 190), QColor(70, 150, 30), QColor(90, 100, 110)};
    QImage picture(400, 200, QImage::Format_ARGB32_Premultiplied);
    {
        QPainter painter(&picture);
        for (int quarter = 0; quarter < 4; ++quarter)
            painter.fillRect((quarter % 2) * 200, (quarter / 2) * 100, 200, 100, quarters[quarter]);
    }
    for (const bool prepared : {false, true}) {
        for (const bool nearest : {false, true}) {
            auto root = box(QRectF(0, 0, 100, 100));
            auto layer = box(QRectF(0, 0, 200, 100));
            layer->setContents(picture);
            layer->setContentsScale(2);
            if (nearest) {
                layer->setMinificationFilter(Layer::Filter::nearest);
                layer->setMagnificationFilter(Layer::Filter::nearest);
            }
            root->addSublayer(layer);
            LayerRenderer renderer;
            if (prepared)
                renderer.preparePictures(*root, 1);
            // Each scale twice, since a size that holds is kept.
            for (const double scale : {0.45, 0.45, 0.3, 0.3, 0.2, 0.45}) {
                layer->setTransform(QTransform::fromScale(scale, scale));
                QImage frame(100, 100, QImage::Format_ARGB32_Premultiplied);
                frame.fill(Qt::white);
                QPainter painter(&frame);
                renderer.render(painter, *root, 0);
                painter.end();
                const double width = 200 * scale;
                const double height = 100 * scale;
                for (int quarter = 0; quarter < 4; ++quarter) {
                    const int x = int(width * (quarter % 2 == 0 ? 0.25 : 0.75));
                    const int y = int(height * (quarter < 2 ? 0.25 : 0.75));
                    EXPECT_TRUE(shows(frame, x, y, quarters[quarter]))
                        << "scale " << scale << (prepared ? ", prepared" : "") << (nearest ? ", picked" : "");
                }
                // Nothing drawn past the picture's edges.
                EXPECT_TRUE(shows(frame, int(width) + 2, int(height) / 2, Qt::white)) << "scale " << scale;
                EXPECT_TRUE(shows(frame, int(width) / 2, int(height) + 2, Qt::white)) << "scale " << scale;
            }
        }
    }
}

// A fading panel, drawn without a picture of its own, looks as it does faded as one picture (made
// so here by an empty sublayer): its translucent border over its background, nothing showing
// through, for several border widths.
TEST(LayerRender, AFadingPanelLooksAsItDoesFadedAsOnePicture)
{
    for (const double borderWidth : {1.0, 4.0, 30.0}) {
        QImage frames[2];
        for (int grouped = 0; grouped < 2; ++grouped) {
            auto root = box(QRectF(0, 0, 100, 100));
            auto panel = box(QRectF(10, 10, 60, 40), QColor(0, 0, 0, 110));
            panel->setBorderWidth(borderWidth);
            panel->setBorderColor(QColor(40, 120, 220, 160));
            panel->setOpacity(0.6);
            if (grouped)
                panel->addSublayer(box(QRectF(0, 0, 0, 0)));
            root->addSublayer(panel);
            frames[grouped] = render(*root);
        }
        for (int y = 0; y < 100; y += 3) {
            for (int x = 0; x < 100; x += 3) {
                const QRgb group = frames[1].pixel(x, y);
                ASSERT_TRUE(near(frames[0].pixel(x, y), QColor(qRed(group), qGreen(group), qBlue(group)), 3))
                    << "(" << x << ", " << y << ") with a border of " << borderWidth;
            }
        }
    }
}
