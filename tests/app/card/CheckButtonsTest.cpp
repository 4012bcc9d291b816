#include "Pelorins/card/CheckedButton.h"
#include "Pelorins/card/ChecklistButton.h"

#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {

void send(QWidget& widget, QEvent::Type type, QPoint at, Qt::MouseButtons buttons)
{
    QMouseEvent event(type, at, widget.mapToGlobal(at), Qt::LeftButton, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(&widget, &event);
}

// A press inside, drags through the given points, and a release at the last one.
void click(QWidget& widget, const QList<QPoint>& path)
{
    send(widget, QEvent::MouseButtonPress, path.first(), Qt::LeftButton);
    for (const QPoint& point : path.mid(1))
        send(widget, QEvent::MouseMove, point, Qt::LeftButton);
    send(widget, QEvent::MouseButtonRelease, path.last(), Qt::NoButton);
}

class CheckButtons : public ::testing::Test
{
protected:
    void SetUp() override { AnimatedCheckButton::setTimeScale(0.05); }
    void TearDown() override { AnimatedCheckButton::setTimeScale(1.0); }
};

using CheckedButtonTest = CheckButtons;
using ChecklistButtonTest = CheckButtons;

} // namespace

TEST_F(CheckedButtonTest, APressDraggedOutSendsNothingAndDraggingBackInCounts)
{
    CheckedButton button;
    QSignalSpy told(&button, &CheckedButton::checkButtonTapped);
    const QPoint inside(9, 9), outside(40, 40);

    send(button, QEvent::MouseButtonPress, inside, Qt::LeftButton);
    EXPECT_DOUBLE_EQ(button.circleScale(), 0.9) << "the pressed look previews the tick, smaller";
    EXPECT_TRUE(button.isTickShown());
    send(button, QEvent::MouseMove, outside, Qt::LeftButton);
    EXPECT_DOUBLE_EQ(button.circleScale(), 1.0);
    EXPECT_FALSE(button.isTickShown());
    send(button, QEvent::MouseButtonRelease, outside, Qt::NoButton);
    QTest::qWait(100);
    EXPECT_EQ(told.count(), 0);
    EXPECT_FALSE(button.buttonClicked());

    click(button, {inside, outside, inside});
    EXPECT_TRUE(button.buttonClicked());
    EXPECT_TRUE(told.wait(1000));
    EXPECT_EQ(button.state(), 0) << "the owner flips the state, never the click";
}

TEST_F(CheckedButtonTest, AnOffBoxTellsAfterTheStrokeAndTheDelayAnOnBoxAtOnce)
{
    CheckedButton button;
    QSignalSpy told(&button, &CheckedButton::checkButtonTapped);
    click(button, {{9, 9}});
    EXPECT_EQ(told.count(), 0);
    // Stroke 0.3 s and delay 0.7 s, scaled by 0.05: about 50 ms in all.
    QTest::qWait(25);
    EXPECT_EQ(told.count(), 0) << "told before the delay after the stroke";
    EXPECT_TRUE(told.wait(1000));
    EXPECT_EQ(told.count(), 1);
    EXPECT_EQ(button.fillColour(), button.palette().color(QPalette::Highlight));

    button.setState(1);
    told.clear();
    click(button, {{9, 9}});
    EXPECT_EQ(told.count(), 1) << "an on box tells at once, without animating";
    EXPECT_FALSE(button.isAnimating());
}

TEST_F(CheckedButtonTest, SetStateMidAnimationSnapsToTheNewLook)
{
    AnimatedCheckButton::setTimeScale(1.0);
    CheckedButton button;
    QSignalSpy told(&button, &CheckedButton::checkButtonTapped);
    click(button, {{9, 9}});
    QTest::qWait(60);
    ASSERT_TRUE(button.isAnimating());
    button.setState(0);
    EXPECT_FALSE(button.isAnimating());
    EXPECT_FALSE(button.buttonClicked());
    EXPECT_EQ(button.fillColour().alpha(), 0) << "off again, unfilled";
    EXPECT_DOUBLE_EQ(button.circleScale(), 1.0);
    QTest::qWait(1200);
    EXPECT_EQ(told.count(), 0) << "a stopped animation tells nobody";
}

TEST_F(CheckedButtonTest, TheDelayedMessageDiesWithTheButton)
{
    auto* button = new CheckedButton;
    int told = 0;
    QObject::connect(button, &CheckedButton::checkButtonTapped, [&] { ++told; });
    click(*button, {{9, 9}});
    QTest::qWait(25); // the stroke is done, the delay runs
    delete button;
    QTest::qWait(100);
    EXPECT_EQ(told, 0);
}

TEST_F(ChecklistButtonTest, AnimatesBothWaysAndTellsWhenTheStrokeEnds)
{
    ChecklistButton button;
    button.setTag(2);
    QSignalSpy told(&button, &ChecklistButton::checkUncheckLine);
    for (const int state : {0, 1}) {
        button.setState(state);
        click(button, {{8, 8}});
        EXPECT_TRUE(button.isAnimating()) << "state " << state;
        EXPECT_TRUE(told.wait(1000));
        EXPECT_EQ(told.count(), 1);
        EXPECT_EQ(told.takeFirst().at(0).value<ChecklistButton*>()->tag(), 2);
        EXPECT_EQ(button.state(), state);
    }
}

TEST_F(ChecklistButtonTest, DarkPalettesBorderTheOffBoxInTheSecondaryLabelColour)
{
    ChecklistButton button;
    QPalette dark = button.palette();
    dark.setColor(QPalette::Window, QColor(30, 30, 30));
    dark.setColor(QPalette::Text, Qt::white);
    button.setPalette(dark);
    button.setState(0);
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(Qt::black);
    button.render(&image);
    // The border's left edge, half-way down: white at half strength over black.
    EXPECT_NEAR(qGray(image.pixel(0, 8)), 128, 40);

    QPalette light = button.palette();
    light.setColor(QPalette::Window, Qt::white);
    light.setColor(QPalette::Text, Qt::black);
    image.fill(Qt::white);
    button.setPalette(light);
    button.render(&image);
    EXPECT_NEAR(qGray(image.pixel(0, 8)), 189, 30) << "black at tertiary strength over white";
}
