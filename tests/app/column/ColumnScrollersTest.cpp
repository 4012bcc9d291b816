#include "Pelorins/column/RFOverlayScroller.h"
#include "Pelorins/column/VerticalScrollerDelegate.h"
#include "support/ColumnBoardFixture.h"

#include <QApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QWheelEvent>

namespace {

class Pointer : public VerticalScrollerDelegate
{
public:
    bool inside = false;
    bool mouseIsWithinBounds() const override { return inside; }
};

void wait(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

class ColumnScrollers : public ColumnBoardFixture
{
protected:
    void SetUp() override
    {
        ColumnBoardFixture::SetUp();
        makeBoard({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"), QStringLiteral("D"),
            QStringLiteral("E"), QStringLiteral("F")});
        addCards(stage(0), 40);
        show();
        // The board is wider than its view, so it can scroll sideways.
        board.document().resize(2200, 900);
        board.scrollView()->resize(1000, 900);
        board.layOut();
    }

    // One wheel event over the column's list, delivered as the platform delivers it: to the
    // widget under the pointer, then up through its parents until one takes it.
    void wheel(QPoint delta, Qt::ScrollPhase phase)
    {
        QWidget* target = list()->viewport();
        const QPointF at(50, 300);
        QWheelEvent event(at, target->mapToGlobal(at), delta, delta, Qt::NoButton, Qt::NoModifier, phase, false,
            Qt::MouseEventSynthesizedBySystem);
        QApplication::sendEvent(target, &event);
    }

    ColumnCollectionView* list() { return column(0).collectionView(); }
    int listOffset() { return list()->verticalScrollBar()->value(); }
    int boardOffset() { return board.scrollView()->horizontalScrollBar()->value(); }
};

TEST_F(ColumnScrollers, AGestureKeepsTheDirectionItStartedWithThroughItsMomentum)
{
    struct Step
    {
        QPoint delta;
        Qt::ScrollPhase phase;
        bool listMoves;
        bool boardMoves;
    };
    const QList<std::pair<const char*, QList<Step>>> gestures = {
        {"sideways, turning vertical",
            {{{-30, -4}, Qt::ScrollBegin, false, true}, {{0, -40}, Qt::ScrollUpdate, false, false},
                {{0, -40}, Qt::ScrollMomentum, false, false}, {{-20, 0}, Qt::ScrollMomentum, false, true},
                {{0, 0}, Qt::ScrollEnd, false, false}}},
        {"vertical, turning sideways",
            {{{-4, -30}, Qt::ScrollBegin, true, false}, {{-40, 0}, Qt::ScrollUpdate, false, false},
                {{-2, -40}, Qt::ScrollMomentum, true, false}, {{0, 0}, Qt::ScrollEnd, false, false}}},
        {"a mouse wheel decides at every notch",
            {{{-30, -30}, Qt::NoScrollPhase, true, false}, {{-30, 0}, Qt::NoScrollPhase, false, true},
                {{0, -30}, Qt::NoScrollPhase, true, false}}},
        {"a gesture that begins without a direction takes its first move's",
            {{{0, 0}, Qt::ScrollBegin, false, false}, {{-25, -5}, Qt::ScrollUpdate, false, true},
                {{0, -30}, Qt::ScrollUpdate, false, false}}},
    };
    for (const auto& [name, steps] : gestures) {
        list()->verticalScrollBar()->setValue(list()->verticalScrollBar()->maximum() / 2);
        board.scrollView()->horizontalScrollBar()->setValue(board.scrollView()->horizontalScrollBar()->maximum() / 2);
        for (const Step& step : steps) {
            const int listBefore = listOffset();
            const int boardBefore = boardOffset();
            wheel(step.delta, step.phase);
            EXPECT_EQ(listOffset() != listBefore, step.listMoves)
                << name << " at " << step.delta.x() << "," << step.delta.y();
            EXPECT_EQ(boardOffset() != boardBefore, step.boardMoves)
                << name << " at " << step.delta.x() << "," << step.delta.y();
        }
    }
}

// A sideways delta scrolls the board wherever it lands on a column, its floating scroller
// included, while a vertical one over that scroller still scrolls the column.
TEST_F(ColumnScrollers, SidewaysStepsScrollTheBoardEvenOverAColumnsScroller)
{
    for (int stage = 1; stage < 4; ++stage)
        addCards(this->stage(stage), 40);
    board.removeColumns();
    show();
    board.document().resize(2200, 900);
    board.scrollView()->resize(1000, 900);
    board.layOut();
    QWidget* window = board.scrollView()->window();
    const auto offsets = [&] {
        QList<int> values;
        for (int stage = 0; stage < 4; ++stage)
            values.append(column(stage).collectionView()->verticalScrollBar()->value());
        return values;
    };
    const auto wheelAt = [&](QPoint global, QPoint delta) {
        QWidget* target = window->childAt(window->mapFromGlobal(global));
        EXPECT_TRUE(target);
        const QPointF at = target->mapFromGlobal(QPointF(global));
        QWheelEvent event(
            at, global, QPoint(), delta, Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false, Qt::MouseEventNotSynthesized);
        QApplication::sendEvent(target, &event);
        return target;
    };

    // Over the right edge of a column, where its scroller floats; quick notches carry the other
    // columns' scrollers under the pointer.
    board.scrollView()->horizontalScrollBar()->setValue(600);
    ColumnCollectionView* fourth = column(3).collectionView();
    RFOverlayScroller* scroller = fourth->overlayScroller();
    const QPoint overScroller = scroller->mapToGlobal(QPoint(scroller->width() / 2, 200));
    EXPECT_EQ(wheelAt(overScroller, QPoint(0, -120)), scroller);
    EXPECT_GT(fourth->verticalScrollBar()->value(), 0) << "a vertical notch over the scroller scrolls its column";
    fourth->verticalScrollBar()->setValue(0);
    const QList<int> before = offsets();
    for (int notch = 0; notch < 8; ++notch) {
        const int boardBefore = boardOffset();
        wheelAt(overScroller, QPoint(-120, 0));
        EXPECT_NE(boardOffset(), boardBefore) << "notch " << notch;
        EXPECT_EQ(offsets(), before) << "no column scrolls, notch " << notch;
    }
}

TEST_F(ColumnScrollers, TheScrollerFloatsBelowTheTopBandAndTakesNoRoom)
{
    RFOverlayScroller* scroller = list()->overlayScroller();
    EXPECT_EQ(list()->viewport()->width(), list()->width()) << "the content keeps the whole width";
    EXPECT_EQ(scroller->geometry(),
        QRect(list()->width() - RFOverlayScroller::scrollerWidth, 40 + 38, RFOverlayScroller::scrollerWidth,
            list()->height() - 40 - 38));
    EXPECT_EQ(scroller->maximum(), list()->verticalScrollBar()->maximum());

    board.setStoredMagnification(0.5);
    list()->setMagnification(0.5);
    EXPECT_EQ(scroller->geometry().top(), 40 + 38) << "below the header band at every zoom";

    // Dragging the knob scrolls the list.
    scroller->setValue(300);
    EXPECT_EQ(listOffset(), 300);
}

TEST_F(ColumnScrollers, TheScrollerFadesAfterTheLastStepUnlessThePointerIsOverTheColumn)
{
    RFOverlayScroller* scroller = list()->overlayScroller();
    Pointer pointer;
    scroller->setDelegate(&pointer);
    const auto scrollSteps = [&](int count) {
        for (int i = 0; i < count; ++i) {
            list()->verticalScrollBar()->setValue(listOffset() + 60);
            wait(100);
        }
    };
    EXPECT_EQ(scroller->alphaValue(), 0.0);
    // Scrolling on for longer than the delay keeps it shown.
    scrollSteps(18);
    EXPECT_GT(scroller->alphaValue(), 0.99);
    EXPECT_TRUE(scroller->isFadeOutCheckPending());
    wait(RFOverlayScroller::fadeOutCheckDelay + RFOverlayScroller::fadeOutDuration + 300);
    EXPECT_EQ(scroller->alphaValue(), 0.0) << "faded once the pointer was found outside";

    pointer.inside = true;
    scrollSteps(1);
    wait(RFOverlayScroller::fadeOutCheckDelay + RFOverlayScroller::fadeOutDuration + 300);
    EXPECT_EQ(scroller->alphaValue(), 1.0) << "kept while the pointer rests over the column";

    // A pointer that goes without a leave event (it was there before the column appeared) is
    // found gone at the next look.
    pointer.inside = false;
    wait(RFOverlayScroller::fadeOutCheckDelay + RFOverlayScroller::fadeOutDuration + 300);
    EXPECT_EQ(scroller->alphaValue(), 0.0);

    // The pointer leaving the column fades it at once.
    pointer.inside = true;
    scrollSteps(1);
    wait(RFOverlayScroller::fadeOutCheckDelay + 300);
    EXPECT_EQ(scroller->alphaValue(), 1.0);
    pointer.inside = false;
    QCursor::setPos(5000, 5000);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(list(), &leave);
    wait(RFOverlayScroller::fadeOutDuration + 200);
    EXPECT_EQ(scroller->alphaValue(), 0.0);
}

} // namespace

// The wheel over any header scrolls the list under it: a stage's header passes it on, and a day's
// header, which has nothing of its own to scroll, lets it through to the list.
TEST_F(ColumnScrollers, TheWheelOverAStageOrDayHeaderScrollsItsList)
{
    for (int day = 0; day < 6; ++day) {
        DoneDate* group = builder.addDoneGroup(kanban, dayStart(day));
        for (int card = 0; card < 8; ++card)
            builder.addDoneCard(kanban, group);
    }
    doneColumn().reloadData();
    const QList<std::pair<const char*, MacKanbanColumnController*>> columns
        = {{"a stage", &column(0)}, {"the done column", &doneColumn()}};
    for (const auto& [name, controller] : columns) {
        ColumnCollectionView* view = controller->collectionView();
        view->verticalScrollBar()->setValue(view->verticalScrollBar()->maximum() / 2);
        // A stage shows its header above its list; the done column's day headers are in it.
        QWidget* target = controller->topHeaderView();
        for (int section = 0; section < view->numberOfSections() && !target; ++section) {
            ListItemHeaderCellView* shown = header(*controller, section);
            if (shown && shown->isVisible())
                target = shown;
        }
        ASSERT_NE(target, nullptr) << name;
        const int before = view->verticalScrollBar()->value();
        const QPointF at(20, 10);
        QWheelEvent event(at, target->mapToGlobal(at), QPoint(0, -30), QPoint(0, -30), Qt::NoButton, Qt::NoModifier,
            Qt::NoScrollPhase, false, Qt::MouseEventSynthesizedBySystem);
        QApplication::sendEvent(target, &event);
        EXPECT_GT(view->verticalScrollBar()->value(), before) << name;
    }
}
