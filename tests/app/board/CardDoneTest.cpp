#include "CardBoardFixture.h"

#include "Pelorins/card/CheckedButton.h"
#include "PelorinsKit/board/CardHistory.h"
#include "PelorinsKit/board/CardPlacement.h"
#include "PelorinsKit/model/ListItemAction.h"

namespace {

class CardDone : public CardBoardFixture
{
protected:
    // A card done `daysAgo` days ago, which came from `stage` when one is given.
    ListItem* doneCard(Kanban* kanban, int daysAgo, KanbanColumn* stage, const QString& text)
    {
        const QDateTime day = LocalDays::start(-daysAgo);
        DoneDate* group = CardPlacement::groupOn(kanban, day);
        if (!group)
            group = build.addDoneGroup(kanban, day);
        ListItem* card = build.addDoneCard(kanban, group);
        card->setAttributedNotes(AttributedString(text, normalAttributes()));
        card->setNotesExpanded(false);
        if (stage)
            CardHistory::append(card, ListItemAction::moved, stage->uniqueIdentifier());
        return card;
    }

    static DoneDate* todaysGroup(Kanban* kanban) { return CardPlacement::groupOn(kanban, CardPlacement::today()); }
};

} // namespace

TEST_F(CardDone, AMixedListIsWorkedOpenCardsFirstAndAnEmptyOneDoesNothing)
{
    Kanban* kanban = boardWithCards("A", {2});
    KanbanColumn* stage = kanban->column().first();
    ListItem* open = stage->item().first();
    ListItem* done = doneCard(kanban, 1, stage, QStringLiteral("done"));
    show(kanban);

    int savesBefore = saves;
    board->flipDoneStatesOf({});
    EXPECT_EQ(saves, savesBefore);
    EXPECT_FALSE(undoManager.canUndo());

    board->flipDoneStatesOf({done, open});
    settle();
    EXPECT_TRUE(open->done());
    EXPECT_EQ(cardsOf(todaysGroup(kanban)), QList<ListItem*> {open});
    EXPECT_FALSE(done->done());
    EXPECT_TRUE(stage->item().contains(done));
    // Unmarking came second: its name is the step's.
    EXPECT_EQ(undoManager.undoMenuItemTitle(), QStringLiteral("Undo Unmark Done"));
    EXPECT_GT(saves, savesBefore);

    undoManager.undo();
    settle();
    EXPECT_FALSE(open->done());
    EXPECT_TRUE(done->done());
    EXPECT_EQ(stage->item().first(), open);
}

TEST_F(CardDone, TheCheckButtonFilesTheCardAtTheHeadOfTodayAndUndoReturnsIt)
{
    Kanban* kanban = boardWithCards("A", {3, 1});
    KanbanColumn* stage = kanban->column().first();
    ListItem* earlier = doneCard(kanban, 0, stage, QStringLiteral("earlier today"));
    ListItem* card = stage->item().at(1);
    show(kanban);
    MacKanbanColumnController* done = controller(2);

    ListItemCellView* shown = cell(controller(0), {0, 1});
    ASSERT_TRUE(shown);
    QTest::mouseClick(shown->checkButton(), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(card->done(), 3000);
    settle();
    EXPECT_TRUE(card->doneDate().has_value());
    EXPECT_EQ(cardsOf(todaysGroup(kanban)), (QList<ListItem*> {card, earlier}));
    EXPECT_EQ(done->itemFor({0, 0}), card);
    EXPECT_FALSE(shownCards(controller(0)).contains(card));
    EXPECT_EQ(newestEntry(card)->action(), ListItemAction::markedDone);
    EXPECT_EQ(undoManager.undoMenuItemTitle(), QStringLiteral("Undo Mark Done"));

    undoManager.undo();
    settle();
    EXPECT_FALSE(card->done());
    EXPECT_EQ(controller(0)->itemFor({0, 1}), card);
    EXPECT_EQ(done->itemFor({0, 0}), earlier);
}

TEST_F(CardDone, InTheOneListMarkingDoneUndoAndRedoKeepDoneStateDayAndHistory)
{
    Kanban* kanban = boardWithCards("A", {2, 2});
    KanbanColumn* second = kanban->column().at(1);
    ListItem* card = second->item().first();
    showAsOneList(kanban);
    MacKanbanColumnController* list = oneList();
    ASSERT_TRUE(list);

    list->selectItems({{1, 0}});
    list->flipDoneStatesOfSelectedItems();
    settle();
    ASSERT_TRUE(card->done());
    ASSERT_TRUE(card->doneDate());
    EXPECT_EQ(cardsOf(todaysGroup(kanban)), QList<ListItem*> {card});
    EXPECT_FALSE(second->item().contains(card));
    EXPECT_EQ(list->itemFor({2, 0}), card);
    EXPECT_EQ(selection(list), (QSet<IndexPath> {{2, 0}}));
    EXPECT_EQ(newestEntry(card)->action(), ListItemAction::markedDone);
    const qsizetype entries = card->history().size();

    undoManager.undo();
    settle();
    EXPECT_FALSE(card->done());
    EXPECT_EQ(second->item().first(), card);
    EXPECT_TRUE(cardsOf(todaysGroup(kanban)).isEmpty());
    EXPECT_EQ(list->itemFor({1, 0}), card);
    EXPECT_EQ(card->history().size(), entries - 1);

    undoManager.redo();
    settle();
    EXPECT_TRUE(card->done());
    EXPECT_EQ(list->itemFor({2, 0}), card);
    EXPECT_EQ(card->history().size(), entries);
}

TEST_F(CardDone, InTheOneListAnEarlierDayGoesWhenEmptiedAndTodayStays)
{
    Kanban* kanban = boardWithCards("A", {1});
    KanbanColumn* stage = kanban->column().first();
    ListItem* today = doneCard(kanban, 0, stage, QStringLiteral("today"));
    ListItem* first = doneCard(kanban, 2, stage, QStringLiteral("first"));
    ListItem* second = doneCard(kanban, 2, stage, QStringLiteral("second"));
    showAsOneList(kanban);
    MacKanbanColumnController* list = oneList();
    ASSERT_TRUE(list);
    ASSERT_EQ(list->collectionView()->numberOfSections(), 3);

    board->flipDoneStatesOf({first, second});
    settle();
    EXPECT_EQ(list->collectionView()->numberOfSections(), 2);
    EXPECT_EQ(stage->item().size(), 3);
    EXPECT_EQ(list->collectionView()->numberOfItems(0), 4);

    board->flipDoneStatesOf({today});
    settle();
    EXPECT_EQ(list->collectionView()->numberOfSections(), 2);
    EXPECT_EQ(list->collectionView()->numberOfItems(1), 0);
    EXPECT_EQ(stage->item().size(), 4);
}

TEST_F(CardDone, ACardWhoseHistoryNamesNoStageLandsInTheLastStage)
{
    Kanban* kanban = boardWithCards("A", {1, 1});
    ListItem* card = doneCard(kanban, 1, nullptr, QStringLiteral("no stage"));
    show(kanban);
    board->flipDoneStatesOf({card});
    settle();
    EXPECT_FALSE(card->done());
    EXPECT_TRUE(kanban->column().last()->item().contains(card));
    EXPECT_TRUE(shownCards(controller(1)).contains(card));
}

TEST_F(CardDone, StepsOfABoardDeletedSinceDoNothing)
{
    Kanban* gone = boardWithCards("A", {2});
    Kanban* other = boardWithCards("B", {1});
    ListItem* card = gone->column().first()->item().first();
    show(gone);
    controller(0)->addNewItem(0);
    settle();
    board->flipDoneStatesOf({card});
    settle();
    ASSERT_TRUE(card->done());

    show(other);
    store.context().deleteObject(gone);
    undoManager.undo();
    settle();
    undoManager.undo();
    settle();
    EXPECT_TRUE(card->done());
    EXPECT_EQ(other->column().first()->item().size(), 1);
    EXPECT_EQ(shownCards(controller(0)).size(), 1);
}
