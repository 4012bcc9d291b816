#include "Pelorins/sidebar/KDLeftSidebarViewController.h"
#include "Pelorins/sidebar/SourceOutlineView.h"
#include "Pelorins/sidebar/SourceTreeModel.h"
#include "PelorinsKit/model/Folder.h"
#include "PelorinsKit/model/Kanban.h"
#include "support/SidebarHarness.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMouseEvent>
#include <QTimer>
#include <QWindow>
#include <gtest/gtest.h>

// A real drag session: QDrag does nothing under the offscreen platform, so this runs on a
// display (xvfb-run with QT_QPA_PLATFORM=xcb).

namespace {

void sendMouse(QWidget& window, QEvent::Type type, const QPoint& point, Qt::MouseButtons buttons)
{
    QMouseEvent event(type, point, window.mapToGlobal(point), Qt::LeftButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(window.windowHandle(), &event);
}

void waitUntil(const std::function<bool()>& done, int timeoutMs = 3000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < timeoutMs) {
        QEventLoop loop;
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
    }
}

} // namespace

TEST(SidebarDrag, ABoardDraggedOntoAFolderMovesIntoIt)
{
    if (QGuiApplication::platformName() == QLatin1String("offscreen"))
        GTEST_SKIP() << "a drag needs a display: run under xvfb-run with QT_QPA_PLATFORM=xcb";

    SidebarHarness harness;
    ASSERT_TRUE(harness.store.isOpen());
    Kanban* plan = harness.build.addBoard(QStringLiteral("Plan"));
    harness.build.addBoard(QStringLiteral("Home"));
    Folder* archive = harness.build.addFolder(QStringLiteral("Archive"));
    harness.build.addBoard(QStringLiteral("Old"), {}, archive);
    KDLeftSidebarViewController& sidebar = harness.makeSidebar();
    sidebar.setGeometry(40, 40, 260, 400);
    sidebar.show();
    waitUntil([&] { return sidebar.windowHandle() && sidebar.windowHandle()->isExposed(); });
    ASSERT_TRUE(sidebar.windowHandle()->isExposed());

    SourceOutlineView& outline = *sidebar.outlineView();
    const QRect planRow = outline.visualRect(sidebar.model()->indexForItem(plan));
    const QRect archiveRow = outline.visualRect(sidebar.model()->indexForItem(archive));
    const QPoint pressed = outline.viewport()->mapTo(&sidebar, planRow.center());
    const QPoint overFolder = outline.viewport()->mapTo(&sidebar, archiveRow.center());
    outline.selectRow(0, false);
    sendMouse(sidebar, QEvent::MouseButtonPress, pressed, Qt::LeftButton);

    // The pointer moves until the drag begins; the drag runs its own event loop, inside which the
    // pointer moves on and is released, each step a while after the one before, however busy the
    // machine is.
    QList<std::function<void()>> steps {
        [&] { sendMouse(sidebar, QEvent::MouseMove, overFolder - QPoint(0, 4), Qt::LeftButton); },
        [&] { sendMouse(sidebar, QEvent::MouseMove, overFolder, Qt::LeftButton); },
        [&] { sendMouse(sidebar, QEvent::MouseButtonRelease, overFolder, Qt::NoButton); },
    };
    // The drag blocks the timer that began it, so another one steps through it.
    QTimer starter;
    starter.setInterval(150);
    QObject::connect(&starter, &QTimer::timeout, [&] {
        if (sidebar.draggedItems().isEmpty() && steps.size() == 3)
            sendMouse(sidebar, QEvent::MouseMove, pressed + QPoint(0, 30), Qt::LeftButton);
    });
    QTimer stepper;
    stepper.setInterval(150);
    QObject::connect(&stepper, &QTimer::timeout, [&] {
        if (!sidebar.draggedItems().isEmpty() && !steps.isEmpty())
            steps.takeFirst()();
    });
    starter.start();
    stepper.start();
    waitUntil([&] { return plan->parent() == archive; }, 10000);
    starter.stop();
    stepper.stop();

    EXPECT_EQ(SidebarHarness::tree(harness.build.root()), QStringLiteral("Home Archive[Old Plan]"));
    EXPECT_TRUE(outline.isExpanded(sidebar.model()->indexForItem(archive)));
    EXPECT_TRUE(sidebar.draggedItems().isEmpty());
    EXPECT_GE(harness.saves, 1);
}
