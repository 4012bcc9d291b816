#include "PelorinsKit/board/CardPlacement.h"
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

#include <functional>
#include <gtest/gtest.h>

namespace {

bool struckThrough(const ListItem* card)
{
    const std::optional<AttributedString> notes = card->attributedNotes();
    return notes && notes->attribute(AttributeKey::strikethroughStyle, 0).toInt() == 1;
}

class KanbanColumnListItemsMoverTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_NE(board.kanban, nullptr) << "the store manager's store did not open"; }

    MoverBoard board;
};

// ---- Moving between columns

TEST_F(KanbanColumnListItemsMoverTest, DropOfThreeCards_FilesThemInSourceOrderWithHistory_AndUndoRedoRestoreExactly)
{
    QList<ListItem*> a;
    for (const char* name : {"a0", "a1", "a2", "a3", "a4"})
        a.append(board.addCard(0, QLatin1String(name)));
    board.addCard(1, QStringLiteral("b0"));
    board.addCard(1, QStringLiteral("b1"));
    const QString before = board.layout();

    board.stage(1).mover().moveItems({{0, 4}, {0, 1}, {0, 3}}, {0, 1}, &board.stage(0));

    EXPECT_EQ(board.layout(), QStringLiteral("A[a0 a2] B[b0 a1 a3 a4 b1] C[] | "));
    for (ListItem* card : {a[1], a[3], a[4]}) {
        ASSERT_EQ(card->history().size(), 1);
        EXPECT_EQ(card->history().last()->action(), ListItemAction::moved);
        EXPECT_EQ(card->history().last()->kanbanColumnUniqueIdentifier(), board.column(1)->uniqueIdentifier());
    }
    ASSERT_EQ(board.stage(1).insertions.size(), 1);
    EXPECT_EQ(board.stage(1).insertions.last().pathsToSelect, (QSet<IndexPath> {{0, 1}, {0, 2}, {0, 3}}));
    EXPECT_FALSE(board.stage(1).insertions.last().keepEarlierSelection);
    EXPECT_EQ(board.stage(0).deletions.last(), (QSet<IndexPath> {{0, 1}, {0, 3}, {0, 4}}));
    EXPECT_EQ(board.undoManager.undoActionName(), QStringLiteral("Move Cards"));

    board.undoManager.undo();
    EXPECT_EQ(board.layout(), before);
    for (ListItem* card : a)
        EXPECT_TRUE(card->history().isEmpty());
    // Every returned card is selected: only the first insertion drops the earlier selection.
    const auto& returned = board.stage(0).insertions;
    ASSERT_EQ(returned.size(), 3);
    EXPECT_FALSE(returned.at(0).keepEarlierSelection);
    EXPECT_TRUE(returned.at(1).keepEarlierSelection && returned.at(2).keepEarlierSelection);
    EXPECT_EQ(board.undoManager.redoActionName(), QStringLiteral("Move Cards"));

    board.undoManager.redo();
    EXPECT_EQ(board.layout(), QStringLiteral("A[a0 a2] B[b0 a1 a3 a4 b1] C[] | "));
    EXPECT_EQ(a[3]->history().size(), 1);
    EXPECT_EQ(board.undoManager.undoActionName(), QStringLiteral("Move Cards"));
}

TEST_F(KanbanColumnListItemsMoverTest, DropOfOneCard_IsNamedMoveCard)
{
    board.addCard(0, QStringLiteral("a"));
    board.stage(2).mover().moveItems({{0, 0}}, {0, 0}, &board.stage(0));
    EXPECT_EQ(board.layout(), QStringLiteral("A[] B[] C[a] | "));
    EXPECT_EQ(board.undoManager.undoActionName(), QStringLiteral("Move Card"));
}

TEST_F(KanbanColumnListItemsMoverTest, DropIntoToday_MarksDoneStrikesAndMakesTodaysGroup_UndoClearsBoth)
{
    ListItem* card = board.addCard(0, QStringLiteral("a"));
    DoneDate* older = board.addGroup(3);
    board.addDoneCard(older, QStringLiteral("x"));
    const QDateTime before = QDateTime::currentDateTimeUtc();

    board.done().mover().moveItems({{0, 0}}, {0, 0}, &board.stage(0));

    EXPECT_EQ(board.layout(), QStringLiteral("A[] B[] C[] | d0[a] d3[x]"));
    EXPECT_TRUE(card->done());
    ASSERT_TRUE(card->doneDate());
    EXPECT_GE(*card->doneDate(), before.addMSecs(-1));
    EXPECT_TRUE(struckThrough(card));
    EXPECT_EQ(card->history().last()->kanbanColumnUniqueIdentifier(), board.kanban->mainColumn()->uniqueIdentifier());
    // Today's section was the placeholder; its row is replaced.
    ASSERT_EQ(board.done().insertions.size(), 1);
    EXPECT_TRUE(board.done().insertions.last().placeholderShown);

    board.undoManager.undo();
    EXPECT_EQ(board.layout(), QStringLiteral("A[a] B[] C[] | d0[] d3[x]")) << "today's group stays";
    EXPECT_FALSE(card->done());
    EXPECT_FALSE(struckThrough(card));
    EXPECT_TRUE(card->history().isEmpty());
}

TEST_F(KanbanColumnListItemsMoverTest, DropIntoOlderDay_KeepsADoneTimeOfThatDayAndGivesOthersItsStart)
{
    DoneDate* older = board.addGroup(2);
    board.addDoneCard(older, QStringLiteral("x"));
    ListItem* sameDay = board.addCard(0, QStringLiteral("s"));
    const QDateTime doneThatDay = MoverBoard::day(2).addSecs(5 * 3600);
    sameDay->setDoneDate(doneThatDay);
    ListItem* other = board.addCard(0, QStringLiteral("o"));
    other->setDoneDate(MoverBoard::day(5));

    // Section 1 is the older day: today leads without a group.
    board.done().mover().moveItems({{0, 0}, {0, 1}}, {1, 1}, &board.stage(0));

    EXPECT_EQ(board.layout(), QStringLiteral("A[] B[] C[] | d2[x s o]"));
    EXPECT_EQ(*sameDay->doneDate(), doneThatDay);
    EXPECT_EQ(*other->doneDate(), MoverBoard::day(2));
}

TEST_F(KanbanColumnListItemsMoverTest, TakingTheLastCardOfAnOlderDay_DeletesItsGroup_UndoMakesItAgain)
{
    DoneDate* today = board.addGroup(0);
    board.addDoneCard(today, QStringLiteral("t"));
    DoneDate* older = board.addGroup(1);
    ListItem* card = board.addDoneCard(older, QStringLiteral("y"), MoverBoard::day(1).addSecs(3600));
    DoneDate* oldest = board.addGroup(4);
    board.addDoneCard(oldest, QStringLiteral("z"));
    const QString before = board.layout();

    board.stage(0).mover().moveItems({{1, 0}}, {0, 0}, &board.done());

    EXPECT_EQ(board.layout(), QStringLiteral("A[y] B[] C[] | d0[t] d4[z]"));
    EXPECT_TRUE(older->isDeleted());
    EXPECT_FALSE(card->done());
    EXPECT_FALSE(struckThrough(card));
    ASSERT_EQ(board.done().removals.size(), 1);
    EXPECT_EQ(board.done().removals.last().sections, QList<int> {1});
    EXPECT_TRUE(board.done().removals.last().rows.isEmpty()) << "the row goes with its section";

    board.undoManager.undo();
    EXPECT_EQ(board.layout(), before);
    EXPECT_EQ(*card->doneDate(), MoverBoard::day(1).addSecs(3600)) << "a returned card keeps its done time";
    EXPECT_TRUE(struckThrough(card));
}

TEST_F(KanbanColumnListItemsMoverTest, TakingTodaysLastCard_KeepsItsGroupAndShowsThePlaceholder)
{
    DoneDate* today = board.addGroup(0);
    board.addDoneCard(today, QStringLiteral("t"));

    board.stage(1).mover().moveItems({{0, 0}}, {0, 0}, &board.done());

    EXPECT_EQ(board.layout(), QStringLiteral("A[] B[t] C[] | d0[]"));
    ASSERT_EQ(board.done().removals.size(), 1);
    EXPECT_TRUE(board.done().removals.last().reload);
    EXPECT_TRUE(board.done().removals.last().rows.isEmpty());
}

// Today's group outlives its last card whichever way the card leaves, while a day before it
// goes with its last card.
TEST(KanbanColumnListItemsMoverDays, EmptiedGroupsGoExceptTodays)
{
    const struct
    {
        const char* leaving;
        std::function<void(MoverBoard&)> act;
        const char* layout;
    } cases[] = {
        {"to a stage column",
            [](MoverBoard& board) {
                board.stage(1).mover().moveItems({{0, 0}}, {0, 0}, &board.done());
            },
            "A[] B[t] C[] | d0[] d2[o]"},
        {"to an older day",
            [](MoverBoard& board) {
                board.done().mover().moveItems({{0, 0}}, {1, 1}, nullptr);
            },
            "A[] B[] C[] | d0[] d2[o t]"},
        {"an older day's last card to a stage column",
            [](MoverBoard& board) {
                board.stage(1).mover().moveItems({{1, 0}}, {0, 0}, &board.done());
            },
            "A[] B[o] C[] | d0[t]"},
        {"an older day's last card to today",
            [](MoverBoard& board) {
                board.done().mover().moveItems({{1, 0}}, {0, 0}, nullptr);
            },
            "A[] B[] C[] | d0[o t]"},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.leaving);
        MoverBoard board;
        ASSERT_NE(board.kanban, nullptr);
        board.addDoneCard(board.addGroup(0), QStringLiteral("t"));
        board.addDoneCard(board.addGroup(2), QStringLiteral("o"));

        test.act(board);
        EXPECT_EQ(board.layout(), QLatin1String(test.layout));
    }
}

TEST_F(KanbanColumnListItemsMoverTest, DropUnderASearch_LandsRightAfterTheShownCardAndStaysShown)
{
    board.addCard(1, QStringLiteral("match one"));
    board.addCard(1, QStringLiteral("hidden"));
    board.addCard(1, QStringLiteral("match two"));
    board.addCard(1, QStringLiteral("hidden too"));
    ListItem* card = board.addCard(0, QStringLiteral("new"));
    board.view.setSearchTerm(QStringLiteral("match"));

    // Row 2 of B is below the second shown card, "match two".
    board.stage(1).mover().insertItems({card}, {0, 2}, true, false);

    EXPECT_EQ(board.layout(), QStringLiteral("A[] B[match one hidden match two new hidden too] C[] | "));
    EXPECT_TRUE(board.stage(1).itemsAddedWhenInFilteredMode().contains(card));
}

// ---- Rearranging

struct StageRearrangement
{
    QSet<IndexPath> paths;
    int to;
    const char* after;
};

TEST_F(KanbanColumnListItemsMoverTest, RearrangingAStageColumn_FollowsTheBlockRule_UndoAndRedoAreExact)
{
    const QList<StageRearrangement> cases {
        {{{0, 1}, {0, 3}}, 4, "A[a c b d e] B[] C[] | "},
        {{{0, 0}}, 5, "A[b c d e a] B[] C[] | "},
        {{{0, 4}, {0, 2}}, 0, "A[c e a b d] B[] C[] | "},
        {{{0, 0}, {0, 1}}, 1, "A[a b c d e] B[] C[] | "},
    };
    for (const char* name : {"a", "b", "c", "d", "e"})
        board.addCard(0, QLatin1String(name));
    const QString before = board.layout();
    for (const StageRearrangement& rearrangement : cases) {
        board.act([&] { board.stage(0).mover().moveItems(rearrangement.paths, {0, rearrangement.to}, nullptr); });
        EXPECT_EQ(board.layout(), QLatin1String(rearrangement.after));
        EXPECT_EQ(board.undoManager.undoActionName(), QStringLiteral("Rearrange Cards"));
        board.undoManager.undo();
        EXPECT_EQ(board.layout(), before);
        board.undoManager.redo();
        EXPECT_EQ(board.layout(), QLatin1String(rearrangement.after));
        board.undoManager.undo();
    }
}

TEST_F(KanbanColumnListItemsMoverTest, RearrangingUnderAFilter_PutsTheCardsRightAfterTheShownCardBeforeTheGap)
{
    for (const char* name : {"x1", "hidden", "x2", "hidden too", "x3"})
        board.addCard(0, QLatin1String(name));
    board.view.setSearchTerm(QStringLiteral("x"));

    // Shown: x1 x2 x3. Drag x1 below x2.
    board.stage(0).mover().moveItems({{0, 0}}, {0, 2}, nullptr);

    EXPECT_EQ(board.layout(), QStringLiteral("A[hidden x2 x1 hidden too x3] B[] C[] | "));
}

TEST_F(KanbanColumnListItemsMoverTest, ReorderingInsideOneDay_KeepsDoneDatesAndSaves)
{
    DoneDate* today = board.addGroup(0);
    ListItem* a = board.addDoneCard(today, QStringLiteral("a"), QDateTime::currentDateTimeUtc());
    board.addDoneCard(today, QStringLiteral("b"));
    board.addDoneCard(today, QStringLiteral("c"));
    const QDateTime doneAt = *a->doneDate();

    board.done().mover().moveItems({{0, 0}}, {0, 3}, nullptr);

    EXPECT_EQ(board.layout(), QStringLiteral("A[] B[] C[] | d0[b c a]"));
    EXPECT_EQ(*a->doneDate(), doneAt);
    EXPECT_FALSE(MoverBoard::context()->hasChanges());
    EXPECT_EQ(board.done().selections.last(), (QSet<IndexPath> {{0, 2}}));
}

TEST_F(KanbanColumnListItemsMoverTest, DragIntoAnotherDay_TakesThatDay_UndoGivesBackTheExactDateAndRow)
{
    DoneDate* today = board.addGroup(0);
    board.addDoneCard(today, QStringLiteral("a"));
    board.addDoneCard(today, QStringLiteral("b"));
    DoneDate* yesterday = board.addGroup(1);
    const QDateTime doneAt = MoverBoard::day(1).addSecs(7 * 3600 + 17);
    ListItem* c = board.addDoneCard(yesterday, QStringLiteral("c"), doneAt);
    board.addDoneCard(yesterday, QStringLiteral("d"));
    const QString before = board.layout();

    board.done().mover().moveItems({{1, 0}}, {0, 1}, nullptr);
    EXPECT_EQ(board.layout(), QStringLiteral("A[] B[] C[] | d0[a c b] d1[d]"));
    EXPECT_EQ(*c->doneDate(), MoverBoard::day(0));

    board.undoManager.undo();
    EXPECT_EQ(board.layout(), before);
    EXPECT_EQ(*c->doneDate(), doneAt);
    EXPECT_EQ(board.done().selections.last(), (QSet<IndexPath> {{1, 0}}));
    EXPECT_FALSE(MoverBoard::context()->hasChanges());

    board.undoManager.redo();
    EXPECT_EQ(board.layout(), QStringLiteral("A[] B[] C[] | d0[a c b] d1[d]"));
}

TEST_F(KanbanColumnListItemsMoverTest, DropIntoTodayWithoutItsGroup_MakesIt_EmptiedDaysComeBackOnUndo)
{
    DoneDate* yesterday = board.addGroup(1);
    ListItem* y = board.addDoneCard(yesterday, QStringLiteral("y"), MoverBoard::day(1).addSecs(60));
    DoneDate* older = board.addGroup(3);
    ListItem* z1 = board.addDoneCard(older, QStringLiteral("z1"), MoverBoard::day(3).addSecs(120));
    board.addDoneCard(older, QStringLiteral("z2"));

    // Today is section 0 (no group), yesterday 1, three days ago 2. A mixed drag: y and z1.
    board.done().mover().moveItems({{1, 0}, {2, 0}}, {0, 0}, nullptr);
    EXPECT_EQ(board.layout(), QStringLiteral("A[] B[] C[] | d0[y z1] d3[z2]"));
    EXPECT_TRUE(yesterday->isDeleted());

    board.undoManager.undo();
    EXPECT_EQ(board.layout(), QStringLiteral("A[] B[] C[] | d0[] d1[y] d3[z1 z2]"));
    EXPECT_EQ(*y->doneDate(), MoverBoard::day(1).addSecs(60));
    EXPECT_EQ(*z1->doneDate(), MoverBoard::day(3).addSecs(120));
}

TEST_F(KanbanColumnListItemsMoverTest, MixedDragIntoOneDay_PutsSameDayCardsFirstThenTheOthers)
{
    DoneDate* today = board.addGroup(0);
    board.addDoneCard(today, QStringLiteral("a"));
    board.addDoneCard(today, QStringLiteral("b"));
    board.addDoneCard(today, QStringLiteral("c"));
    DoneDate* older = board.addGroup(2);
    board.addDoneCard(older, QStringLiteral("o"));
    board.addDoneCard(older, QStringLiteral("p"));

    board.done().mover().moveItems({{1, 0}, {0, 0}}, {0, 3}, nullptr);

    EXPECT_EQ(board.layout(), QStringLiteral("A[] B[] C[] | d0[b c a o] d2[p]"));
}

TEST_F(KanbanColumnListItemsMoverTest, RestoringDoneDates_KeepsGroupsNewestFirstAndMakesEachDayOnce)
{
    board.addGroup(2);
    board.addGroup(6);
    board.done().mover().restoreDoneDates(
        {MoverBoard::day(4), MoverBoard::day(2), MoverBoard::day(8), MoverBoard::day(0), MoverBoard::day(8)});
    EXPECT_EQ(board.layout(), QStringLiteral("A[] B[] C[] | d0[] d2[] d4[] d6[] d8[]"));

    // Any other instant of an existing day counts as a date of its own.
    board.done().mover().restoreDoneDates({MoverBoard::day(2).addSecs(1)});
    EXPECT_EQ(board.kanban->doneDates().size(), 6);
}

// ---- Deleting

TEST_F(KanbanColumnListItemsMoverTest, DeletingRowsTwoThreeAndFive_UndoPutsThemBackInTwoRuns)
{
    QList<ListItem*> cards;
    for (const char* name : {"a", "b", "c", "d", "e", "f", "g"})
        cards.append(board.addCard(0, QLatin1String(name)));
    const QString before = board.layout();

    board.stage(0).mover().deleteItems({cards[2], cards[3], cards[5]});
    EXPECT_EQ(board.layout(), QStringLiteral("A[a b e g] B[] C[] | "));
    EXPECT_TRUE(cards[2]->toBeDeleted() && cards[3]->toBeDeleted() && cards[5]->toBeDeleted());
    EXPECT_EQ(board.undoManager.undoActionName(), QStringLiteral("Delete Items"));

    board.undoManager.undo();
    EXPECT_EQ(board.layout(), before);
    EXPECT_FALSE(cards[2]->toBeDeleted() || cards[3]->toBeDeleted() || cards[5]->toBeDeleted());
    const auto& insertions = board.stage(0).insertions;
    ASSERT_EQ(insertions.size(), 2);
    EXPECT_EQ(insertions.at(0).pathsToSelect, (QSet<IndexPath> {{0, 2}, {0, 3}}));
    EXPECT_TRUE(insertions.at(0).keepEarlierSelection);
    EXPECT_EQ(insertions.at(1).pathsToSelect, (QSet<IndexPath> {{0, 5}}));
    EXPECT_EQ(board.undoManager.redoActionName(), QStringLiteral("Delete Items"));

    board.undoManager.redo();
    EXPECT_EQ(board.layout(), QStringLiteral("A[a b e g] B[] C[] | "));
}

TEST_F(KanbanColumnListItemsMoverTest, DeletingTheOnlyCardOfAnOlderDay_UndoMakesTheDayAgain)
{
    DoneDate* older = board.addGroup(2);
    ListItem* card = board.addDoneCard(older, QStringLiteral("x"));
    const QString before = board.layout();

    board.done().mover().deleteItems({card});
    EXPECT_EQ(board.layout(), QStringLiteral("A[] B[] C[] | "));

    board.undoManager.undo();
    EXPECT_EQ(board.layout(), before);
    EXPECT_TRUE(card->done());
    EXPECT_TRUE(struckThrough(card));
}

TEST_F(KanbanColumnListItemsMoverTest, DeletingACardAFilterHides_UndoStillBringsItBack)
{
    board.addCard(0, QStringLiteral("shown"));
    ListItem* hidden = board.addCard(0, QStringLiteral("other"));
    board.addCard(0, QStringLiteral("shown too"));
    board.view.setSearchTerm(QStringLiteral("shown"));
    const QString before = board.layout();

    board.stage(0).mover().deleteItems({hidden});
    EXPECT_TRUE(hidden->toBeDeleted());
    EXPECT_EQ(board.layout(), QStringLiteral("A[shown shown too] B[] C[] | "));

    board.undoManager.undo();
    EXPECT_EQ(board.layout(), before);
    EXPECT_FALSE(hidden->toBeDeleted());
}

// ---- Without a board, and the fallbacks that keep every card filed

TEST_F(KanbanColumnListItemsMoverTest, WithoutABoard_EveryCallIsIgnored)
{
    ListItem* card = board.addCard(0, QStringLiteral("a"));
    board.addCard(0, QStringLiteral("b"));
    FakeMoverColumn loose(0, &board.undoManager);
    const QString before = board.layout();

    loose.mover().moveItems({{0, 0}}, {0, 1}, nullptr);
    loose.mover().deleteItems({card});
    loose.mover().insertItems({card}, {0, 0}, true, false);
    loose.mover().removeItemsFromController({card}, &board.stage(0));
    loose.mover().restoreDoneDates({MoverBoard::day(1)});

    EXPECT_EQ(board.layout(), before);
    EXPECT_FALSE(card->toBeDeleted());
    EXPECT_FALSE(board.undoManager.canUndo());
    EXPECT_TRUE(loose.insertions.isEmpty());
}

TEST_F(KanbanColumnListItemsMoverTest, UndoingAMoveWhoseSourceHasNoMover_ReturnsTheCardsInTheModel)
{
    board.addCard(0, QStringLiteral("a"));
    board.addCard(0, QStringLiteral("b"));
    board.addCard(0, QStringLiteral("c"));
    const QString before = board.layout();
    board.stage(1).mover().moveItems({{0, 1}}, {0, 0}, &board.stage(0));
    board.stage(0).setItemsMover(nullptr);

    board.undoManager.undo();

    EXPECT_EQ(board.layout(), before);
}

TEST_F(KanbanColumnListItemsMoverTest, FilingADoneCardWithoutADoneDate_GivesItOneAndAGroup)
{
    ListItem* card = board.addCard(0, QStringLiteral("a"));
    board.stage(0).mover().removeItemsFromController({card}, &board.stage(0));

    board.done().mover().insertItems({card}, {0, 0}, false, true);

    EXPECT_EQ(board.layout(), QStringLiteral("A[] B[] C[] | d0[a]"));
    EXPECT_TRUE(card->done());
    EXPECT_TRUE(card->doneDate().has_value());
}

TEST_F(KanbanColumnListItemsMoverTest, FilingACardStillInADayGroupIntoAStage_TakesItOutOfTheGroupFirst)
{
    DoneDate* older = board.addGroup(2);
    ListItem* card = board.addDoneCard(older, QStringLiteral("y"));

    board.stage(0).mover().insertItems({card}, {0, 0}, true, false);

    EXPECT_EQ(board.layout(), QStringLiteral("A[y] B[] C[] | "));
    EXPECT_FALSE(card->done());
    EXPECT_FALSE(struckThrough(card));
    EXPECT_TRUE(older->isDeleted());
}

TEST_F(KanbanColumnListItemsMoverTest, RemovingCardsThatAreNotInTheirDaysGroup_NeverDeletesAGroupWithCards)
{
    DoneDate* older = board.addGroup(2);
    ListItem* kept = board.addDoneCard(older, QStringLiteral("kept"));
    // A card that says it was done that day but sits in no group.
    ListItem* stray = board.addCard(0, QStringLiteral("stray"));
    stray->setDoneDate(MoverBoard::day(2));

    board.done().mover().removeItemsFromController({stray}, &board.done());

    EXPECT_FALSE(older->isDeleted());
    EXPECT_EQ(kept->parentDoneGroup(), older);
}

TEST_F(KanbanColumnListItemsMoverTest, UndoingARearrangementWithOutOfRangeDropSection_StaysWithinTheBoard)
{
    DoneDate* today = board.addGroup(0);
    board.addDoneCard(today, QStringLiteral("a"));
    DoneDate* older = board.addGroup(1);
    board.addDoneCard(older, QStringLiteral("b"));
    const QString before = board.layout();

    board.done().mover().moveItems({{0, 0}}, {7, 9}, nullptr);
    EXPECT_EQ(board.layout(), QStringLiteral("A[] B[] C[] | d0[] d1[b a]"));

    board.undoManager.undo();
    EXPECT_EQ(board.layout(), before);
}

TEST_F(KanbanColumnListItemsMoverTest, TwoCardsRecordedAtOneRowOfADay_UndoEndsWithBothInThatDay)
{
    // Damaged data: a card filed under another day than its done date. Dragging it and the
    // first card of its own day records the same row of the same day for both.
    DoneDate* other = board.addGroup(2);
    ListItem* a = board.addDoneCard(other, QStringLiteral("a"), MoverBoard::day(5).addSecs(60));
    DoneDate* own = board.addGroup(5);
    ListItem* b = board.addDoneCard(own, QStringLiteral("b"), MoverBoard::day(5).addSecs(120));
    board.done().mover().moveItems({{1, 0}, {2, 0}}, {0, 0}, nullptr);
    EXPECT_EQ(board.layout(), QStringLiteral("A[] B[] C[] | d0[a b]"));

    board.undoManager.undo();

    const QString layout = board.layout();
    EXPECT_TRUE(layout == QStringLiteral("A[] B[] C[] | d0[] d5[a b]")
        || layout == QStringLiteral("A[] B[] C[] | d0[] d5[b a]"))
        << layout.toStdString();
    EXPECT_EQ(*a->doneDate(), MoverBoard::day(5).addSecs(60));
    EXPECT_EQ(*b->doneDate(), MoverBoard::day(5).addSecs(120));
}

} // namespace

// ---- Undo steps outliving the controllers that made them

// A move's undo and redo run through the controllers that show the columns when they run, and
// through the model when none does, whatever became of the controllers and movers that made them.
TEST(KanbanColumnListItemsMoverSteps, AMovesUndoAndRedo_OutliveTheControllersAndMoversThatMadeThem)
{
    const struct
    {
        const char* meanwhile;
        std::function<void(MoverBoard&)> change;
        bool newControllersShowIt;
    } cases[] = {
        {"both controllers and movers destroyed",
            [](MoverBoard& board) {
                board.destroyController(0);
                board.destroyController(1);
            },
            false},
        {"both made anew",
            [](MoverBoard& board) {
                for (int section : {0, 1}) {
                    board.destroyController(section);
                    board.makeController(section);
                }
            },
            true},
        {"the board showing another board", [](MoverBoard& board) { board.view.setKanban(nullptr); }, false},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.meanwhile);
        MoverBoard board;
        ASSERT_NE(board.kanban, nullptr);
        board.addCard(0, QStringLiteral("a"));
        ListItem* moved = board.addCard(0, QStringLiteral("b"));
        board.addCard(1, QStringLiteral("c"));
        const QString before = board.layout();
        board.stage(1).mover().moveItems({{0, 1}}, {0, 1}, &board.stage(0));
        const QString after = QStringLiteral("A[a] B[c b] C[] | ");
        ASSERT_EQ(board.layout(), after);

        test.change(board);
        board.undoManager.undo();
        EXPECT_EQ(board.layout(), before);
        EXPECT_TRUE(moved->history().isEmpty());
        if (test.newControllersShowIt) {
            EXPECT_EQ(board.stage(0).insertions.size(), 1) << "the new source column shows the card coming back";
        }

        board.undoManager.redo();
        EXPECT_EQ(board.layout(), after);
        ASSERT_EQ(moved->history().size(), 1);
        EXPECT_EQ(moved->history().last()->kanbanColumnUniqueIdentifier(), board.column(1)->uniqueIdentifier());
        EXPECT_EQ(board.undoManager.undoActionName(), QStringLiteral("Move Card"));

        board.undoManager.undo();
        EXPECT_EQ(board.layout(), before);
    }
}

// Every other step of the board's movers, undone, redone and undone again once no column has a
// controller: the model takes each card exactly where the step before left it.
TEST(KanbanColumnListItemsMoverSteps, EveryStepUndoesAndRedoesInTheModelOnceTheControllersAreGone)
{
    struct Cards
    {
        ListItem* first = nullptr;
        ListItem* second = nullptr;
    };
    const struct
    {
        const char* step;
        std::function<Cards(MoverBoard&)> setUp;
        std::function<void(MoverBoard&, const Cards&)> act;
    } cases[] = {
        {"Delete Items",
            [](MoverBoard& board) {
                board.addCard(0, QStringLiteral("a"));
                ListItem* b = board.addCard(0, QStringLiteral("b"));
                board.addCard(0, QStringLiteral("c"));
                return Cards {b};
            },
            [](MoverBoard& board, const Cards& cards) { board.stage(0).mover().deleteItems({cards.first}); }},
        {"Rearrange Cards in a stage",
            [](MoverBoard& board) {
                for (const char* name : {"a", "b", "c", "d"})
                    board.addCard(1, QLatin1String(name));
                return Cards {};
            },
            [](MoverBoard& board, const Cards&) {
                board.stage(1).mover().moveItems({{0, 1}, {0, 3}}, {0, 0}, nullptr);
            }},
        {"Rearrange Cards in the done column",
            [](MoverBoard& board) {
                board.addDoneCard(board.addGroup(0), QStringLiteral("t"));
                DoneDate* older = board.addGroup(2);
                board.addDoneCard(older, QStringLiteral("o"), MoverBoard::day(2).addSecs(600));
                board.addDoneCard(older, QStringLiteral("p"));
                return Cards {};
            },
            [](MoverBoard& board, const Cards&) {
                board.done().mover().moveItems({{1, 0}}, {0, 1}, nullptr);
            }},
        {"Mark Done",
            [](MoverBoard& board) {
                board.addCard(0, QStringLiteral("a"));
                ListItem* b = board.addCard(0, QStringLiteral("b"));
                ListItem* c = board.addCard(2, QStringLiteral("c"));
                return Cards {b, c};
            },
            [](MoverBoard& board, const Cards& cards) {
                board.doneMover.moveDoneItems({cards.first, cards.second}, std::nullopt);
            }},
        {"Unmark Done",
            [](MoverBoard& board) {
                board.addCard(1, QStringLiteral("a"));
                ListItem* x = board.addCard(1, QStringLiteral("x"));
                board.act([&] { board.doneMover.moveDoneItems({x}, std::nullopt); });
                return Cards {x};
            },
            [](MoverBoard& board, const Cards& cards) {
                board.doneMover.moveUnDoneItems({cards.first}, std::nullopt);
            }},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.step);
        MoverBoard board;
        ASSERT_NE(board.kanban, nullptr);
        const Cards cards = test.setUp(board);
        board.act([&] { test.act(board, cards); });
        const QString after = board.layout();
        board.undoManager.undo();
        const QString before = board.layout();
        board.undoManager.redo();
        ASSERT_EQ(board.layout(), after) << "with the controllers";
        ASSERT_NE(after, before);

        for (int section = 0; section <= board.kanban->column().size(); ++section)
            board.destroyController(section);
        board.undoManager.undo();
        EXPECT_EQ(board.layout(), before);
        board.undoManager.redo();
        EXPECT_EQ(board.layout(), after);
        board.undoManager.undo();
        EXPECT_EQ(board.layout(), before);
    }
}
