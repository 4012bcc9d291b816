#include "CardBoardFixture.h"

#include "Pelorins/card/NotesTextView.h"
#include "Pelorins/column/KanbanColumnCollectionViewFlowLayout.h"
#include "Pelorins/common/AppConstants.h"
#include "Platform/widgets/DragPictureWindow.h"
#include "PelorinsKit/board/CardHistory.h"
#include "PelorinsKit/board/CardPlacement.h"
#include "PelorinsKit/model/ListItemAction.h"
#include "PelorinsKit/model/Tag.h"

#include <QCursor>
#include <QDragMoveEvent>
#include <QMimeData>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <memory>

namespace {

using Operation = SectionedListViewDragDelegate::DropOperation;

class CardDrag : public CardBoardFixture
{
protected:
    // Starts a drag of the rows out of the column as its list would; the data it carries.
    static std::unique_ptr<QMimeData> startDrag(MacKanbanColumnController* column, const QList<IndexPath>& paths)
    {
        std::unique_ptr<QMimeData> data(column->mimeDataForItems(column->collectionView(), paths));
        column->dragWillBegin(column->collectionView(), QSet<IndexPath>(paths.cbegin(), paths.cend()), paths.first());
        return data;
    }

    // The pointer of a drag at `fraction` of the row's height, in the list's viewport.
    static QPoint pointIn(MacKanbanColumnController* column, const IndexPath& path, qreal fraction)
    {
        SectionedListView* list = column->collectionView();
        const QRect frame = list->itemFrame(path);
        return {list->viewport()->width() / 2, frame.top() + int(frame.height() * fraction) - list->contentOffset()};
    }

    // A drag moving over the list at the point: what the column proposes.
    static std::optional<IndexPath> dragOver(
        MacKanbanColumnController* column, const QPoint& point, const QMimeData* data)
    {
        // The application sends a drag's moves to the widget that accepted its entry.
        QWidget* viewport = column->collectionView()->viewport();
        QDragEnterEvent enter(point, Qt::MoveAction, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &enter);
        QDragMoveEvent move(point, Qt::MoveAction, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &move);
        return move.isAccepted() ? column->lastProposedDropIndexPath() : std::nullopt;
    }

    static bool drop(MacKanbanColumnController* target, const QMimeData* data, const IndexPath& path,
        MacKanbanColumnController* source)
    {
        return target->acceptDrop(
            target->collectionView(), data, path, Operation::Before, source ? source->collectionView() : nullptr);
    }

    static void endDrag(MacKanbanColumnController* source, Qt::DropAction action)
    {
        source->dragEnded(source->collectionView(), action);
        settle();
    }
};

} // namespace

TEST_F(CardDrag, ThePointerCorrectsTheProposedDropPosition)
{
    Kanban* kanban = boardWithCards("A", {3, 3});
    show(kanban);
    MacKanbanColumnController* source = controller(1);
    MacKanbanColumnController* target = controller(0);
    const auto data = startDrag(source, {{0, 0}});

    struct Case
    {
        const char* name;
        IndexPath row;
        qreal fraction;
        IndexPath expected;
    };
    const QList<Case> cases {
        {"upper half of a card", {0, 1}, 0.25, {0, 1}},
        {"lower half of a card", {0, 1}, 0.75, {0, 2}},
        {"lower half of the last card", {0, 2}, 0.75, {0, 3}},
        {"lower half of the add cell", {0, 3}, 0.75, {0, 3}},
        {"past the add cell", {0, 3}, 3.0, {0, 3}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        EXPECT_EQ(dragOver(target, pointIn(target, test.row, test.fraction), data.get()), test.expected);
    }

    // Today's spacer of an empty done column stays where it is.
    MacKanbanColumnController* done = controller(2);
    ASSERT_TRUE(done->pathIsEmptyCell({0, 0}));
    EXPECT_EQ(dragOver(done, pointIn(done, {0, 0}, 0.75), data.get()), (IndexPath {0, 0}));
    endDrag(source, Qt::IgnoreAction);

    // In the one list the last card of a stage proposes the first row of the next stage.
    board.reset();
    showAsOneList(kanban);
    MacKanbanColumnController* list = oneList();
    ASSERT_TRUE(list);
    const auto inList = startDrag(list, {{1, 0}});
    EXPECT_EQ(dragOver(list, pointIn(list, {0, 2}, 0.75), inList.get()), (IndexPath {1, 0}));
    EXPECT_EQ(dragOver(list, pointIn(list, {0, 1}, 0.75), inList.get()), (IndexPath {0, 2}));
    endDrag(list, Qt::IgnoreAction);
}

TEST_F(CardDrag, TheGapIsBuiltAgainOnlyWhenTheProposalChanges)
{
    Kanban* kanban = boardWithCards("A", {3, 1});
    show(kanban);
    MacKanbanColumnController* target = controller(0);
    const auto data = startDrag(controller(1), {{0, 0}});

    dragOver(target, pointIn(target, {0, 1}, 0.2), data.get());
    const KanbanColumnCollectionViewFlowLayout* first = &target->collectionViewLayout();
    EXPECT_TRUE(first->dragging());
    EXPECT_EQ(first->proposedDropIndexPath(), (IndexPath {0, 1}));
    dragOver(target, pointIn(target, {0, 1}, 0.4), data.get());
    EXPECT_EQ(&target->collectionViewLayout(), first);
    dragOver(target, pointIn(target, {0, 1}, 0.8), data.get());
    EXPECT_NE(&target->collectionViewLayout(), first);
    EXPECT_EQ(target->collectionViewLayout().proposedDropIndexPath(), (IndexPath {0, 2}));
    ASSERT_TRUE(target->collectionView()->listLayout().dropGap());

    endDrag(controller(1), Qt::IgnoreAction);
    EXPECT_FALSE(target->collectionView()->listLayout().dropGap());
    EXPECT_FALSE(target->lastProposedDropIndexPath());
}

TEST_F(CardDrag, CardsDroppedFromAnotherColumnMoveWithHistoryAndOneUndoStep)
{
    Kanban* kanban = boardWithCards("A", {3, 2});
    KanbanColumn* a = kanban->column().at(0);
    KanbanColumn* b = kanban->column().at(1);
    const QList<ListItem*> fromA = a->item();
    const QList<ListItem*> inB = b->item();
    show(kanban);

    const auto data = startDrag(controller(0), {{0, 0}, {0, 2}});
    ASSERT_TRUE(drop(controller(1), data.get(), {0, 1}, controller(0)));
    endDrag(controller(0), Qt::MoveAction);
    EXPECT_EQ(b->item(), (QList<ListItem*> {inB.at(0), fromA.at(0), fromA.at(2), inB.at(1)}));
    EXPECT_EQ(a->item(), QList<ListItem*> {fromA.at(1)});
    EXPECT_EQ(shownCards(controller(1)), b->item());
    EXPECT_EQ(newestEntry(fromA.at(0))->action(), ListItemAction::moved);
    EXPECT_EQ(newestEntry(fromA.at(2))->kanbanColumnUniqueIdentifier(), b->uniqueIdentifier());
    EXPECT_EQ(undoManager.undoMenuItemTitle(), QStringLiteral("Undo Move Cards"));

    undoManager.undo();
    settle();
    EXPECT_EQ(a->item(), fromA);
    EXPECT_EQ(b->item(), inB);
    EXPECT_EQ(shownCards(controller(0)), fromA);

    undoManager.redo();
    settle();
    EXPECT_EQ(b->item(), (QList<ListItem*> {inB.at(0), fromA.at(0), fromA.at(2), inB.at(1)}));
}

TEST_F(CardDrag, DropsFromElsewhereAreRefused)
{
    Kanban* kanban = boardWithCards("A", {2, 2});
    Kanban* other = boardWithCards("B", {1});
    show(kanban);
    MacKanbanColumnController* target = controller(1);
    const QPoint over = pointIn(target, {0, 0}, 0.25);

    QMimeData text;
    text.setText(QStringLiteral("a card"));
    QMimeData foreign;
    foreign.setData(listItemPasteboardType, other->column().first()->item().first()->objectIDURI().toString().toUtf8());
    EXPECT_FALSE(dragOver(target, over, &text));
    EXPECT_FALSE(dragOver(target, over, &foreign));
    EXPECT_FALSE(drop(target, &foreign, {0, 0}, nullptr));

    const auto ours = startDrag(controller(0), {{0, 0}});
    EXPECT_FALSE(dragOver(target, over, &foreign));
    EXPECT_FALSE(drop(target, &foreign, {0, 0}, controller(0)));
    // Another program's drag carries no source list.
    EXPECT_FALSE(drop(target, ours.get(), {0, 0}, nullptr));
    endDrag(controller(0), Qt::IgnoreAction);
    EXPECT_EQ(kanban->column().at(1)->item().size(), 2);
    EXPECT_FALSE(undoManager.canUndo());
}

TEST_F(CardDrag, InTheFilteredOneListADropLandsAfterTheCardShownAboveIt)
{
    Kanban* kanban = build.addBoard(QStringLiteral("T"), {QStringLiteral("S1"), QStringLiteral("S2")});
    Tag* tag = build.addTag(kanban, QStringLiteral("t"));
    KanbanColumn* stage = kanban->column().at(0);
    ListItem* c1 = addCard(stage, QStringLiteral("c1"), {tag});
    ListItem* c2 = addCard(stage, QStringLiteral("c2"));
    ListItem* c3 = addCard(stage, QStringLiteral("c3"), {tag});
    ListItem* c4 = addCard(stage, QStringLiteral("c4"), {tag});
    ListItem* moved = addCard(kanban->column().at(1), QStringLiteral("moved"), {tag});
    showAsOneList(kanban);
    board->setTagFilter(QList<Tag*> {tag});
    settle();
    MacKanbanColumnController* list = oneList();
    ASSERT_TRUE(list);
    ASSERT_EQ(list->itemFor({0, 1}), c3);

    const auto data = startDrag(list, {{1, 0}});
    ASSERT_TRUE(drop(list, data.get(), {0, 2}, list));
    endDrag(list, Qt::MoveAction);
    EXPECT_EQ(stage->item(), (QList<ListItem*> {c1, c2, c3, moved, c4}));
    EXPECT_EQ(list->itemFor({0, 2}), moved);
}

TEST_F(CardDrag, InTheOneListCardsFromAboveAndBelowKeepTheirOrder)
{
    Kanban* kanban = boardWithCards("A", {2, 2, 2});
    const QList<KanbanColumn*> stages = kanban->column();
    ListItem* fromAbove = stages.at(0)->item().at(1);
    ListItem* fromBelow = stages.at(2)->item().at(0);
    const QList<ListItem*> middle = stages.at(1)->item();
    showAsOneList(kanban);
    MacKanbanColumnController* list = oneList();
    ASSERT_TRUE(list);

    const auto data = startDrag(list, {{2, 0}, {0, 1}});
    ASSERT_TRUE(drop(list, data.get(), {1, 1}, list));
    endDrag(list, Qt::MoveAction);
    EXPECT_EQ(stages.at(1)->item(), (QList<ListItem*> {middle.at(0), fromAbove, fromBelow, middle.at(1)}));
    for (ListItem* card : {fromAbove, fromBelow}) {
        EXPECT_EQ(newestEntry(card)->action(), ListItemAction::moved);
        EXPECT_EQ(newestEntry(card)->kanbanColumnUniqueIdentifier(), stages.at(1)->uniqueIdentifier());
    }
    EXPECT_EQ(selection(list), (QSet<IndexPath> {{1, 1}, {1, 2}}));
    EXPECT_EQ(undoManager.undoMenuItemTitle(), QStringLiteral("Undo Move Cards"));
    const int savesAfter = saves;

    undoManager.undo();
    settle();
    EXPECT_EQ(stages.at(0)->item().at(1), fromAbove);
    EXPECT_EQ(stages.at(2)->item().at(0), fromBelow);
    EXPECT_EQ(stages.at(1)->item(), middle);
    EXPECT_EQ(list->itemFor({0, 1}), fromAbove);
    EXPECT_GT(saves, savesAfter);

    undoManager.redo();
    settle();
    EXPECT_EQ(stages.at(1)->item(), (QList<ListItem*> {middle.at(0), fromAbove, fromBelow, middle.at(1)}));

    // Within one section it is a rearrangement.
    undoManager.undo();
    settle();
    const auto again = startDrag(list, {{1, 1}});
    ASSERT_TRUE(drop(list, again.get(), {1, 0}, list));
    endDrag(list, Qt::MoveAction);
    EXPECT_EQ(stages.at(1)->item(), (QList<ListItem*> {middle.at(1), middle.at(0)}));
    EXPECT_EQ(undoManager.undoMenuItemTitle(), QStringLiteral("Undo Rearrange Cards"));
}

TEST_F(CardDrag, ADoneCardDroppedIntoAStageIsOpenAndADaySectionTakesNoDrop)
{
    Kanban* kanban = boardWithCards("A", {1, 1});
    DoneDate* group = build.addDoneGroup(kanban, CardPlacement::today());
    ListItem* done = build.addDoneCard(kanban, group);
    show(kanban);

    const auto data = startDrag(controller(2), {{0, 0}});
    ASSERT_TRUE(drop(controller(0), data.get(), {0, 0}, controller(2)));
    endDrag(controller(2), Qt::MoveAction);
    EXPECT_FALSE(done->done());
    EXPECT_FALSE(done->parentDoneGroup());
    EXPECT_EQ(kanban->column().first()->item().first(), done);

    undoManager.undo();
    settle();
    ASSERT_TRUE(done->done());

    board.reset();
    showAsOneList(kanban);
    MacKanbanColumnController* list = oneList();
    ASSERT_TRUE(list);
    const auto inList = startDrag(list, {{2, 0}});
    EXPECT_FALSE(dragOver(list, pointIn(list, {2, 0}, 0.25), inList.get()));
    EXPECT_TRUE(dragOver(list, pointIn(list, {1, 0}, 0.25), inList.get()));
    ASSERT_TRUE(drop(list, inList.get(), {1, 0}, list));
    endDrag(list, Qt::MoveAction);
    EXPECT_FALSE(done->done());
    EXPECT_EQ(kanban->column().at(1)->item().first(), done);
    EXPECT_EQ(list->itemFor({1, 0}), done);

    undoManager.undo();
    settle();
    EXPECT_TRUE(done->done());
    EXPECT_EQ(done->parentDoneGroup(), CardPlacement::groupOn(kanban, CardPlacement::today()));
    EXPECT_EQ(list->itemFor({2, 0}), done);
}

TEST_F(CardDrag, ADragReleasedOverADayHeaderIsRoutedThereOnlyWhenNoListTookIt)
{
    Kanban* kanban = boardWithCards("A", {2});
    const QDateTime earlier = LocalDays::start(-3);
    DoneDate* group = build.addDoneGroup(kanban, earlier);
    build.addDoneCard(kanban, group);
    show(kanban);
    MacKanbanColumnController* done = controller(1);
    ASSERT_EQ(done->collectionView()->numberOfSections(), 2);
    SectionedListView* doneList = done->collectionView();
    const QRect header = doneList->headerFrame(1);
    const QPoint overHeader
        = doneList->viewport()->mapToGlobal(QPoint(40, header.center().y() - doneList->contentOffset()));
    QCursor::setPos(overHeader);
    if (QCursor::pos() != overHeader)
        GTEST_SKIP() << "this platform does not move the pointer";
    ListItem* card = kanban->column().first()->item().first();

    startDrag(controller(0), {{0, 0}});
    endDrag(controller(0), Qt::MoveAction);
    EXPECT_FALSE(card->done());

    startDrag(controller(0), {{0, 0}});
    endDrag(controller(0), Qt::IgnoreAction);
    EXPECT_TRUE(card->done());
    EXPECT_EQ(card->parentDoneGroup(), group);
    EXPECT_EQ(done->itemFor({1, 0}), card);
    EXPECT_FALSE(controller(0)->draggingIndexPaths());
}

// A real drag session: QDrag does nothing under the offscreen platform, so these run on a display
// (the ctest case CardDrag.OnVirtualDisplay, under xvfb-run with QT_QPA_PLATFORM=xcb).
namespace {

class CardDragOnDisplay : public CardDrag
{
protected:
    void SetUp() override
    {
        if (QGuiApplication::platformName() == QLatin1String("offscreen"))
            GTEST_SKIP() << "a drag needs a display: run under xvfb-run with QT_QPA_PLATFORM=xcb";
    }

    void showOnScreen(Kanban* kanban)
    {
        show(kanban);
        board->move(0, 0);
        (void)QTest::qWaitForWindowExposed(board.get());
        settle();
    }

    // Where the row's left edge is, in the board window.
    QPoint rowPoint(MacKanbanColumnController* column, const IndexPath& path, qreal fraction) const
    {
        return column->collectionView()->viewport()->mapTo(board.get(), QPoint(4, pointIn(column, path, fraction).y()));
    }

    QPoint headerPoint(MacKanbanColumnController* column, int section) const
    {
        SectionedListView* list = column->collectionView();
        const int y = list->headerFrame(section).center().y() - list->contentOffset();
        return list->viewport()->mapTo(board.get(), QPoint(60, y));
    }

    void sendMouse(QEvent::Type type, const QPoint& point, Qt::MouseButtons buttons)
    {
        QMouseEvent event(type, point, board->mapToGlobal(point), Qt::LeftButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(board->windowHandle(), &event);
    }

    // Presses at `from`, and from inside the drag's own event loop moves to `to`, runs `during`
    // there, and releases. The screen's pointer goes to `to` as well, as a user's does, so the
    // picture of the dragged cards lies under the drop point.
    void dragFromTo(const QPoint& from, const QPoint& to, const std::function<void()>& during)
    {
        sendMouse(QEvent::MouseButtonPress, from, Qt::LeftButton);
        QTimer::singleShot(150, [=, this] { sendMouse(QEvent::MouseMove, to - QPoint(0, 6), Qt::LeftButton); });
        QTimer::singleShot(300, [=, this] {
            QCursor::setPos(board->mapToGlobal(to));
            sendMouse(QEvent::MouseMove, to, Qt::LeftButton);
        });
        // Once the picture has followed the pointer, the drop target is looked up again.
        QTimer::singleShot(400, [=, this] { sendMouse(QEvent::MouseMove, to, Qt::LeftButton); });
        QTimer::singleShot(450, [=] { during(); });
        QTimer::singleShot(500, [=, this] { sendMouse(QEvent::MouseButtonRelease, to, Qt::NoButton); });
        sendMouse(QEvent::MouseMove, from + QPoint(0, 30), Qt::LeftButton);
        settle();
    }
};

} // namespace

TEST_F(CardDragOnDisplay, ACardDraggedToTheNextStageLandsWhereTheGapOpened)
{
    Kanban* kanban = boardWithCards("A", {3, 2});
    ListItem* card = kanban->column().at(0)->item().at(0);
    const QList<ListItem*> second = kanban->column().at(1)->item();
    showOnScreen(kanban);

    std::optional<IndexPath> proposed;
    bool gapOpen = false;
    dragFromTo(rowPoint(controller(0), {0, 0}, 0.5), rowPoint(controller(1), {0, 1}, 0.25), [&] {
        proposed = controller(1)->lastProposedDropIndexPath();
        gapOpen = controller(1)->collectionView()->listLayout().dropGap().has_value();
    });
    (void)QTest::qWaitFor([&] { return kanban->column().at(1)->item().contains(card); });

    EXPECT_EQ(proposed, (IndexPath {0, 1}));
    EXPECT_TRUE(gapOpen);
    EXPECT_EQ(kanban->column().at(1)->item(), (QList<ListItem*> {second.at(0), card, second.at(1)}));
    EXPECT_EQ(shownCards(controller(1)), kanban->column().at(1)->item());
    EXPECT_EQ(undoManager.undoMenuItemTitle(), QStringLiteral("Undo Move Card"));
    EXPECT_FALSE(controller(1)->collectionView()->listLayout().dropGap());
    EXPECT_FALSE(controller(0)->draggingIndexPaths());
}

TEST_F(CardDragOnDisplay, ACardDroppedOnADayHeaderIsFiledIntoThatDay)
{
    Kanban* kanban = boardWithCards("A", {2});
    DoneDate* group = build.addDoneGroup(kanban, LocalDays::start(-2));
    build.addDoneCard(kanban, group);
    ListItem* card = kanban->column().at(0)->item().at(1);
    showOnScreen(kanban);
    MacKanbanColumnController* done = controller(1);
    ASSERT_EQ(done->collectionView()->numberOfSections(), 2);

    dragFromTo(rowPoint(controller(0), {0, 1}, 0.5), headerPoint(done, 1), [] {});
    (void)QTest::qWaitFor([&] { return card->done(); });

    EXPECT_EQ(card->parentDoneGroup(), group);
    EXPECT_EQ(group->items().first(), card);
    EXPECT_EQ(done->itemFor({1, 0}), card);
}

TEST_F(CardDragOnDisplay, ACardPressedOnItsTitleAndMovedIsDraggedWhileAClickThereEditsIt)
{
    Kanban* kanban = boardWithCards("A", {2, 1});
    ListItem* moved = kanban->column().at(0)->item().at(0);
    ListItem* clicked = kanban->column().at(0)->item().at(1);
    const QList<ListItem*> second = kanban->column().at(1)->item();
    showOnScreen(kanban);
    // A point on the first line of the card's text, where the title is.
    const auto titlePoint = [&](ListItem* card) {
        ListItemCellView* shown = controller(0)->cellShowing(card);
        EXPECT_TRUE(shown);
        QWidget* text = shown->noteTextView()->viewport();
        return text->mapTo(board.get(), QPoint(30, 12));
    };

    dragFromTo(titlePoint(moved), rowPoint(controller(1), {0, 0}, 0.25), [] {});
    (void)QTest::qWaitFor([&] { return kanban->column().at(1)->item().contains(moved); });
    EXPECT_EQ(kanban->column().at(1)->item(), (QList<ListItem*> {moved, second.at(0)}));
    EXPECT_EQ(kanban->column().at(0)->item(), (QList<ListItem*> {clicked}));

    board->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(board.get()));
    const QPoint click = titlePoint(clicked);
    sendMouse(QEvent::MouseButtonPress, click, Qt::LeftButton);
    sendMouse(QEvent::MouseButtonRelease, click, Qt::NoButton);
    settle();
    ListItemCellView* shown = controller(0)->cellShowing(clicked);
    ASSERT_TRUE(shown);
    EXPECT_TRUE(shown->noteTextView()->isFirstResponder()) << "a click without moving edits the card";
    EXPECT_TRUE(shown->isSelected());
    EXPECT_GT(shown->noteTextView()->textCursor().position(), 0) << "the caret lands where the click was";
    EXPECT_EQ(kanban->column().at(0)->item(), (QList<ListItem*> {clicked}));
}

// The real pointer moves (the picture follows the display's pointer): over the board the card is
// carried as it looks there, beyond the board's edge as a picture 200 long, and back over the
// board as itself again.
TEST_F(CardDragOnDisplay, TheDragPictureShowsTheCardOverTheBoardAndASmallPictureBeyondIt)
{
    Kanban* kanban = boardWithCards("A", {2, 1});
    makeBoard();
    board->resize(900, 700);
    showOnScreen(kanban);
    SectionedListView* list = controller(0)->collectionView();
    ListItemCellView* card = controller(0)->cellShowing(kanban->column().at(0)->item().at(0));
    ASSERT_TRUE(card);
    const QSize cardSize = card->size();
    ASSERT_GT(cardSize.width(), 200);

    struct Look
    {
        QSize size;
        bool underPointer = false;
    };
    QList<Look> looks;
    const auto look = [&] {
        DragPictureWindow* picture = list->dragPicture();
        if (!picture) {
            looks.append(Look {});
            return;
        }
        const QRect shown(picture->pos(), picture->size());
        looks.append(Look {picture->picture().deviceIndependentSize().toSize(),
            shown.contains(QCursor::pos()) && picture->pos() + picture->hotSpot() == QCursor::pos()});
    };
    const QPoint from = rowPoint(controller(0), {0, 0}, 0.5);
    const QPoint over = board->mapToGlobal(rowPoint(controller(1), {0, 0}, 0.5));
    const QPoint beyond = board->mapToGlobal(QPoint(board->width() + 150, 300));
    QCursor::setPos(board->mapToGlobal(from));
    settle();
    sendMouse(QEvent::MouseButtonPress, from, Qt::LeftButton);
    QTimer::singleShot(200, [&] { QCursor::setPos(over); });
    QTimer::singleShot(500, look);
    QTimer::singleShot(550, [&] { QCursor::setPos(beyond); });
    QTimer::singleShot(850, look);
    QTimer::singleShot(900, [&] { QCursor::setPos(over); });
    QTimer::singleShot(1200, look);
    QTimer::singleShot(1250, [&] { sendMouse(QEvent::MouseButtonRelease, board->mapFromGlobal(over), Qt::NoButton); });
    sendMouse(QEvent::MouseMove, from + QPoint(0, 30), Qt::LeftButton);
    settle();

    ASSERT_EQ(looks.size(), 3);
    const QSize small = QSizeF(cardSize).scaled(200, 200, Qt::KeepAspectRatio).toSize();
    EXPECT_EQ(looks.at(0).size, cardSize) << "over the board";
    EXPECT_NEAR(looks.at(1).size.width(), small.width(), 1) << "beyond the board";
    EXPECT_NEAR(looks.at(1).size.height(), small.height(), 1);
    EXPECT_EQ(looks.at(2).size, cardSize) << "back over the board";
    for (const Look& seen : looks)
        EXPECT_TRUE(seen.underPointer);
    EXPECT_FALSE(list->dragPicture()) << "the picture goes with the drag";
}
