#include "Platform/widgets/layers/AnimationDelegate.h"
#include "Platform/widgets/layers/BasicAnimation.h"
#include "Platform/widgets/layers/Layer.h"
#include "Platform/widgets/layers/LayerRenderer.h"
#include "Platform/widgets/layers/ManualLayerClock.h"
#include "Platform/widgets/layers/SteadyLayerClock.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <QImage>
#include <QPainter>
#include <functional>
#include <gtest/gtest.h>

// Readable failures for strings and lists of strings.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

// Hears every stop, in order, as "name finished" or "name unfinished".
class StopLog : public AnimationDelegate
{
public:
    void animationDidStop(const Animation& animation, bool finished) override
    {
        lines << animation.value(QStringLiteral("animationName")).toString()
                + (finished ? QStringLiteral(" finished") : QStringLiteral(" unfinished"));
        if (onStop)
            onStop(animation);
    }
    QStringList lines;
    std::function<void(const Animation&)> onStop;
};

BasicAnimation fade(double begin, double duration, Animation::FillMode fill = Animation::FillMode::forwards)
{
    BasicAnimation animation(QStringLiteral("opacity"));
    animation.setFromValue(0.0);
    animation.setToValue(1.0);
    animation.setBeginTime(begin);
    animation.setDuration(duration);
    animation.setFillMode(fill);
    animation.setRemovedOnCompletion(false);
    return animation;
}

BasicAnimation named(BasicAnimation animation, const QString& name, AnimationDelegate* delegate)
{
    animation.setValue(QStringLiteral("animationName"), name);
    animation.setDelegate(delegate);
    return animation;
}

struct ClockedTree
{
    ManualLayerClock clock;
    std::shared_ptr<Layer> root = Layer::create(QStringLiteral("root"));
    ClockedTree() { root->setClock(&clock); }
    double now() const { return clock.currentMediaTime(); }
    double opacityAt(const Layer& layer, double mediaTime) const
    {
        return layer.presentationAt(layer.localTime(mediaTime)).opacity;
    }
};

} // namespace

TEST(LayerTiming, EaseInEaseOutIsTheCubicThroughPointFortyTwoAndPointFiftyEight)
{
    const TimingFunction ease = TimingFunction::easeInEaseOut();
    EXPECT_NEAR(ease.valueAt(0.25), 0.129162, 1e-6);
    EXPECT_NEAR(ease.valueAt(0.5), 0.5, 1e-9);
    EXPECT_DOUBLE_EQ(ease.valueAt(0), 0);
    EXPECT_DOUBLE_EQ(ease.valueAt(1), 1);
    EXPECT_DOUBLE_EQ(TimingFunction::linear().valueAt(0.25), 0.25);

    // A backdrop sliding from -818 to -18 over 0.5 s from 1 s stands at -714.67 at 1.125 s.
    ClockedTree tree;
    auto backdrop = Layer::create();
    tree.root->addSublayer(backdrop);
    BasicAnimation slide(QStringLiteral("position.x"));
    slide.setFromValue(-818);
    slide.setToValue(-18);
    slide.setBeginTime(tree.root->convertTimeFromRoot() + 1);
    slide.setDuration(0.5);
    slide.setTimingFunction(TimingFunction::easeInEaseOut());
    slide.setFillMode(Animation::FillMode::both);
    slide.setRemovedOnCompletion(false);
    backdrop->addAnimation(slide, QStringLiteral("positionXAnimation"));
    const double built = tree.now();
    EXPECT_NEAR(backdrop->presentationAt(backdrop->localTime(built + 1.125)).position.x(), -714.67, 0.01);
    EXPECT_DOUBLE_EQ(backdrop->presentationAt(backdrop->localTime(built + 0.9)).position.x(), -818);
    EXPECT_DOUBLE_EQ(backdrop->presentationAt(backdrop->localTime(built + 2)).position.x(), -18);
}

TEST(LayerTiming, FillModesDecideWhatShowsBeforeAndAfterTheActiveTime)
{
    using Fill = Animation::FillMode;
    struct Case
    {
        Fill fill;
        double before;
        double during;
        double after;
    };
    // A fade from 0 to 1 between 10 and 11 on a layer whose model opacity is 0.5.
    const Case cases[] = {
        {Fill::removed, 0.5, 0.5, 0.5},
        {Fill::backwards, 0.0, 0.5, 0.5},
        {Fill::forwards, 0.5, 0.5, 1.0},
        {Fill::both, 0.0, 0.5, 1.0},
    };
    for (const Case& c : cases) {
        auto layer = Layer::create();
        layer->setOpacity(0.5);
        BasicAnimation animation = fade(10, 1, c.fill);
        layer->addAnimation(animation, QStringLiteral("fade"));
        SCOPED_TRACE(int(c.fill));
        EXPECT_DOUBLE_EQ(layer->presentationAt(9.9).opacity, c.before);
        EXPECT_DOUBLE_EQ(layer->presentationAt(10.5).opacity, c.during);
        EXPECT_DOUBLE_EQ(layer->presentationAt(11.5).opacity, c.after);
        EXPECT_DOUBLE_EQ(layer->opacity(), 0.5);
    }
}

TEST(LayerTiming, ALayerWhoseBeginLiesAheadStillStartsAnAnimationAtItsOwnNow)
{
    ClockedTree tree;
    auto caption = Layer::create();
    caption->setOpacity(0);
    // Its own time starts 6 s after the build; it is not held back until then.
    caption->setBeginTime(tree.root->convertTimeFromRoot() + 6);
    tree.root->addSublayer(caption);

    tree.clock.advanceBy(2);
    const double act = tree.now();
    EXPECT_DOUBLE_EQ(caption->convertTimeFromRoot(), act - (act - 2 + 6));
    caption->addAnimation(fade(caption->convertTimeFromRoot() + 0.5, 0.5), QStringLiteral("fadeIn"));
    EXPECT_DOUBLE_EQ(tree.opacityAt(*caption, act + 0.4), 0);
    EXPECT_NEAR(tree.opacityAt(*caption, act + 0.75), 0.5, 1e-9);
    EXPECT_DOUBLE_EQ(tree.opacityAt(*caption, act + 1.0), 1);
}

TEST(LayerTiming, AnAnimationBegunAtZeroBeginsWhenAdded)
{
    ClockedTree tree;
    auto layer = Layer::create();
    tree.root->addSublayer(layer);
    tree.clock.advanceBy(5);
    layer->addAnimation(fade(0, 1), QStringLiteral("fade"));
    EXPECT_DOUBLE_EQ(layer->animationForKey(QStringLiteral("fade"))->beginTime(), layer->convertTimeFromRoot());
    EXPECT_NEAR(tree.opacityAt(*layer, tree.now() + 0.5), 0.5, 1e-9);

    // Outside a clocked tree it begins when the layer joins one.
    auto loose = Layer::create();
    loose->addAnimation(fade(0, 1), QStringLiteral("fade"));
    tree.clock.advanceBy(3);
    tree.root->addSublayer(loose);
    tree.clock.advanceBy(0.5);
    EXPECT_NEAR(tree.opacityAt(*loose, tree.now()), 0.5, 1e-9);
}

TEST(LayerTiming, AfterALongJumpEachStopIsDeliveredOnceInEndOrder)
{
    ClockedTree tree;
    StopLog log;
    auto layer = Layer::create();
    tree.root->addSublayer(layer);
    const double now = layer->convertTimeFromRoot();
    auto second = Layer::create();
    layer->addSublayer(second);
    second->addAnimation(named(fade(now + 2, 1), QStringLiteral("C"), &log), QStringLiteral("c"));
    layer->addAnimation(named(fade(now + 1, 0.5), QStringLiteral("B"), &log), QStringLiteral("b"));
    layer->addAnimation(named(fade(now, 0.2), QStringLiteral("A"), &log), QStringLiteral("a"));

    tree.clock.advanceBy(10);
    tree.clock.advanceBy(1);
    EXPECT_EQ(log.lines, (QStringList {"A finished", "B finished", "C finished"}));
}

TEST(LayerTiming, StopsComeFromTheClockNotFromPainting)
{
    ClockedTree tree;
    StopLog log;
    tree.root->setBoundsSize(QSizeF(10, 10));
    tree.root->addAnimation(named(fade(tree.root->convertTimeFromRoot(), 1), QStringLiteral("A"), &log), {});
    QImage frame(10, 10, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&frame);
    LayerRenderer().render(painter, *tree.root, tree.now() + 5);
    EXPECT_TRUE(log.lines.isEmpty());
    tree.clock.advanceBy(5);
    EXPECT_EQ(log.lines, QStringList {"A finished"});
}

TEST(LayerTiming, ReplacingOrRemovingAnAnimationStopsItUnfinished)
{
    ClockedTree tree;
    StopLog log;
    auto layer = Layer::create();
    tree.root->addSublayer(layer);
    const double now = layer->convertTimeFromRoot();
    layer->addAnimation(named(fade(now, 1), QStringLiteral("first"), &log), QStringLiteral("fade"));
    layer->addAnimation(named(fade(now, 2), QStringLiteral("other"), &log), QStringLiteral("other"));
    layer->addAnimation(named(fade(now, 1), QStringLiteral("second"), &log), QStringLiteral("fade"));
    EXPECT_EQ(layer->animationKeys(), (QStringList {"other", "fade"}));
    layer->removeAnimation(QStringLiteral("other"));

    tree.clock.advanceBy(0);
    EXPECT_EQ(log.lines, (QStringList {"first unfinished", "other unfinished"}));
    tree.clock.advanceBy(3);
    EXPECT_EQ(log.lines, (QStringList {"first unfinished", "other unfinished", "second finished"}));
}

TEST(LayerTiming, ADelegateMayReplaceTheWholeTreeAndAddAnimationsWhileStopsAreDelivered)
{
    ClockedTree tree;
    StopLog log;
    auto page = Layer::create();
    tree.root->addSublayer(page);
    const double now = page->convertTimeFromRoot();
    auto doomed = Layer::create();
    page->addSublayer(doomed);
    page->addAnimation(named(fade(now, 1), QStringLiteral("rebuild"), &log), QStringLiteral("a"));
    doomed->addAnimation(named(fade(now, 1.5), QStringLiteral("doomed"), &log), QStringLiteral("b"));
    std::shared_ptr<Layer> fresh;
    log.onStop = [&](const Animation& animation) {
        if (animation.value(QStringLiteral("animationName")) != QStringLiteral("rebuild"))
            return;
        // The old tree goes, with the stop still due in it; a new one comes with its own.
        tree.root = Layer::create(QStringLiteral("new root"));
        tree.root->setClock(&tree.clock);
        page.reset();
        doomed.reset();
        fresh = Layer::create();
        tree.root->addSublayer(fresh);
        fresh->addAnimation(named(fade(fresh->convertTimeFromRoot(), 1), QStringLiteral("fresh"), &log), {});
    };
    tree.clock.advanceBy(2);
    EXPECT_EQ(log.lines, QStringList {"rebuild finished"});
    tree.clock.advanceBy(2);
    EXPECT_EQ(log.lines, (QStringList {"rebuild finished", "fresh finished"}));
}

TEST(LayerTiming, ADestroyedLayerOrDelegateDeliversNothing)
{
    ClockedTree tree;
    StopLog log;
    {
        auto layer = Layer::create();
        tree.root->addSublayer(layer);
        layer->addAnimation(named(fade(layer->convertTimeFromRoot(), 1), QStringLiteral("gone"), &log), {});
        layer->removeFromSuperlayer();
    }
    auto kept = Layer::create();
    tree.root->addSublayer(kept);
    {
        StopLog shortLived;
        kept->addAnimation(named(fade(kept->convertTimeFromRoot(), 1), QStringLiteral("orphan"), &shortLived), {});
    }
    tree.clock.advanceBy(5);
    EXPECT_TRUE(log.lines.isEmpty());
}

TEST(LayerTiming, TheProgramsClockTicksOnForWhatADelegateAddsWhenItHearsAStop)
{
    SteadyLayerClock clock;
    StopLog log;
    auto root = Layer::create();
    root->setClock(&clock);
    const auto quick = [&](const QString& name) { return named(fade(root->convertTimeFromRoot(), 0.05), name, &log); };
    root->addAnimation(quick(QStringLiteral("first")), {});
    log.onStop = [&](const Animation& animation) {
        if (animation.value(QStringLiteral("animationName")) == QStringLiteral("first"))
            root->addAnimation(quick(QStringLiteral("second")), {});
    };
    EXPECT_TRUE(clock.isTicking());
    QDeadlineTimer deadline(5000);
    while (log.lines.size() < 2 && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_EQ(log.lines, (QStringList {"first finished", "second finished"}));
    while (clock.isTicking() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    // With nothing left to play it rests.
    EXPECT_FALSE(clock.isTicking());
}
