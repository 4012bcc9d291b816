#include "Platform/widgets/WindowPlacement.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QWidget>
#include <QWindow>
#include <gtest/gtest.h>
#include <memory>

namespace {

// Runs the event loop until `done` holds or two seconds have passed.
template<typename Condition>
bool processEventsUntil(Condition done)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < 2000)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

void processEventsFor(int milliseconds)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < milliseconds)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
}

} // namespace

// A window placed before it is on screen hears once, after it is first exposed, that the
// desktop's frame around it is known; a window already on screen hears it after the current event.
TEST(WindowPlacement, WhenFramedRunsOnceTheWindowIsOnScreen)
{
    QWidget window;
    window.resize(300, 200);
    int calls = 0;
    bool exposedWhenCalled = false;
    WindowPlacement::whenFramed(window, [&] {
        ++calls;
        exposedWhenCalled = window.windowHandle()->isExposed();
    });
    processEventsFor(50);
    EXPECT_EQ(calls, 0) << "not before the window shows";

    window.show();
    ASSERT_TRUE(processEventsUntil([&] { return calls > 0; }));
    EXPECT_TRUE(exposedWhenCalled);
    window.hide();
    window.show();
    processEventsFor(50);
    EXPECT_EQ(calls, 1) << "once";

    WindowPlacement::whenFramed(window, [&] { ++calls; });
    EXPECT_EQ(calls, 1) << "not from inside the caller";
    ASSERT_TRUE(processEventsUntil([&] { return calls == 2; }));
}

TEST(WindowPlacement, WhenFramedCallsNothingOnceTheWindowIsGone)
{
    bool called = false;
    auto waiting = std::make_unique<QWidget>();
    WindowPlacement::whenFramed(*waiting, [&] { called = true; });
    waiting.reset();

    // Exposed, with the call queued, and gone before the call.
    auto shown = std::make_unique<QWidget>();
    shown->show();
    ASSERT_TRUE(processEventsUntil([&] { return shown->windowHandle()->isExposed(); }));
    WindowPlacement::whenFramed(*shown, [&] { called = true; });
    shown.reset();
    processEventsFor(50);
    EXPECT_FALSE(called);
}
