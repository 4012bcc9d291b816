#include "PelorinsKit/board/DoneItemsMover.h"
#include "PelorinsKit/model/DoneDate.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/model/ListItemHistory.h"
#include "PelorinsKit/notes/AttributeKey.h"
#include "Platform/core/ConsoleLog.h"
#include "Platform/core/objectgraph/ManagedObjectContext.h"
#include "support/MoverBoard.h"
#include "support/QStringPrinting.h"

#include <gtest/gtest.h>

namespace {

bool struckThrough(const ListItem* card)
{
    const std::optional<AttributedString> notes = card->attributedNotes();
    return notes && notes->attribute(AttributeKey::strikethroughStyle, 0).toInt() == 1;
}

ListItemHistory* newestRecord(const ListItem* card)
{
    return card->history().isEmpty() ? nullptr : card->history().last();
}

class DoneItemsMoverTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_NE(board.kanban, nullptr) << "the store manager's store did not open"; }

    ManagedObjectContext* context() const { return MoverBoard::context(); }

    // Records that the card went to the column of `section`, as a move does.
    void recordMove(ListItem* card, KanbanColumn* column)
    {
        auto* record = ListItemHistory::create(ListItemAction::moved, context());
        record->setKanbanColumnUniqueIdentifier(column->uniqueIdentifier());
        card->addHistory(record);
    }

    MoverBoard board;
};

// ---- Marking done

TEST_F(DoneItemsMoverTest, MarkingCardsOfTwoColumnsDone_FilesThemAtTheHeadOfToday_UndoReturnsEachToItsRow)
{
    QList<ListItem*> a;
    for (const char* name : {"a0", "a1", "a2", "a3"})
        a.append(board.addCard(0, QLatin1String(name)));
    ListItem* b0 = board.addCard(1, QStringLiteral("b0"));
    board.addCard(1, QStringLiteral("b1"));
    DoneDate* older = board.addGroup(2);
    board.addDoneCard(older, QStringLiteral("x"));
    ASSERT_TRUE(context()->save());
    const QString before = board.layout();

    board.doneMover.moveDoneItems({a[3], b0, a[1]}, std::nullopt);

    EXPECT_EQ(board.layout(), QStringLiteral("A[a0 a2] B[b1] C[] | d0[a3 b0 a1] d2[x]"));
    for (ListItem* card : {a[3], b0, a[1]}) {
        EXPECT_TRUE(card->done());
        EXPECT_TRUE(struckThrough(card));
        ASSERT_NE(newestRecord(card), nullptr);
        EXPECT_EQ(newestRecord(card)->action(), ListItemAction::markedDone);
        EXPECT_TRUE(newestRecord(card)->kanbanColumnUniqueIdentifier().isEmpty());
    }
    EXPECT_FALSE(context()->hasChanges()) << "marking done saves";
    EXPECT_EQ(board.undoManager.undoActionName(), QStringLiteral("Mark Done"));

    board.undoManager.undo();
    EXPECT_EQ(board.layout(), QStringLiteral("A[a0 a1 a2 a3] B[b0 b1] C[] | d0[] d2[x]"));
    EXPECT_EQ(board.layout().section(QLatin1Char('|'), 0, 0), before.section(QLatin1Char('|'), 0, 0));
    for (ListItem* card : {a[3], b0, a[1]}) {
        EXPECT_FALSE(card->done());
        EXPECT_FALSE(struckThrough(card));
        EXPECT_TRUE(card->history().isEmpty());
    }
    EXPECT_FALSE(context()->hasChanges()) << "the undo saves too";
    EXPECT_EQ(board.undoManager.redoActionName(), QStringLiteral("Mark Done"));

    board.undoManager.redo();
    EXPECT_EQ(board.layout(), QStringLiteral("A[a0 a2] B[b1] C[] | d0[a3 b0 a1] d2[x]"));
    EXPECT_EQ(a[1]->history().size(), 1);
    board.undoManager.undo();
    EXPECT_EQ(board.layout(), QStringLiteral("A[a0 a1 a2 a3] B[b0 b1] C[] | d0[] d2[x]"));
}

TEST_F(DoneItemsMoverTest, MarkingDone_ScrollsToTheDoneColumnTheFirstTimeOnly)
{
    ListItem* first = board.addCard(0, QStringLiteral("a"));
    ListItem* second = board.addCard(0, QStringLiteral("b"));

    board.act([&] { board.doneMover.moveDoneItems({first}, std::nullopt); });
    board.act([&] { board.doneMover.moveDoneItems({second}, std::nullopt); });

    EXPECT_EQ(board.view.scrolledTo, QList<KanbanColumnController*> {&board.done()});
    EXPECT_EQ(board.view.shownAndSelected, QList<ListItem*> {first});
    EXPECT_TRUE(board.defaults.boolForKey(QStringLiteral("demoScrolledToDoneColumn")));
    EXPECT_EQ(board.layout(), QStringLiteral("A[] B[] C[] | d0[b a]"));
}

TEST_F(DoneItemsMoverTest, MarkingDoneWithoutTheDoneColumnsView_StillFilesTheCards_AndUndoReturnsThem)
{
    board.addCard(0, QStringLiteral("a"));
    ListItem* card = board.addCard(0, QStringLiteral("b"));
    board.removeDoneController();

    board.doneMover.moveDoneItems({card}, std::nullopt);
    EXPECT_EQ(board.layout(), QStringLiteral("A[a] B[] C[] | d0[b]"));
    EXPECT_TRUE(card->done());
    EXPECT_TRUE(struckThrough(card));

    board.undoManager.undo();
    EXPECT_EQ(board.layout(), QStringLiteral("A[a b] B[] C[] | d0[]"));
    EXPECT_FALSE(card->done());
}

TEST_F(DoneItemsMoverTest, MarkingDoneACardTheColumnDoesNotShow_UndoReturnsItToItsRow)
{
    board.addCard(0, QStringLiteral("shown"));
    ListItem* hidden = board.addCard(0, QStringLiteral("other"));
    board.addCard(0, QStringLiteral("shown too"));
    board.view.setSearchTerm(QStringLiteral("shown"));

    board.doneMover.moveDoneItems({hidden}, std::nullopt);
    EXPECT_EQ(board.layout(), QStringLiteral("A[shown shown too] B[] C[] | d0[other]"));

    board.undoManager.undo();
    EXPECT_EQ(board.layout(), QStringLiteral("A[shown other shown too] B[] C[] | d0[]"));
}

TEST_F(DoneItemsMoverTest, MarkingDoneFromAColumnWithoutAController_TakesTheCardOutOfIt)
{
    ListItem* card = board.addCard(2, QStringLiteral("c"));
    board.stage(2).setSpecifiedSection(-1000);

    board.doneMover.moveDoneItems({card}, std::nullopt);

    EXPECT_EQ(board.layout(), QStringLiteral("A[] B[] C[] | d0[c]"));
}

// ---- Unmarking

TEST_F(DoneItemsMoverTest, Unmarking_SendsEachCardToTheColumnItsHistoryNames_UndoReturnsThemToTheirRows)
{
    DoneDate* today = board.addGroup(0);
    board.addDoneCard(today, QStringLiteral("t0"));
    ListItem* movedToB = board.addDoneCard(today, QStringLiteral("t1"));
    DoneDate* older = board.addGroup(3);
    ListItem* fromA = board.addDoneCard(older, QStringLiteral("o0"));
    ListItem* throughDone = board.addDoneCard(older, QStringLiteral("o1"));
    ListItem* lost = board.addDoneCard(older, QStringLiteral("o2"));
    board.addCard(1, QStringLiteral("b"));

    recordMove(movedToB, board.column(0));
    recordMove(movedToB, board.column(1));
    movedToB->addHistory(ListItemHistory::create(ListItemAction::markedDone, context()));
    recordMove(fromA, board.column(0));
    // The newest record naming a column names the done column: the one before decides.
    recordMove(throughDone, board.column(2));
    recordMove(throughDone, board.kanban->mainColumn());
    // A record of a column that is gone.
    auto* gone = ListItemHistory::create(ListItemAction::moved, context());
    gone->setKanbanColumnUniqueIdentifier(QStringLiteral("00000000-0000-0000-0000-000000000000"));
    lost->addHistory(gone);
    ASSERT_TRUE(context()->save());
    const QString before = board.layout();
    const qsizetype lostHistory = lost->history().size();

    ConsoleLog::Capture capture;
    board.doneMover.moveUnDoneItems({movedToB, fromA, throughDone, lost}, std::nullopt);

    EXPECT_EQ(board.layout(), QStringLiteral("A[o0] B[t1 b] C[o2 o1] | d0[t0]"));
    EXPECT_TRUE(older->isDeleted());
    for (ListItem* card : {movedToB, fromA, throughDone, lost}) {
        EXPECT_FALSE(card->done());
        EXPECT_FALSE(struckThrough(card));
    }
    EXPECT_EQ(newestRecord(movedToB)->kanbanColumnUniqueIdentifier(), board.column(1)->uniqueIdentifier());
    EXPECT_EQ(newestRecord(throughDone)->kanbanColumnUniqueIdentifier(), board.column(2)->uniqueIdentifier());
    EXPECT_EQ(lost->history().size(), lostHistory) << "the last column takes a card without a record";
    EXPECT_TRUE(capture.contains(QStringLiteral("uuid or main column not gotten")));
    EXPECT_TRUE(context()->hasChanges()) << "unmarking leaves saving to the caller";
    EXPECT_EQ(board.undoManager.undoActionName(), QStringLiteral("Unmark Done"));

    board.undoManager.undo();
    EXPECT_EQ(board.layout(), before);
    for (ListItem* card : {movedToB, fromA, throughDone, lost}) {
        EXPECT_TRUE(card->done());
        EXPECT_TRUE(struckThrough(card));
    }
    EXPECT_EQ(lost->history().size(), lostHistory) << "the undo takes off only records it added";
    EXPECT_EQ(
        newestRecord(throughDone)->kanbanColumnUniqueIdentifier(), board.kanban->mainColumn()->uniqueIdentifier());
    EXPECT_EQ(board.undoManager.redoActionName(), QStringLiteral("Unmark Done"));

    board.undoManager.redo();
    EXPECT_EQ(board.layout(), QStringLiteral("A[o0] B[t1 b] C[o2 o1] | d0[t0]"));
}

TEST_F(DoneItemsMoverTest, UnmarkingOnABoardWithoutStageColumns_MakesOneForTheCards)
{
    MoverBoard bare(QStringList {});
    DoneDate* today = bare.addGroup(0);
    ListItem* card = bare.addDoneCard(today, QStringLiteral("t"));
    bare.view.onInsertNewSectionAtEnd = [&] { bare.appendStage(QStringLiteral("New")); };

    bare.doneMover.moveUnDoneItems({card}, std::nullopt);

    EXPECT_EQ(bare.view.newSectionsAtEnd, 1);
    EXPECT_EQ(bare.layout(), QStringLiteral("New[t] | d0[]"));
}

TEST_F(DoneItemsMoverTest, UnmarkingWhenNoStageColumnCanBeMade_KeepsTheCardsDone)
{
    MoverBoard bare(QStringList {});
    DoneDate* older = bare.addGroup(1);
    ListItem* card = bare.addDoneCard(older, QStringLiteral("y"));

    bare.doneMover.moveUnDoneItems({card}, std::nullopt);

    EXPECT_EQ(bare.layout(), QStringLiteral(" | d1[y]"));
    EXPECT_TRUE(card->done());
}

TEST_F(DoneItemsMoverTest, UndoingAnUnmarkingWithoutTheDoneColumnsView_StillReturnsTheCardsToTheirDays)
{
    DoneDate* older = board.addGroup(2);
    board.addDoneCard(older, QStringLiteral("x"));
    ListItem* card = board.addDoneCard(older, QStringLiteral("y"));
    const QString before = board.layout();
    board.removeDoneController();

    board.doneMover.moveUnDoneItems({card}, std::nullopt);
    EXPECT_EQ(board.layout(), QStringLiteral("A[] B[] C[y] | d2[x]"));

    board.undoManager.undo();
    EXPECT_EQ(board.layout(), before);
    EXPECT_TRUE(card->done());
}

// ---- A session of mixed steps

TEST_F(DoneItemsMoverTest, MixedStepsUndoneOneByOne_GiveBackTheStartingBoard_AndRedoneGiveTheEndAgain)
{
    QList<ListItem*> a;
    for (const char* name : {"a0", "a1", "a2", "a3"})
        a.append(board.addCard(0, QLatin1String(name)));
    ListItem* b0 = board.addCard(1, QStringLiteral("b0"));
    board.addCard(1, QStringLiteral("b1"));
    // Today's group, once made, stays: start with it so that the undone board compares equal.
    board.addDoneCard(board.addGroup(0), QStringLiteral("t0"));
    DoneDate* older = board.addGroup(1);
    ListItem* y0 = board.addDoneCard(older, QStringLiteral("y0"));
    board.addDoneCard(older, QStringLiteral("y1"));
    DoneDate* oldest = board.addGroup(4);
    board.addDoneCard(oldest, QStringLiteral("z0"));

    QStringList layouts {board.layout()};
    const auto step = [&](const std::function<void()>& change) {
        board.act(change);
        EXPECT_NE(board.layout(), layouts.last()) << "step " << layouts.size() << " changed nothing";
        layouts.append(board.layout());
    };
    step([&] { board.stage(1).mover().moveItems({{0, 0}, {0, 2}}, {0, 1}, &board.stage(0)); });
    step([&] { board.doneMover.moveDoneItems({a[1], b0}, std::nullopt); });
    step([&] { board.stage(1).mover().moveItems({{0, 2}}, {0, 0}, nullptr); });
    step([&] { board.done().mover().moveItems({{2, 0}}, {0, 1}, nullptr); });
    step([&] { board.doneMover.moveUnDoneItems({y0, a[1]}, std::nullopt); });
    step([&] { board.stage(1).mover().deleteItems({a[0], a[2]}); });
    step([&] { board.stage(2).mover().moveItems({{1, 0}}, {0, 0}, &board.done()); });
    step([&] { board.stage(0).mover().deleteItems({a[3]}); });
    EXPECT_EQ(layouts.size(), 9);
    EXPECT_NE(layouts.first(), layouts.last());

    for (qsizetype i = layouts.size() - 2; i >= 0; --i) {
        ASSERT_TRUE(board.undoManager.canUndo());
        board.undoManager.undo();
        EXPECT_EQ(board.layout(), layouts.at(i)) << "after undoing step " << i + 1;
    }
    EXPECT_FALSE(board.undoManager.canUndo());
    for (ListItem* card : a)
        EXPECT_TRUE(card->history().isEmpty());

    for (qsizetype i = 1; i < layouts.size(); ++i) {
        board.undoManager.redo();
        EXPECT_EQ(board.layout(), layouts.at(i)) << "after redoing step " << i;
    }
}

} // namespace
