#include "Pelorins/welcome/AnimatedWelcomeViewController.h"
#include "Pelorins/welcome/Page1View.h"
#include "Pelorins/welcome/WelcomeBottomButton.h"
#include "WelcomeFixture.h"

#include <QApplication>
#include <QDialog>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

// Resources are initialised outside any namespace.
static void initResources()
{
    Q_INIT_RESOURCE(PelorinsResources);
}

TEST(WelcomeWindow, CentresAFrameInTheScreensAvailableArea)
{
    const struct
    {
        QRect available;
        QRect expected;
    } cases[] = {
        {{0, 0, 1440, 900}, {320, 150, 800, 600}},
        {{0, 0, 1024, 576}, {112, 0, 800, 576}},
        {{0, 0, 700, 500}, {0, 0, 700, 500}},
        // A second screen, and a panel along the top of the first.
        {{1440, 0, 1440, 900}, {1760, 150, 800, 600}},
        {{0, 32, 1440, 868}, {320, 166, 800, 600}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(WelcomeWindowController::centredFrame(c.available, QSize(800, 600)), c.expected) << c.available.x();
}

TEST(WelcomeWindow, TheFirstOpeningCentresTheWindowOnceAndRemembersIt)
{
    WelcomeFixture fixture;
    fixture.delegate->showWelcomeScreen(nullptr);
    WelcomeWindowController* window = fixture.welcome();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->objectName(), QStringLiteral("welcomeWindow"));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Welcome to Pelorins"));
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->frameGeometry().topLeft(), QPoint(320, 150));
    EXPECT_EQ(window->size(), QSize(800, 600));
    EXPECT_TRUE(fixture.defaults.boolForKey(QStringLiteral("welcomeWindowPositionSet")));

    // A smaller screen clamps the window, title bar and all, to it.
    fixture.screen = QRect(0, 0, 1024, 576);
    window->centreWindow();
    const int decoration = window->frameGeometry().height() - window->height();
    EXPECT_EQ(window->frameGeometry().top(), 0);
    EXPECT_EQ(window->frameGeometry().height(), 576);
    EXPECT_NEAR(window->frameGeometry().center().x(), 512, 1);
    EXPECT_EQ(window->windowHeight(), 576 - decoration);
    // The pages stand on the window's bottom edge, as they do on the Mac, so that a window
    // shorter than they are loses the top of the greeting and keeps the button that goes on.
    QApplication::processEvents();
    const QWidget* next = window->contentViewController()->page1()->bottomButton();
    const QRect nextInWindow(next->mapTo(window, QPoint(0, 0)), next->size());
    EXPECT_TRUE(window->rect().contains(nextInWindow))
        << nextInWindow.y() << " + " << nextInWindow.height() << " in " << window->height();
}

// Opened before any other window, the welcome is sized without knowing the desktop's frame; once
// on screen it fits its frame, title bar included, into the screen's free area (the ctest case
// Welcome.UnderWindowManager runs this on a small screen with a frame and a panel).
TEST(WelcomeWindow, TheFirstOpeningLiesInsideTheScreensFreeAreaOnceFramed)
{
    WelcomeFixture fixture;
    fixture.screen = WelcomeWindowController::mainScreenArea();
    ASSERT_TRUE(fixture.screen);
    const QRect available = *fixture.screen;
    fixture.delegate->showWelcomeScreen(nullptr);
    WelcomeWindowController* window = fixture.welcome();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    EXPECT_TRUE(QTest::qWaitFor([&] { return available.contains(window->frameGeometry()); }, 5000))
        << window->frameGeometry().y() << " " << window->frameGeometry().height() << " on " << available.y() << " "
        << available.height();
    EXPECT_NEAR(window->frameGeometry().center().x(), available.center().x(), 1);
}

// Left to the desktop, a later opening could land anywhere, even half off the screen.
TEST(WelcomeWindow, AnOpeningAfterTheFirstIsCentredAtTheSizeItHas)
{
    WelcomeFixture fixture;
    fixture.defaults.setValue(QStringLiteral("welcomeWindowPositionSet"), true);
    WelcomeWindowController window(
        *fixture.delegate, fixture.defaults, fixture.clock, [] { return std::optional<QRect>(QRect(100, 0, 1440, 900)); });
    EXPECT_EQ(window.pos(), QPoint(420, 150));
    EXPECT_EQ(window.size(), QSize(800, 600));
    EXPECT_EQ(window.windowWidth(), 800);
    EXPECT_EQ(window.preferenceKey(), QStringLiteral("welcomeWindowPositionSet"));
}

TEST(WelcomeWindow, WithNoScreenTheKeyIsSetAllTheSame)
{
    WelcomeFixture fixture;
    fixture.screen = std::nullopt;
    fixture.delegate->showWelcomeScreen(nullptr);
    ASSERT_NE(fixture.welcome(), nullptr);
    EXPECT_EQ(fixture.welcome()->size(), QSize(800, 600));
    EXPECT_TRUE(fixture.defaults.boolForKey(QStringLiteral("welcomeWindowPositionSet")));
}

TEST(WelcomeWindow, ASecondOpeningBringsTheOpenWindowForward)
{
    WelcomeFixture fixture;
    fixture.delegate->showWelcomeScreen(nullptr);
    QWidget* first = fixture.welcome();
    first->hide();
    fixture.delegate->showWelcomeScreen(nullptr);
    EXPECT_EQ(fixture.welcomesMade, 1);
    EXPECT_EQ(fixture.welcome(), first);
    EXPECT_TRUE(first->isVisible());
}

TEST(WelcomeWindow, AWelcomeThatCannotBeMadeOpensTheMainWindowInstead)
{
    WelcomeFixture fixture;
    AppDelegate::Services services {fixture.defaults, fixture.manager, fixture.calendar, fixture.updater,
        fixture.alerts,
        [&]() -> std::unique_ptr<QWidget> {
            auto window = std::make_unique<QWidget>();
            window->setObjectName(QLatin1String(AppDelegate::mainWindowIdentifier));
            return window;
        },
        [](AppDelegate&) { return std::unique_ptr<QWidget>(); }, {}, {}, nullptr};
    AppDelegate delegate(std::move(services));
    delegate.showWelcomeScreen(nullptr);
    EXPECT_EQ(delegate.welcomeWindowController(), nullptr);
    ASSERT_NE(delegate.mainWindowController(), nullptr);
    EXPECT_TRUE(delegate.mainWindowController()->isVisible());
}

TEST(WelcomeWindow, EachClickOnTheAgreementButtonOpensTheLicenceOnce)
{
    initResources();
    WelcomeFixture fixture;
    fixture.delegate->showWelcomeScreen(nullptr);
    AnimatedWelcomeViewController* content = fixture.welcome()->contentViewController();
    QPushButton* button = content->page1()->eulaButton();
    button->show();
    const auto dialogs = [&] { return content->findChildren<QDialog*>(QStringLiteral("showEULA")); };

    button->click();
    ASSERT_EQ(dialogs().size(), 1);
    QDialog* dialog = dialogs().first();
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->windowModality(), Qt::WindowModal);
    EXPECT_TRUE(
        dialog->findChild<QPlainTextEdit*>()->toPlainText().contains(QStringLiteral("GNU GENERAL PUBLIC LICENSE")));

    dialog->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(dialogs().isEmpty());
    button->click();
    EXPECT_EQ(dialogs().size(), 1);
}
