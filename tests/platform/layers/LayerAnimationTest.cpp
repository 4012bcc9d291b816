#include "Platform/widgets/layers/BasicAnimation.h"
#include "Platform/widgets/layers/KeyframeAnimation.h"
#include "Platform/widgets/layers/Layer.h"
#include "Platform/widgets/layers/SpringAnimation.h"

#include <cmath>
#include <gtest/gtest.h>

// Readable failures for strings and lists of strings.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

// Over by 1.5 unless told otherwise.
BasicAnimation basic(
    const QString& keyPath, const QVariant& from, const QVariant& to, double begin = 0.5, double duration = 1)
{
    BasicAnimation animation(keyPath);
    animation.setFromValue(from);
    animation.setToValue(to);
    animation.setBeginTime(begin);
    animation.setDuration(duration);
    animation.setFillMode(Animation::FillMode::forwards);
    animation.setRemovedOnCompletion(false);
    return animation;
}

double scaleOf(const QTransform& transform)
{
    return std::hypot(transform.m11(), transform.m12());
}

// The done box's two springs, as the tour plays them.
SpringAnimation spring(double from, double to, double duration, float speed)
{
    SpringAnimation animation(QStringLiteral("transform.scale"));
    animation.setFromValue(from);
    animation.setToValue(to);
    animation.setDuration(duration);
    animation.setSpeed(speed);
    animation.setMass(0.7);
    animation.setStiffness(200);
    animation.setDamping(10);
    animation.setInitialVelocity(4);
    animation.setBeginTime(10);
    animation.setFillMode(Animation::FillMode::forwards);
    animation.setRemovedOnCompletion(false);
    return animation;
}

} // namespace

TEST(LayerAnimation, TheAnimationAddedLaterWinsAndAReplacedKeyGoesLast)
{
    auto layer = Layer::create();
    layer->setOpacity(1);
    layer->addAnimation(basic("opacity", 0.0, 0.2), "first");
    layer->addAnimation(basic("opacity", 0.0, 0.6), "second");
    EXPECT_DOUBLE_EQ(layer->presentationAt(2).opacity, 0.6);
    // Replacing "first" moves it to the end, so it now rules.
    layer->addAnimation(basic("opacity", 0.0, 0.4), "first");
    EXPECT_EQ(layer->animationKeys(), (QStringList {"second", "first"}));
    EXPECT_DOUBLE_EQ(layer->presentationAt(2).opacity, 0.4);
    EXPECT_DOUBLE_EQ(layer->opacity(), 1);
}

TEST(LayerAnimation, OneCoordinateComposesOverThePositionUnlessThePositionComesLater)
{
    auto layer = Layer::create();
    layer->setPosition(QPointF(5, 5));
    layer->addAnimation(basic("position", QPointF(0, 0), QPointF(100, 200)), "position");
    layer->addAnimation(basic("position.x", 0, 30), "x");
    EXPECT_EQ(layer->presentationAt(2).position, QPointF(30, 200));

    layer->addAnimation(basic("position", QPointF(0, 0), QPointF(7, 9)), "position");
    EXPECT_EQ(layer->presentationAt(2).position, QPointF(7, 9));
    layer->addAnimation(basic("position.y", 0, -4), "y");
    EXPECT_EQ(layer->presentationAt(2).position, QPointF(7, -4));
    EXPECT_EQ(layer->position(), QPointF(5, 5));
}

TEST(LayerAnimation, BothScalePathsSetOneScaleAndKeepTheRotation)
{
    auto layer = Layer::create();
    const QTransform turned(-0.71934, 0.694658, -0.694658, -0.71934, 0, 0);
    layer->setTransform(turned * QTransform::fromScale(0.65, 0.65));
    layer->addAnimation(basic("transform.scale", 0.65, 1.0, 1, 1), "grow");
    EXPECT_NEAR(scaleOf(layer->presentationAt(1.5).transform), 0.825, 1e-9);
    layer->addAnimation(basic("transform.scale.xy", 0.65, 0.75, 3, 1), "zoom");
    // Before the zoom begins the grow holds its end; once begun the zoom rules.
    EXPECT_NEAR(scaleOf(layer->presentationAt(2.5).transform), 1, 1e-9);
    const QTransform zoomed = layer->presentationAt(5).transform;
    EXPECT_NEAR(scaleOf(zoomed), 0.75, 1e-9);
    EXPECT_NEAR(std::atan2(zoomed.m12(), zoomed.m11()), std::atan2(0.694658, -0.71934), 1e-9);
    EXPECT_NEAR(zoomed.m21(), -zoomed.m12(), 1e-9);
}

TEST(LayerAnimation, FromToAndByFollowThePlatformRules)
{
    struct Case
    {
        QVariant from;
        QVariant to;
        QVariant by;
        double start;
        double end;
    };
    // Over a model opacity of 0.5.
    const Case cases[] = {
        {0.2, 0.8, {}, 0.2, 0.8},
        {0.2, {}, 0.3, 0.2, 0.5},
        {{}, 0.8, 0.3, 0.5, 0.8},
        {0.2, {}, {}, 0.2, 0.5},
        {{}, 0.8, {}, 0.5, 0.8},
        {{}, {}, 0.25, 0.5, 0.75},
        {{}, {}, {}, 0.5, 0.5},
        // All three: from and to rule.
        {1.0, 0.0, 0.5, 1.0, 0.0},
    };
    for (const Case& c : cases) {
        auto layer = Layer::create();
        layer->setOpacity(0.5);
        BasicAnimation animation(QStringLiteral("opacity"));
        animation.setFromValue(c.from);
        animation.setToValue(c.to);
        animation.setByValue(c.by);
        animation.setDuration(1);
        animation.setBeginTime(1);
        animation.setFillMode(Animation::FillMode::both);
        animation.setRemovedOnCompletion(false);
        layer->addAnimation(animation, QStringLiteral("fade"));
        SCOPED_TRACE((c.from.toString() + "/" + c.to.toString() + "/" + c.by.toString()).toStdString());
        EXPECT_NEAR(layer->presentationAt(0).opacity, c.start, 1e-9);
        EXPECT_NEAR(layer->presentationAt(1.5).opacity, (c.start + c.end) / 2, 1e-9);
        EXPECT_NEAR(layer->presentationAt(3).opacity, c.end, 1e-9);
    }
}

TEST(LayerAnimation, TheDoneBoxSpringsPeakNearThreeAndAHalfAndTheSecondRestsAtOne)
{
    auto layer = Layer::create();
    layer->addAnimation(spring(1, 3, 1.508768, 1.282976f), QStringLiteral("grow"));
    double peak = 0;
    double peakTime = 0;
    for (double t = 10; t < 11.2; t += 0.0005) {
        const double scale = scaleOf(layer->presentationAt(t).transform);
        if (scale > peak) {
            peak = scale;
            peakTime = t - 10;
        }
    }
    EXPECT_NEAR(peak, 3.477, 0.002);
    EXPECT_NEAR(peakTime, 0.148, 0.002);
    // Its time runs faster than the layer's: it ends after duration over speed.
    EXPECT_NEAR(layer->animationForKey(QStringLiteral("grow"))->endTime(), 10 + 1.508768 / 1.282976, 1e-6);

    auto back = Layer::create();
    back->addAnimation(spring(3, 1, 0.414096, 0.914096f), QStringLiteral("shrink"));
    const double end = back->animationForKey(QStringLiteral("shrink"))->endTime();
    EXPECT_NEAR(scaleOf(back->presentationAt(end - 1e-4).transform), 1.105, 0.003);
    EXPECT_DOUBLE_EQ(scaleOf(back->presentationAt(end).transform), 1);
    EXPECT_DOUBLE_EQ(scaleOf(back->presentationAt(end + 5).transform), 1);
}

TEST(LayerAnimation, ACubicKeyframePathPassesThroughItsValuesAtEvenlySpacedTimes)
{
    auto card = Layer::create();
    card->setPosition(QPointF(278, 134));
    KeyframeAnimation move(QStringLiteral("position"));
    move.setValues({QPointF(278, 134), QPointF(660, 25), QPointF(919, 180)});
    move.setCalculationMode(KeyframeAnimation::CalculationMode::cubic);
    move.setTensionValues({0, 0, 0});
    move.setContinuityValues({0, 0, 0});
    move.setBiasValues({0, 0, 0});
    move.setDuration(0.5);
    move.setBeginTime(2);
    move.setFillMode(Animation::FillMode::forwards);
    move.setRemovedOnCompletion(false);
    card->addAnimation(move, QStringLiteral("positionAnimation"));

    const auto at = [&](double t) { return card->presentationAt(2 + t).position; };
    EXPECT_EQ(at(0), QPointF(278, 134));
    EXPECT_NEAR(at(0.25).x(), 660, 1e-9);
    EXPECT_NEAR(at(0.25).y(), 25, 1e-9);
    EXPECT_EQ(at(0.5), QPointF(919, 180));
    EXPECT_EQ(at(3), QPointF(919, 180));
    // A curve, not two straight segments: it rises above the chord before the middle value.
    const QPointF early = at(0.125);
    EXPECT_LT(early.y(), 134 + (25 - 134) * ((early.x() - 278) / (660 - 278)));

    KeyframeAnimation straight = move;
    straight.setCalculationMode(KeyframeAnimation::CalculationMode::linear);
    straight.setKeyTimes({0, 0.8, 1});
    card->addAnimation(straight, QStringLiteral("positionAnimation"));
    EXPECT_NEAR(at(0.2).x(), 278 + (660 - 278) * 0.5, 1e-9);
}
