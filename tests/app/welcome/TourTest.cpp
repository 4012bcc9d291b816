#include "Pelorins/welcome/Page5View.h"
#include "Pelorins/welcome/WelcomeArtwork.h"
#include "Pelorins/welcome/WelcomeFonts.h"
#include "Platform/core/ConsoleLog.h"
#include "Platform/widgets/layers/Animation.h"
#include "Platform/widgets/layers/AnimationDelegate.h"
#include "Platform/widgets/layers/BasicAnimation.h"
#include "Platform/widgets/layers/Layer.h"
#include "Platform/widgets/layers/ManualLayerClock.h"
#include "Platform/widgets/layers/TextLayer.h"

#include <QTest>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>

static void initResources()
{
    Q_INIT_RESOURCE(PelorinsResources);
}

namespace {

using Fields = Page5View::Fields;

// Notes each scene end and when it came.
class SceneRecorder : public AnimationDelegate
{
public:
    explicit SceneRecorder(const ManualLayerClock& clock)
        : m_clock(clock)
    {
    }
    void animationDidStop(const Animation& animation, bool) override
    {
        scenes << animation.value(QStringLiteral("animationName")).toString();
        times.push_back(m_clock.currentMediaTime());
    }
    QStringList scenes;
    std::vector<double> times;

private:
    const ManualLayerClock& m_clock;
};

// The tour page on its own, on a manual clock, in a parent as the first page holds it.
struct Tour
{
    Tour()
    {
        initResources();
        page = new Page5View({clock, artwork, fonts}, &parent);
        built = clock.currentMediaTime();
    }

    double now() const { return clock.currentMediaTime(); }
    // Moves the clock on in small steps, as frames would.
    void advanceTo(double time)
    {
        while (now() + 0.005 < time)
            clock.advanceBy(0.005);
        clock.advanceTo(time);
    }
    void play(int act)
    {
        using Action = void (Page5View::*)(QObject*);
        const Action actions[] = {&Page5View::mouseClickedPlayAnimationsAction,
            &Page5View::mouseClickedPlayAnimationsAction1, &Page5View::mouseClickedPlayAnimationsAction2,
            &Page5View::mouseClickedPlayAnimationsAction3, &Page5View::mouseClickedPlayAnimationsAction4};
        (page->*actions[act])(nullptr);
    }
    LayerPresentation presented(const std::shared_ptr<Layer> Fields::*field) const
    {
        const Layer& layer = *(page->fields().*field);
        return layer.presentationAt(layer.localTime(now()));
    }
    double scale(const std::shared_ptr<Layer> Fields::*field) const
    {
        const QTransform t = presented(field).transform;
        return std::hypot(t.m11(), t.m12());
    }

    ManualLayerClock clock;
    WelcomeArtwork artwork;
    WelcomeFonts fonts;
    QWidget parent;
    Page5View* page = nullptr;
    double built = 0;
};

const std::shared_ptr<Layer> Fields::*const layerFields[] = {&Fields::windowLayer, &Fields::overlaySideBarLayer,
    &Fields::projectSidebarLayer, &Fields::overlayBGLayer, &Fields::cardsTextLayer, &Fields::mailWindowLayer,
    &Fields::finderWindowLayer, &Fields::attachTextLayer, &Fields::imageLayerLayer, &Fields::autumnColoursSmallLayer,
    &Fields::cursorLayer, &Fields::doneIconLayer, &Fields::tickLayer, &Fields::bgFillLayer, &Fields::partyCardLayer,
    &Fields::overlayDoneLayer, &Fields::doneTextLayer, &Fields::enjoyPelorinsLayer};

// Every kept animation is played by exactly one act.
std::vector<std::shared_ptr<Animation> Fields::*> animationFields()
{
    std::vector<std::shared_ptr<Animation> Fields::*> fields;
    for (int act = 0; act < Page5View::actCount; ++act) {
        for (const Page5View::ActStep& step : Page5View::act(act))
            fields.push_back(step.animation);
    }
    return fields;
}

QStringList names(const Layer& layer)
{
    QStringList result;
    for (const auto& sublayer : layer.sublayers())
        result << sublayer->name();
    return result;
}

} // namespace

TEST(TourBuild, EveryFieldIsSetAndARebuildReplacesTheRootAndEveryField)
{
    Tour tour;
    const auto animations = animationFields();
    EXPECT_EQ(std::size(layerFields) + animations.size(), 62u);
    const Fields first = tour.page->fields();
    const Layer* firstRoot = tour.page->rootLayer().get();
    for (const auto field : layerFields)
        EXPECT_NE(first.*field, nullptr);
    for (const auto field : animations)
        EXPECT_NE(first.*field, nullptr);

    tour.page->buildLayers();
    EXPECT_NE(tour.page->rootLayer().get(), firstRoot);
    const Fields& second = tour.page->fields();
    for (const auto field : layerFields)
        EXPECT_NE(second.*field, first.*field);
    for (const auto field : animations)
        EXPECT_NE(second.*field, first.*field);
}

TEST(TourBuild, ThePageAndTheWindowStackTheirLayersInOrder)
{
    Tour tour;
    const Layer& page = *tour.page->rootLayer()->sublayers().at(0);
    EXPECT_EQ(page.name(), QStringLiteral("Page5"));
    EXPECT_TRUE(page.masksToBounds());
    EXPECT_EQ(names(page),
        (QStringList {"Project Sidebar", "Enjoy Pelorins", "Window", "Finder Window", "Mail Window",
            "Autumn-Colours_small", "Image Layer", "Attach text", "Cursor", "Cards text", "Done text"}));
    // The veils lie above both cards, the first card above the board's veil.
    EXPECT_EQ(names(*tour.page->fields().windowLayer),
        (QStringList {"Window BG", "Plus button 2", "Plus button 1", "Headers", "Overlay BG", "Random Card",
            "Party Card", "Overlay SideBar", "Overlay Done"}));
}

TEST(TourBuild, TheClosingCaptionIsCentredOnItsPlaceAndItsRunsCoverItsText)
{
    Tour tour;
    const auto* enjoy = dynamic_cast<const TextLayer*>(tour.page->fields().enjoyPelorinsLayer.get());
    ASSERT_NE(enjoy, nullptr);
    EXPECT_EQ(enjoy->frame(), QRectF(151, 162.5, 440, 75));
    EXPECT_EQ(enjoy->string(),
        QStringLiteral("Enjoy Pelorins! \U0001F973\nTo learn more, look in the help menu or watch video!"));
    const QList<TextLayer::Run> runs = enjoy->runs();
    ASSERT_EQ(runs.size(), 3);
    int next = 0;
    for (const TextLayer::Run& run : runs) {
        EXPECT_EQ(run.location, next);
        next = run.location + run.length;
    }
    EXPECT_EQ(next, enjoy->string().size());
    EXPECT_EQ(runs[1].length, 3);
}

// The file window slides in right under the attachments caption: in the desktop's sans, often
// wider than the face the box was made for, the caption wrapped onto a fourth line beneath it.
TEST(TourBuild, TheAttachmentsCaptionFitsAboveTheFileWindow)
{
    Tour tour;
    const auto* caption = dynamic_cast<const TextLayer*>(tour.page->fields().attachTextLayer.get());
    ASSERT_NE(caption, nullptr);
    EXPECT_LE(caption->contentExtent().bottom(), caption->boundsSize().height());
    EXPECT_LE(caption->frame().top() + caption->contentExtent().bottom(),
        tour.page->fields().finderWindowLayer->frame().top());
}

TEST(TourBuild, OnlyTheSceneEndsCarryANameAndTheyHearOnlyADelegateSetBeforeTheBuild)
{
    Tour tour;
    const std::pair<std::shared_ptr<Animation> Fields::*, const char*> named[] = {
        {&Fields::opacityAnimation, "Scene 1"},
        {&Fields::cardTextOpacityInAnimation, "Scene 2"},
        {&Fields::attachTextOpacityInAnimation, "Scene 3"},
        {&Fields::doneOpacityInAnimation, "Scene 4"},
        {&Fields::positionOutAnimation, "Scene 5"},
    };
    for (const auto field : animationFields()) {
        const QVariant name = (tour.page->fields().*field)->value(QStringLiteral("animationName"));
        const auto entry
            = std::find_if(std::begin(named), std::end(named), [&](const auto& n) { return n.first == field; });
        EXPECT_EQ(name.toString(), entry == std::end(named) ? QString() : QLatin1String(entry->second));
    }

    // The sidebar veil's fade-out carries a by value as well; from and to rule.
    const auto* veilOut = dynamic_cast<const BasicAnimation*>(tour.page->fields().opacityOutAnimation.get());
    ASSERT_NE(veilOut, nullptr);
    EXPECT_EQ(veilOut->byValue().toDouble(), 0.5);

    SceneRecorder recorder(tour.clock);
    tour.page->setAnimationDelegate(&recorder);
    tour.play(0);
    tour.advanceTo(tour.now() + 1);
    EXPECT_TRUE(recorder.scenes.isEmpty());
    tour.page->buildLayers();
    tour.play(0);
    tour.advanceTo(tour.now() + 1);
    EXPECT_EQ(recorder.scenes, QStringList {"Scene 1"});
}

TEST(TourActs, EachActAddsItsAnimationsBegunAtItsOffsetsInTheTargetsOwnTime)
{
    Tour tour;
    SceneRecorder recorder(tour.clock);
    tour.page->setAnimationDelegate(&recorder);
    tour.page->buildLayers();
    const double sceneLengths[] = {0.6, 2, 1.5, 5, 1.5};
    for (int act = 0; act < Page5View::actCount; ++act) {
        tour.advanceTo(tour.now() + 0.1);
        const double actTime = tour.now();
        tour.play(act);
        for (const Page5View::ActStep& step : Page5View::act(act)) {
            const Layer& target = *(tour.page->fields().*step.target);
            const Animation* added = target.animationForKey(QLatin1String(step.key));
            ASSERT_NE(added, nullptr) << step.key;
            EXPECT_NEAR(added->beginTime(), target.localTime(actTime) + step.offset, 1e-9) << step.key;
        }
        tour.advanceTo(actTime + sceneLengths[act] - 0.01);
        EXPECT_EQ(recorder.scenes.size(), act) << act;
        tour.advanceTo(actTime + sceneLengths[act] + 0.01);
        ASSERT_EQ(recorder.scenes.size(), act + 1);
        EXPECT_EQ(recorder.scenes.back(), QStringLiteral("Scene %1").arg(act + 1));
        EXPECT_NEAR(recorder.times.back() - actTime, sceneLengths[act], 0.006);
    }
}

TEST(TourActs, AnActPlayedTwiceRestarts)
{
    Tour tour;
    tour.play(0);
    tour.advanceTo(tour.now() + 0.5);
    const double again = tour.now();
    tour.play(0);
    EXPECT_NEAR(tour.presented(&Fields::windowLayer).position.y(), 400, 1e-6);
    tour.advanceTo(again + 0.7);
    EXPECT_NEAR(tour.presented(&Fields::windowLayer).position.y(), -10, 1e-6);
}

TEST(TourActs, TheWindowCardsVeilsIconsAndCursorPlayTheirParts)
{
    Tour tour;
    const double build = tour.now();
    const double actAt[] = {build + 1, build + 4, build + 7, build + 10, build + 17};
    const auto at = [&](int act, double seconds) { tour.advanceTo(actAt[act] + seconds); };
    const auto opacity = [&](const std::shared_ptr<Layer> Fields::*field) { return tour.presented(field).opacity; };

    // Before act 2 the picture icon never shows, though its fade-in is attached from the build.
    for (double t = build; t < actAt[2]; t += 0.25) {
        tour.advanceTo(t);
        EXPECT_EQ(opacity(&Fields::autumnColoursSmallLayer), 0) << t - build;
        if (t >= actAt[0] - 0.01 && t < actAt[0])
            tour.play(0);
        if (t >= actAt[1] - 0.01 && t < actAt[1])
            tour.play(1);
    }
    tour.advanceTo(actAt[0]);
    tour.play(0);
    at(0, 1.5);
    EXPECT_EQ(tour.presented(&Fields::windowLayer).position, QPointF(185, 29));
    EXPECT_NEAR(tour.scale(&Fields::windowLayer), 1, 1e-9);
    EXPECT_EQ(opacity(&Fields::overlaySideBarLayer), 1);

    at(1, 0);
    tour.play(1);
    at(1, 1.5);
    EXPECT_EQ(tour.presented(&Fields::windowLayer).position, QPointF(-10, 29));
    EXPECT_NEAR(tour.scale(&Fields::windowLayer), 0.75, 1e-9);
    EXPECT_EQ(opacity(&Fields::overlaySideBarLayer), 0);
    EXPECT_EQ(opacity(&Fields::overlayBGLayer), 1);

    at(2, 0);
    tour.play(2);
    at(2, 2.5);
    EXPECT_EQ(tour.presented(&Fields::imageLayerLayer).position, QPointF(214, 246));
    EXPECT_EQ(tour.presented(&Fields::autumnColoursSmallLayer).position, QPointF(205, 241));
    EXPECT_EQ(opacity(&Fields::autumnColoursSmallLayer), 1);
    at(2, 3);
    EXPECT_EQ(opacity(&Fields::imageLayerLayer), 0);
    EXPECT_EQ(opacity(&Fields::autumnColoursSmallLayer), 0);

    at(3, 0);
    tour.play(3);
    at(3, 2);
    EXPECT_EQ(tour.presented(&Fields::cursorLayer).position, QPointF(179, 126));
    at(3, 1.5);
    EXPECT_EQ(opacity(&Fields::overlayBGLayer), 0);
    at(3, 2.6);
    EXPECT_EQ(opacity(&Fields::bgFillLayer), 1);
    EXPECT_EQ(opacity(&Fields::tickLayer), 1);
    // The done box springs past three and comes to rest at its own size.
    double peak = 0;
    for (double t = 2.5; t < 3.96; t += 0.005) {
        at(3, t);
        peak = std::max(peak, tour.scale(&Fields::doneIconLayer));
    }
    EXPECT_NEAR(peak, 3.477, 0.01);
    at(3, 3);
    EXPECT_EQ(opacity(&Fields::cursorLayer), 0);
    for (const double t : {3.96, 4.5, 6.0}) {
        at(3, t);
        EXPECT_NEAR(tour.scale(&Fields::doneIconLayer), 1, 1e-6) << t;
    }
    at(3, 4);
    EXPECT_EQ(tour.presented(&Fields::partyCardLayer).position, QPointF(919, 180));
    at(3, 4.5);
    EXPECT_EQ(opacity(&Fields::overlayDoneLayer), 1);
    at(3, 6);
    EXPECT_NEAR(tour.scale(&Fields::windowLayer), 0.65, 1e-9);

    at(4, 0);
    tour.play(4);
    at(4, 1.5);
    EXPECT_EQ(tour.presented(&Fields::windowLayer).position, QPointF(-10, 400));
    EXPECT_EQ(opacity(&Fields::overlayDoneLayer), 0);
    EXPECT_EQ(opacity(&Fields::enjoyPelorinsLayer), 1);
}

TEST(TourActs, AClickIsLoggedByTheLayerItHitsAndStartsNothing)
{
    Tour tour;
    tour.parent.resize(800, 600);
    tour.play(0);
    tour.advanceTo(tour.now() + 2);
    ConsoleLog::Capture capture;
    const int added = int(tour.page->fields().windowLayer->animationKeys().size());
    // The window stands at (185, 29) at full size. Hits ignore opacity, so the still transparent
    // screenshot windows and veils cover most of it; its title bar, right of the mail window and
    // above the veils, shows its background alone.
    QTest::mouseClick(tour.page, Qt::LeftButton, {}, QPoint(750, 50));
    EXPECT_EQ(capture.lines(), QStringList {"Layer Window BG was clicked."});
    capture.clear();
    // A release outside the page, after a press that began on it, hits nothing.
    QTest::mouseClick(tour.page, Qt::LeftButton, {}, QPoint(810, 420));
    EXPECT_TRUE(capture.lines().isEmpty());
    EXPECT_EQ(int(tour.page->fields().windowLayer->animationKeys().size()), added);
}
