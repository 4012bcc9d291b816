#include "BoardViewFixture.h"

#include "Platform/core/ConsoleLog.h"

#include <QSet>

namespace {

class BoardViewLoading : public BoardViewFixture
{
};

// The controllers of sections 0 to n, in section order.
QList<MacKanbanColumnController*> bySection(const MacKanbanColumnsViewController& board)
{
    QList<MacKanbanColumnController*> controllers;
    for (int section = 0; section <= int(board.kanbanColumns().size()); ++section)
        controllers << board.columnControllerFor(section);
    return controllers;
}

} // namespace

TEST_F(BoardViewLoading, ControllersArePooledFirstInFirstOutAndTheDoneColumnIsCarried)
{
    Kanban* a = boardWithCards("A", {1, 2, 1, 3, 2});
    Kanban* b = boardWithCards("B", {2, 1, 2});
    Kanban* c = boardWithCards("C", {1, 1, 1, 2, 1, 3});

    show(a);
    const QList<MacKanbanColumnController*> onA = bySection(*board);
    ASSERT_EQ(onA.size(), 6);
    ASSERT_FALSE(onA.contains(nullptr));
    EXPECT_TRUE(board->inactiveColumnControllers().isEmpty());

    show(b);
    EXPECT_EQ(board->inactiveColumnControllers(), (QList<MacKanbanColumnController*> {onA.at(3), onA.at(4)}));
    EXPECT_EQ(bySection(*board), (QList<MacKanbanColumnController*> {onA.at(0), onA.at(1), onA.at(2), onA.at(5)}));
    EXPECT_EQ(board->columnControllers().size(), 4);

    show(c);
    const QList<MacKanbanColumnController*> onC = bySection(*board);
    EXPECT_EQ(onC.mid(0, 5), onA.mid(0, 5));
    EXPECT_FALSE(onA.contains(onC.at(5))) << "position 5 is a new controller";
    EXPECT_EQ(onC.at(6), onA.at(5)) << "the done column's controller sits at n";
    EXPECT_TRUE(board->inactiveColumnControllers().isEmpty());

    // Every column shows its own stage of the board now shown, whether kept, pooled or new.
    for (int section = 0; section < 6; ++section) {
        EXPECT_EQ(shownCards(onC.at(section)), c->column().at(section)->item()) << section;
        EXPECT_TRUE(onC.at(section)->containerView()->isVisibleTo(board.get())) << section;
        EXPECT_FALSE(onC.at(section)->showAllSections()) << section;
    }
    EXPECT_TRUE(shownCards(onC.at(6)).isEmpty());
}

TEST_F(BoardViewLoading, NoColumnShowsThePreviousBoardsCards)
{
    Kanban* a = boardWithCards("A", {3, 3, 3, 3, 3});
    Kanban* b = boardWithCards("B", {1, 2, 3});
    show(a);
    show(b);
    QSet<ListItem*> bCards;
    for (KanbanColumn* column : b->column())
        for (ListItem* card : column->item())
            bCards.insert(card);
    for (MacKanbanColumnController* column : board->columnControllers())
        for (ListItem* card : shownCards(column))
            EXPECT_TRUE(bCards.contains(card)) << card->firstLineOfNotes().toStdString();
}

TEST_F(BoardViewLoading, ABoardGetsItsMissingDoneColumnOnce)
{
    Kanban* a = boardWithCards("A", {1});
    Kanban* b = boardWithCards("B", {1});
    a->setMainColumn(nullptr);
    show(a);
    KanbanColumn* done = a->mainColumn();
    ASSERT_TRUE(done);
    EXPECT_EQ(done->mainKanban(), a);
    show(b);
    show(a);
    EXPECT_EQ(a->mainColumn(), done);
}

TEST_F(BoardViewLoading, TheFirstBoardEverIsShownSideBySide)
{
    const struct
    {
        const char* stored;
        bool firstSetupCompleted;
        bool multiColumn;
    } cases[] = {
        {"false", false, true},
        {"false", true, false},
        {"true", true, true},
        // Not a truth value: absent, so the default.
        {"sideways", true, true},
    };
    Kanban* kanban = boardWithCards("A", {1, 1});
    for (const auto& c : cases) {
        defaults.setValue(MacKanbanColumnsViewController::viewAsMultiColumnKey, c.stored);
        defaults.setValue(MacKanbanColumnsViewController::firstSetupCompletedKey, c.firstSetupCompleted);
        board.reset();
        show(kanban);
        EXPECT_EQ(board->viewAsMultiColumn(), c.multiColumn) << c.stored << c.firstSetupCompleted;
        EXPECT_TRUE(defaults.boolForKey(MacKanbanColumnsViewController::firstSetupCompletedKey));
    }
}

TEST_F(BoardViewLoading, AFirstLoadInOneColumnShowsTheBookmarkedStageWithEverySection)
{
    Kanban* kanban = boardWithCards("A", {3, 2, 4, 20});
    kanban->column().at(2)->setBookmarked(true);
    defaults.setValue(MacKanbanColumnsViewController::viewAsMultiColumnKey, false);
    show(kanban);

    ASSERT_FALSE(board->viewAsMultiColumn());
    for (int section = 0; section <= 4; ++section) {
        MacKanbanColumnController* column = controller(section);
        EXPECT_EQ(column->containerView()->isVisibleTo(board.get()), section == 2) << section;
        EXPECT_EQ(column->showAllSections(), section == 2) << section;
    }
    SectionedListView* list = controller(2)->collectionView();
    EXPECT_EQ(list->itemFrame({2, 0}).top() - list->contentOffset(), 76);
    EXPECT_EQ(controller(2)->containerView()->geometry().topLeft(), QPoint(0, 0));
}

TEST_F(BoardViewLoading, ScrollingAColumnIntoViewMovesTheBoardOnlyAsFarAsNeeded)
{
    show(boardWithCards("A", {1, 1, 1, 1, 1, 1}));
    QScrollBar* bar = board->scrollView()->horizontalScrollBar();
    const int visible = board->scrollView()->viewport()->width();
    ASSERT_EQ(bar->value(), 0);

    // Its right edge lies beyond the view: the edges meet.
    board->scrollToController(controller(5));
    EXPECT_EQ(bar->value(), 1800 - visible);
    // Fully visible: nothing moves.
    board->scrollToController(controller(4));
    EXPECT_EQ(bar->value(), 1800 - visible);
    // Its left edge lies left of the view: the left edges meet.
    board->scrollToController(controller(0));
    EXPECT_EQ(bar->value(), 0);
}

TEST_F(BoardViewLoading, ABoardGoneWhileShownEmptiesThePane)
{
    Kanban* a = boardWithCards("A", {2, 2});
    Kanban* b = boardWithCards("B", {1, 1, 1});
    show(a);
    store.context().deleteObject(a);
    board->loadKanban();
    settle();
    EXPECT_FALSE(board->kanban());
    EXPECT_TRUE(board->titleTextField()->text().isEmpty());
    for (MacKanbanColumnController* column : board->columnControllers())
        EXPECT_FALSE(column->containerView()->isVisibleTo(board.get()));
    board->setKanban(nullptr);
    board->loadKanban();

    show(b);
    ASSERT_EQ(board->columnControllers().size(), 4);
    for (int section = 0; section < 3; ++section)
        EXPECT_EQ(shownCards(controller(section)), b->column().at(section)->item());
}

TEST_F(BoardViewLoading, NotesOfABoardNoLongerShownAreDecodedAfreshWhenReadAgain)
{
    Kanban* a = boardWithCards("A", {1});
    Kanban* b = boardWithCards("B", {1});
    ListItem* unreadable = a->column().first()->item().first();
    unreadable->setAttributedNotesData(QByteArray("not notes"));
    show(a);
    ConsoleLog::Capture capture;
    unreadable->attributedNotes();
    const qsizetype whileShown = capture.lines().size();
    unreadable->attributedNotes();
    EXPECT_EQ(capture.lines().size(), whileShown) << "kept while shown";
    show(b);
    unreadable->attributedNotes();
    EXPECT_EQ(capture.lines().size(), whileShown + 1) << "released once the board is gone";
}
