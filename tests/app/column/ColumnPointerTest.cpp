#include "Pelorins/column/RFOverlayScroller.h"
#include "support/ColumnBoardFixture.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

namespace {

// The pointer here is the display's own: moving it makes the window system send the enter and
// leave events, as it does for a user, so these run only on a display (xvfb-run).
class ColumnPointer : public ColumnBoardFixture
{
protected:
    void SetUp() override
    {
        if (QGuiApplication::platformName() == "offscreen")
            GTEST_SKIP() << "the pointer needs a display: run under xvfb-run with QT_QPA_PLATFORM=xcb";
        ColumnBoardFixture::SetUp();
        makeBoard({QStringLiteral("A"), QStringLiteral("B")});
        addCards(stage(0), 40);
        addCards(stage(1), 40);
    }

    void showBoard()
    {
        show();
        board.scrollView()->setGeometry(0, 0, 1000, 700);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(board.scrollView()));
        board.layOut();
    }

    QPoint middleOf(MacKanbanColumnController& controller)
    {
        QWidget* list = controller.collectionView();
        return list->mapToGlobal(list->rect().center());
    }

    static void movePointer(QPoint global)
    {
        QCursor::setPos(global);
        QTest::qWait(300);
    }

    static qreal alpha(MacKanbanColumnController& controller)
    {
        return controller.collectionView()->overlayScroller()->alphaValue();
    }

    static void scroll(MacKanbanColumnController& controller)
    {
        QScrollBar* bar = controller.collectionView()->verticalScrollBar();
        bar->setValue(bar->value() + 120);
    }

    static constexpr int afterTheCheck
        = RFOverlayScroller::fadeOutCheckDelay + RFOverlayScroller::fadeOutDuration + 400;

    static bool shown(MacKanbanColumnController& controller)
    {
        return QTest::qWaitFor([&] { return alpha(controller) == 1.0; }, 30000);
    }

    // After the span a fade takes, waits on for it to end: a loaded machine runs it late.
    static bool fadedAfter(MacKanbanColumnController& controller, int milliseconds)
    {
        QTest::qWait(milliseconds);
        return QTest::qWaitFor([&] { return alpha(controller) == 0.0; }, 30000);
    }
};

TEST_F(ColumnPointer, TheScrollerShowsOverTheColumnUnderThePointerAndFadesWhenItLeaves)
{
    movePointer({1300, 850});
    showBoard();
    ASSERT_TRUE(fadedAfter(column(0), afterTheCheck));

    movePointer(middleOf(column(0)));
    EXPECT_TRUE(shown(column(0)));
    EXPECT_EQ(alpha(column(1)), 0.0);

    // Scrolling under a resting pointer keeps the scroller past the delay.
    scroll(column(0));
    QTest::qWait(afterTheCheck);
    EXPECT_EQ(alpha(column(0)), 1.0);

    movePointer(middleOf(column(1)));
    EXPECT_TRUE(fadedAfter(column(0), RFOverlayScroller::fadeOutDuration)) << "the column the pointer left";
    EXPECT_TRUE(shown(column(1)));

    movePointer({1300, 850});
    EXPECT_TRUE(fadedAfter(column(1), RFOverlayScroller::fadeOutDuration));
}

} // namespace
