#include "Pelorins/column/RFOverlayScroller.h"
#include "support/ColumnBoardFixture.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <functional>

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

    // The window system's enter and leave events follow the move, later on a loaded machine.
    static void movePointer(QPoint global, const std::function<bool()>& arrived)
    {
        QCursor::setPos(global);
        EXPECT_TRUE(QTest::qWaitFor(arrived, waitLimit));
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
    // Waits for what must happen end as soon as it has; this only bounds a failure.
    static constexpr int waitLimit = 30000;
};

TEST_F(ColumnPointer, TheScrollerShowsOverTheColumnUnderThePointerAndFadesWhenItLeaves)
{
    QCursor::setPos(1300, 850);
    showBoard();
    ASSERT_TRUE(QTest::qWaitFor([&] { return alpha(column(0)) == 0.0; }, waitLimit));

    movePointer(middleOf(column(0)), [&] { return alpha(column(0)) == 1.0; });
    EXPECT_EQ(alpha(column(1)), 0.0);

    // Scrolling under a resting pointer keeps the scroller past the delay.
    scroll(column(0));
    QTest::qWait(afterTheCheck);
    EXPECT_EQ(alpha(column(0)), 1.0);

    movePointer(middleOf(column(1)), [&] { return alpha(column(1)) == 1.0; });
    EXPECT_TRUE(QTest::qWaitFor([&] { return alpha(column(0)) == 0.0; }, waitLimit)) << "the column the pointer left";
    EXPECT_EQ(alpha(column(1)), 1.0);

    movePointer({1300, 850}, [&] { return alpha(column(1)) == 0.0; });
}

} // namespace
