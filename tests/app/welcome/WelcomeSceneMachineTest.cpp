#include "Pelorins/welcome/WelcomeSceneMachine.h"
#include "Pelorins/welcome/AnimatedWelcomeViewController.h"
#include "Pelorins/welcome/KDPageControl.h"
#include "Pelorins/welcome/Page1View.h"
#include "Pelorins/welcome/Page5View.h"
#include "PelorinsKit/store/CoreDataManager.h"
#include "Platform/core/DataFolders.h"
#include "Platform/widgets/layers/BasicAnimation.h"
#include "Platform/widgets/layers/Layer.h"
#include "Platform/widgets/layers/TextLayer.h"
#include "WelcomeFixture.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

// Resources are initialised outside any namespace.
static void initResources()
{
    Q_INIT_RESOURCE(PelorinsResources);
}

namespace {

QString describe(WelcomeSceneMachine::Step step)
{
    using Step = WelcomeSceneMachine::Step;
    switch (step) {
    case Step::ignored:
        return QStringLiteral("ignored");
    case Step::lockOnly:
        return QStringLiteral("lock only");
    case Step::fadeOutIntro:
        return QStringLiteral("fade out intro");
    case Step::act1:
        return QStringLiteral("act 1");
    case Step::act2:
        return QStringLiteral("act 2");
    case Step::act3:
        return QStringLiteral("act 3");
    case Step::closingAct:
        return QStringLiteral("closing act");
    case Step::finish:
        return QStringLiteral("finish");
    }
    return {};
}

// A click, or the stop of an animation carrying the given name ("" for none).
QString apply(WelcomeSceneMachine& machine, const char* event)
{
    if (QLatin1String(event) == QLatin1String("click"))
        return describe(machine.click());
    return machine.animationDidStop(QString::fromLatin1(event)) == WelcomeSceneMachine::Stop::bringInTour
        ? QStringLiteral("bring in tour")
        : QStringLiteral("nothing");
}

// The welcome open on the fixture's clock, with its clicks on the bottom button.
struct OpenWelcome
{
    WelcomeFixture fixture;
    Page1View* page1 = nullptr;

    void open()
    {
        fixture.delegate->showWelcomeScreen(nullptr);
        page1 = fixture.welcome()->contentViewController()->page1();
    }
    void clickButton() { QTest::mouseClick(page1, Qt::LeftButton, {}, QPoint(400, 561)); }
    void advance(double seconds) { fixture.clock.advanceBy(seconds); }
    qint64 dot() const { return page1->pager()->currentPage(); }
};

// A clock that moves only when told and never ticks, as a busy program's timer would not.
class StalledClock : public LayerClock
{
public:
    double currentMediaTime() const override { return now; }
    double now = 1000;
};

} // namespace

TEST(WelcomeSceneMachine, ClicksAndScenesFollowTheTransitionTable)
{
    const struct
    {
        std::vector<const char*> events;
        const char* result;
        qint64 scene;
        bool locked;
    } rows[] = {
        // A click before the intro has faded in starts nothing but locks until it has.
        {{"click"}, "lock only", -1, true},
        {{"click", "click"}, "ignored", -1, true},
        {{"click", "p1FadeInAnimation"}, "nothing", 0, false},
        {{"p1FadeInAnimation", "click"}, "fade out intro", 0, true},
        // A double click plays one step.
        {{"p1FadeInAnimation", "click", "click"}, "ignored", 0, true},
        {{"p1FadeInAnimation", "click", "p1FadeOutAnimation"}, "bring in tour", 0, true},
        {{"p1FadeInAnimation", "click", "p1FadeOutAnimation", "Scene 1"}, "nothing", 1, false},
        {{"Scene 1", "click"}, "act 1", 1, true},
        {{"Scene 2", "click"}, "act 2", 2, true},
        {{"Scene 3", "click"}, "act 3", 3, true},
        {{"Scene 4", "click"}, "closing act", 4, true},
        {{"Scene 5", "click"}, "finish", 5, true},
        // A scene's end sets its number whatever came before.
        {{"Scene 3"}, "nothing", 3, false},
        {{"p1FadeInAnimation", "click", "Scene 4", "Scene 2"}, "nothing", 2, false},
        // Names it does not know, or none, change nothing.
        {{"p1FadeInAnimation", "click", "Scene 6"}, "nothing", 0, true},
        {{"p1FadeInAnimation", "click", ""}, "nothing", 0, true},
        {{"p1FadeInAnimation", "click", "scene 1"}, "nothing", 0, true},
    };
    for (const auto& row : rows) {
        WelcomeSceneMachine machine;
        QString result;
        QStringList trace;
        for (const char* event : row.events) {
            trace << QString::fromLatin1(event);
            result = apply(machine, event);
        }
        SCOPED_TRACE(trace.join(QStringLiteral(", ")).toStdString());
        EXPECT_EQ(result.toStdString(), row.result);
        EXPECT_EQ(machine.currentScene(), row.scene);
        EXPECT_EQ(machine.isAnimationInProgress(), row.locked);
    }
}

TEST(WelcomeSceneMachine, AStopThatDidNotFinishStillEndsItsScene)
{
    OpenWelcome welcome;
    welcome.open();
    BasicAnimation removedEarly(QStringLiteral("opacity"));
    removedEarly.setValue(QStringLiteral("animationName"), QStringLiteral("Scene 2"));
    welcome.page1->animationDidStop(removedEarly, false);
    EXPECT_EQ(welcome.page1->currentScene(), 2);
    EXPECT_EQ(welcome.dot(), 2);
}

TEST(WelcomeSceneMachine, ClicksOnTheButtonPlayTheScenesFromGreetingToHandOver)
{
    OpenWelcome welcome;
    welcome.open();
    Page1View* page1 = welcome.page1;
    EXPECT_EQ(welcome.dot(), 0);

    // Too early: it only locks, and the dots go blank until the intro is in.
    welcome.advance(1);
    welcome.clickButton();
    EXPECT_TRUE(page1->isAnimationInProgress());
    EXPECT_EQ(welcome.dot(), -1);
    welcome.advance(1.51);
    EXPECT_EQ(page1->currentScene(), 0);
    EXPECT_FALSE(page1->isAnimationInProgress());
    EXPECT_EQ(welcome.dot(), 0);

    welcome.clickButton();
    welcome.clickButton();
    EXPECT_TRUE(page1->isAnimationInProgress());
    EXPECT_FALSE(page1->page5()->isVisible());
    welcome.advance(0.51);
    EXPECT_TRUE(page1->page5()->isVisible());
    EXPECT_EQ(page1->page5()->geometry(), QRect(0, 93, 800, 412));
    EXPECT_EQ(page1->currentScene(), 0);

    // Each act ends its scene after its own length; a click inside one is ignored.
    const double sceneLengths[] = {0.6, 2, 1.5, 5, 1.5};
    for (int scene = 1; scene <= 5; ++scene) {
        if (scene > 1)
            welcome.clickButton();
        welcome.advance(sceneLengths[scene - 1] - 0.05);
        welcome.clickButton();
        EXPECT_EQ(page1->currentScene(), scene - 1) << scene;
        welcome.advance(0.06);
        EXPECT_EQ(page1->currentScene(), scene);
        EXPECT_EQ(welcome.dot(), scene);
        EXPECT_FALSE(page1->isAnimationInProgress());
        EXPECT_EQ(page1->eulaButton()->isVisible(), scene == 5);
    }
    EXPECT_EQ(page1->bottomButtonTextLayer()->string(), QStringLiteral("Let's go!"));
    EXPECT_EQ(page1->bottomButtonTextLayer()->name(), QStringLiteral("Next"));
    EXPECT_TRUE(welcome.fixture.log.isEmpty());

    welcome.clickButton();
    EXPECT_EQ(welcome.fixture.log, (QStringList {"main window made", "welcome closed"}));
    EXPECT_TRUE(welcome.fixture.delegate->mainWindowController()->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(welcome.fixture.delegate->welcomeWindowController(), nullptr);
}

TEST(WelcomeSceneMachine, TheFirstClickFadesTheIntroFromTheClickNotFromThree)
{
    OpenWelcome welcome;
    welcome.open();
    welcome.advance(4);
    welcome.clickButton();
    const Page1View* page1 = welcome.page1;
    const Animation* fadeOut = nullptr;
    std::function<void(const Layer&)> find = [&](const Layer& layer) {
        if (const Animation* animation = layer.animationForKey(QStringLiteral("fadeOutAnimation")))
            fadeOut = animation;
        if (layer.name() == QLatin1String("Icons")) {
            EXPECT_NE(layer.animationForKey(QStringLiteral("opacityAnimation")), nullptr);
        }
        for (const auto& sublayer : layer.sublayers())
            find(*sublayer);
    };
    find(*page1->rootLayer());
    ASSERT_NE(fadeOut, nullptr);
    EXPECT_DOUBLE_EQ(fadeOut->beginTime(), welcome.fixture.clock.currentMediaTime());
    EXPECT_EQ(fadeOut->value(QStringLiteral("animationName")).toString(), QStringLiteral("p1FadeOutAnimation"));
}

TEST(WelcomeSceneMachine, AnOverdueFadeInIsHeardBeforeALateClick)
{
    OpenWelcome welcome;
    StalledClock stalled;
    welcome.fixture.welcomeClock = &stalled;
    welcome.open();
    // The clock has not ticked since the build, yet the fade-in ended long ago.
    stalled.now += 3;
    welcome.clickButton();
    EXPECT_EQ(welcome.page1->currentScene(), 0);
    EXPECT_TRUE(welcome.page1->isAnimationInProgress());
    stalled.now += 0.6;
    welcome.clickButton();
    EXPECT_TRUE(welcome.page1->page5()->isVisible());
}

TEST(WelcomeSceneMachine, ClosingTheWelcomeByItsTitleBarHandsOverToo)
{
    OpenWelcome welcome;
    welcome.open();
    welcome.fixture.welcome()->close();
    EXPECT_EQ(welcome.fixture.log, (QStringList {"main window made", "welcome closed"}));
    ASSERT_NE(welcome.fixture.delegate->mainWindowController(), nullptr);
    EXPECT_TRUE(welcome.fixture.delegate->mainWindowController()->isVisible());
}

TEST(WelcomeSceneMachine, AFirstLaunchOpensTheWelcomeWindowAndNotTheMainWindow)
{
    initResources();
    WelcomeFixture fixture;
    DataFolders::setBaseFolderForTesting(fixture.folder.filePath(QStringLiteral("data")));
    fixture.delegate->applicationWillFinishLaunching();
    fixture.delegate->applicationDidFinishLaunching();
    QDeadlineTimer deadline(10000);
    while (!fixture.welcome() && !fixture.delegate->mainWindowController() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    DataFolders::setBaseFolderForTesting(QString());

    ASSERT_NE(fixture.welcome(), nullptr);
    EXPECT_TRUE(fixture.welcome()->isVisible());
    EXPECT_EQ(fixture.delegate->mainWindowController(), nullptr);
    QWidget* shown = nullptr;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->isVisible() && window->objectName() == QLatin1String("welcomeWindow"))
            shown = window;
    }
    EXPECT_EQ(shown, fixture.welcome());
    EXPECT_FALSE(fixture.log.contains(QStringLiteral("main window made")));
}
