#include "Pelorins/shell/AccessibleFactory.h"
#include "Pelorins/welcome/AnimatedWelcomeViewController.h"
#include "Pelorins/welcome/KDPageControl.h"
#include "Pelorins/welcome/Page1View.h"
#include "Pelorins/welcome/WelcomeBottomButton.h"
#include "WelcomeFixture.h"
#include "support/QStringPrinting.h"

#include <QAccessible>
#include <QApplication>
#include <QDialog>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

// Resources are initialised outside any namespace.
static void initResources()
{
    Q_INIT_RESOURCE(PelorinsResources);
}

namespace {

QString nameOf(QObject* object)
{
    return QAccessible::queryAccessibleInterface(object)->text(QAccessible::Name);
}

// Presses a key where the keyboard focus is, as a user without a pointer does.
void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QWidget* focus = QApplication::focusWidget();
    ASSERT_NE(focus, nullptr);
    QTest::keyClick(focus, key, modifiers);
}

} // namespace

TEST(WelcomeKeyboard, KeysAloneTakeTheWelcomeFromTheGreetingToTheMainWindow)
{
    initResources();
    AccessibleFactory::install();
    WelcomeFixture fixture;
    fixture.delegate->showWelcomeScreen(nullptr);
    QWidget* window = fixture.welcome();
    Page1View* page1 = fixture.welcome()->contentViewController()->page1();
    QApplication::setActiveWindow(window);
    const auto advance = [&](double seconds) { fixture.clock.advanceBy(seconds); };

    // The bottom button has the keyboard from the start, and is named as it reads.
    EXPECT_EQ(QApplication::focusWidget(), page1->bottomButton());
    EXPECT_EQ(nameOf(page1->bottomButton()), QStringLiteral("Next"));
    QAccessibleInterface* dots = QAccessible::queryAccessibleInterface(page1->pager());
    ASSERT_NE(dots->valueInterface(), nullptr);
    EXPECT_EQ(dots->text(QAccessible::Name), QStringLiteral("Welcome Page"));

    advance(2.51);
    ASSERT_EQ(page1->currentScene(), 0);
    EXPECT_EQ(dots->text(QAccessible::Value), QStringLiteral("Page 1 of 6"));
    press(Qt::Key_Return);
    EXPECT_TRUE(page1->isAnimationInProgress());
    advance(0.51);
    advance(0.61);
    ASSERT_EQ(page1->currentScene(), 1);

    press(Qt::Key_Space);
    advance(2.01);
    ASSERT_EQ(page1->currentScene(), 2);

    // Tab passes the hidden agreement by and reaches the dots, whose right arrow goes on; there
    // is no going back.
    press(Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), page1->pager());
    press(Qt::Key_Left);
    EXPECT_FALSE(page1->isAnimationInProgress());
    press(Qt::Key_Right);
    advance(1.51);
    ASSERT_EQ(page1->currentScene(), 3);
    EXPECT_EQ(dots->valueInterface()->currentValue().toInt(), 4);
    EXPECT_EQ(dots->text(QAccessible::Value), QStringLiteral("Page 4 of 6"));

    press(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), page1->bottomButton());
    press(Qt::Key_Enter);
    advance(5.01);
    ASSERT_EQ(page1->currentScene(), 4);
    press(Qt::Key_Return);
    advance(1.51);
    ASSERT_EQ(page1->currentScene(), 5);
    EXPECT_EQ(nameOf(page1->bottomButton()), QStringLiteral("Let's go!"));

    // The agreement comes next in the Tab order once it shows, and Return opens it.
    press(Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), page1->eulaButton());
    press(Qt::Key_Return);
    auto* agreement = window->findChild<QDialog*>(QLatin1String(AnimatedWelcomeViewController::eulaDialogName));
    ASSERT_NE(agreement, nullptr);
    agreement->accept();
    QApplication::setActiveWindow(window);

    press(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), page1->bottomButton());
    EXPECT_TRUE(fixture.log.isEmpty());
    press(Qt::Key_Return);
    EXPECT_EQ(fixture.log, (QStringList {"main window made", "welcome closed"}));
}
