#include "Platform/widgets/Animator.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QScrollBar>
#include <QWidget>
#include <gtest/gtest.h>
#include <memory>

namespace {

template <typename Condition> bool spinUntil(Condition condition, int timeoutMs = 3000)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!condition() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return condition();
}

} // namespace

TEST(Animator, OutsideARunChangesLandAtOnce)
{
    Animator animator;
    QWidget parent;
    auto* child = new QWidget(&parent);
    animator.setGeometry(child, QRect(10, 20, 30, 40));
    EXPECT_EQ(child->geometry(), QRect(10, 20, 30, 40));
    EXPECT_FALSE(animator.isAnimating());
}

TEST(Animator, TestModeLandsAndCompletesBeforeRunReturns)
{
    Animator animator;
    animator.setFinishesAtOnce(true);
    QWidget parent;
    auto* child = new QWidget(&parent);
    QScrollBar bar(Qt::Horizontal);
    bar.setRange(0, 1000);
    QStringList order;
    animator.run(
        0.7,
        [&] {
            animator.setGeometry(child, QRect(300, 0, 300, 500));
            animator.setScrollValue(&bar, 640);
            order << "apply";
        },
        [&] {
            order << "first";
            animator.run(
                0.7, [&] { animator.setGeometry(child, QRect(0, 0, 300, 500)); }, [&] { order << "second"; });
        });
    EXPECT_EQ(order, QStringList({"apply", "first", "second"}));
    EXPECT_EQ(child->geometry(), QRect(0, 0, 300, 500));
    EXPECT_EQ(bar.value(), 640);
}

TEST(Animator, MovesOverTimeAndCompletesOnArrival)
{
    Animator animator;
    QWidget parent;
    auto* child = new QWidget(&parent);
    child->setGeometry(0, 0, 100, 100);
    bool completed = false;
    animator.run(
        0.15, [&] { animator.setGeometry(child, QRect(200, 0, 100, 100)); }, [&] { completed = true; });
    EXPECT_EQ(child->x(), 0);
    EXPECT_FALSE(completed);
    EXPECT_TRUE(animator.isAnimating());
    ASSERT_TRUE(spinUntil([&] { return child->x() > 0 && child->x() < 200; }));
    ASSERT_TRUE(spinUntil([&] { return completed; }));
    EXPECT_EQ(child->geometry(), QRect(200, 0, 100, 100));
    EXPECT_FALSE(animator.isAnimating());
}

TEST(Animator, ALaterChangeTakesOverAndEachRunCompletesOnce)
{
    Animator animator;
    QWidget parent;
    auto* child = new QWidget(&parent);
    child->setGeometry(0, 0, 100, 100);
    int first = 0;
    int second = 0;
    animator.run(
        10, [&] { animator.setGeometry(child, QRect(500, 0, 100, 100)); }, [&] { ++first; });
    // The first run no longer waits for a move that was taken over.
    animator.run(
        0.05, [&] { animator.setGeometry(child, QRect(50, 0, 100, 100)); }, [&] { ++second; });
    EXPECT_EQ(first, 1);
    ASSERT_TRUE(spinUntil([&] { return second == 1; }));
    EXPECT_EQ(child->geometry(), QRect(50, 0, 100, 100));
    // A change outside a run stops a move as well.
    animator.run(10, [&] { animator.setGeometry(child, QRect(900, 0, 100, 100)); });
    animator.setGeometry(child, QRect(7, 0, 100, 100));
    EXPECT_EQ(child->geometry(), QRect(7, 0, 100, 100));
    EXPECT_FALSE(animator.isAnimating());
}

TEST(Animator, AWidgetDestroyedWhileMovingEndsItsRun)
{
    Animator animator;
    auto parent = std::make_unique<QWidget>();
    auto* child = new QWidget(parent.get());
    bool completed = false;
    animator.run(
        10, [&] { animator.setGeometry(child, QRect(500, 0, 10, 10)); }, [&] { completed = true; });
    parent.reset();
    EXPECT_TRUE(completed);
    EXPECT_FALSE(animator.isAnimating());
}

TEST(Animator, ARunOfNoDurationOrNoChangeCompletesAtOnce)
{
    Animator animator;
    QWidget parent;
    auto* child = new QWidget(&parent);
    child->setGeometry(0, 0, 10, 10);
    int completions = 0;
    animator.run(
        0, [&] { animator.setGeometry(child, QRect(40, 0, 10, 10)); }, [&] { ++completions; });
    animator.run(
        0.3, [&] { animator.setGeometry(child, QRect(40, 0, 10, 10)); }, [&] { ++completions; });
    EXPECT_EQ(completions, 2);
    EXPECT_EQ(child->x(), 40);
}
