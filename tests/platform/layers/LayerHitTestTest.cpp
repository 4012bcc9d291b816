#include "Platform/widgets/layers/BasicAnimation.h"
#include "Platform/widgets/layers/Layer.h"
#include "Platform/widgets/layers/ManualLayerClock.h"

#include <gtest/gtest.h>

// Readable failures for strings and lists of strings.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

std::shared_ptr<Layer> box(const QString& name, const QRectF& frame, const std::shared_ptr<Layer>& parent)
{
    auto layer = Layer::create(name);
    layer->setAnchorPoint(QPointF(0, 0));
    layer->setPosition(frame.topLeft());
    layer->setBoundsSize(frame.size());
    parent->addSublayer(layer);
    return layer;
}

} // namespace

TEST(LayerHitTest, FindsTheDeepestTopmostVisibleLayerByPresentedBounds)
{
    ManualLayerClock clock;
    auto root = Layer::create(QStringLiteral("root"));
    root->setAnchorPoint(QPointF(0, 0));
    root->setBoundsSize(QSizeF(1000, 1000));
    root->setClock(&clock);

    auto anchored = Layer::create(QStringLiteral("anchored"));
    anchored->setBoundsSize(QSizeF(100, 50));
    anchored->setPosition(QPointF(200, 100));
    root->addSublayer(anchored);
    box(QStringLiteral("turned"), QRectF(348, 280, 91, 50), root)
        ->setTransform(QTransform(-0.71934, 0.694658, -0.694658, -0.71934, 0, 0));
    box(QStringLiteral("scaled"), QRectF(500, 0, 100, 100), root)->setTransform(QTransform::fromScale(0.5, 0.5));
    auto moved = box(QStringLiteral("moved"), QRectF(0, 900, 10, 10), root);
    BasicAnimation move(QStringLiteral("position"));
    move.setFromValue(QPointF(0, 900));
    move.setToValue(QPointF(900, 900));
    move.setDuration(0.5);
    move.setFillMode(Animation::FillMode::forwards);
    move.setRemovedOnCompletion(false);
    moved->addAnimation(move, QStringLiteral("move"));
    auto hidden = box(QStringLiteral("hidden"), QRectF(600, 600, 50, 50), root);
    box(QStringLiteral("hidden child"), QRectF(0, 0, 50, 50), hidden);
    hidden->setHidden(true);
    auto masking = box(QStringLiteral("masking"), QRectF(700, 100, 50, 50), root);
    masking->setMasksToBounds(true);
    box(QStringLiteral("overflow"), QRectF(0, 0, 100, 100), masking);
    auto open = box(QStringLiteral("open"), QRectF(700, 300, 50, 50), root);
    box(QStringLiteral("outside"), QRectF(0, 0, 100, 100), open);
    box(QStringLiteral("clear"), QRectF(0, 0, 20, 20), root)->setOpacity(0);
    box(QStringLiteral("lower"), QRectF(300, 600, 40, 40), root);
    box(QStringLiteral("upper"), QRectF(320, 600, 40, 40), root);
    auto deep = box(QStringLiteral("deep"), QRectF(100, 700, 100, 100), root);
    box(QStringLiteral("child"), QRectF(10, 10, 20, 20), deep);
    clock.advanceBy(1);

    const struct
    {
        QPointF point;
        const char* expected;
    } cases[] = {
        {{151, 76}, "anchored"},
        {{149, 76}, "root"},
        {{298, 293}, "turned"},
        {{393, 305}, "root"},
        {{540, 40}, "scaled"},
        {{560, 60}, "root"},
        {{905, 905}, "moved"},
        {{5, 905}, "root"},
        {{610, 610}, "root"},
        {{720, 120}, "overflow"},
        {{780, 120}, "root"},
        {{780, 320}, "outside"},
        {{5, 5}, "clear"},
        {{330, 610}, "upper"},
        {{305, 610}, "lower"},
        {{115, 715}, "child"},
        {{150, 750}, "deep"},
        {{1100, 1100}, nullptr},
    };
    for (const auto& c : cases) {
        const Layer* hit = root->hitTest(c.point);
        SCOPED_TRACE(QString("(%1, %2)").arg(c.point.x()).arg(c.point.y()).toStdString());
        if (!c.expected)
            EXPECT_EQ(hit, nullptr);
        else
            EXPECT_EQ(hit ? hit->name() : QStringLiteral("(none)"), QString::fromLatin1(c.expected));
    }
}
