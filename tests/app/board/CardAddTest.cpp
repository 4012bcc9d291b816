#include "CardBoardFixture.h"

#include "Pelorins/card/NotesTextView.h"
#include "PelorinsKit/model/ListItemAction.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QScrollBar>
#include <QTimer>
#include <optional>

namespace {

class CardAdd : public CardBoardFixture
{
};

} // namespace

TEST_F(CardAdd, TheAddCellAddsACardThatUndoRemovesAndRedoMakesAnew)
{
    Kanban* kanban = boardWithCards("A", {2, 1});
    KanbanColumn* stage = kanban->column().at(0);
    show(kanban);

    clickAddCell(controller(0), 0);
    ASSERT_EQ(stage->item().size(), 3);
    ListItem* added = stage->item().last();
    EXPECT_TRUE(added->notesExpanded());
    ASSERT_TRUE(newestEntry(added));
    EXPECT_EQ(newestEntry(added)->action(), ListItemAction::created);
    EXPECT_EQ(newestEntry(added)->kanbanColumnUniqueIdentifier(), stage->uniqueIdentifier());
    EXPECT_EQ(selection(controller(0)), (QSet<IndexPath> {{0, 2}}));
    ASSERT_TRUE(cell(controller(0), {0, 2}));
    EXPECT_TRUE(cell(controller(0), {0, 2})->noteTextView()->hasFocus());
    EXPECT_EQ(undoManager.undoMenuItemTitle(), QStringLiteral("Undo Add Card"));

    const int savesBefore = saves;
    undoManager.undo();
    settle();
    EXPECT_EQ(stage->item().size(), 2);
    EXPECT_TRUE(added->isDeleted());
    EXPECT_GT(saves, savesBefore);
    EXPECT_EQ(shownCards(controller(0)).size(), 2);
    EXPECT_EQ(undoManager.redoMenuItemTitle(), QStringLiteral("Redo Add Card"));

    undoManager.redo();
    settle();
    ASSERT_EQ(stage->item().size(), 3);
    ListItem* again = stage->item().at(2);
    EXPECT_NE(again, added);
    EXPECT_TRUE(again->notesExpanded());
    EXPECT_TRUE(notes(again).isEmpty());
    EXPECT_EQ(undoManager.undoMenuItemTitle(), QStringLiteral("Undo Add Card"));

    undoManager.undo();
    settle();
    EXPECT_EQ(stage->item().size(), 2);
    EXPECT_TRUE(again->isDeleted());
}

TEST_F(CardAdd, AnEmptyStageTakesTheCardAtItsFirstRowAndTheAddCellMovesDown)
{
    Kanban* kanban = boardWithCards("A", {1, 0});
    show(kanban);
    controller(1)->addNewItem(0);
    settle();
    EXPECT_EQ(kanban->column().at(1)->item().size(), 1);
    EXPECT_EQ(controller(1)->itemFor({0, 0}), kanban->column().at(1)->item().first());
    EXPECT_TRUE(controller(1)->pathIsAddButton({0, 1}));
}

TEST_F(CardAdd, NothingIsAddedWhereThereIsNoStage)
{
    Kanban* kanban = boardWithCards("A", {1});
    show(kanban);
    MacKanbanColumnController* done = controller(1);
    done->addNewItem(0);
    done->addNewItem({0, 0}, nullptr);
    done->insertNewCardAbove();
    settle();
    EXPECT_EQ(kanban->column().first()->item().size(), 1);
    EXPECT_FALSE(undoManager.canUndo());

    // A day section of the one list.
    board->toggleColumnLayout();
    settle();
    instantLists();
    MacKanbanColumnController* list = oneList();
    ASSERT_TRUE(list);
    list->addNewItem(1);
    list->addNewItem({1, 0}, nullptr);
    settle();
    EXPECT_EQ(kanban->column().first()->item().size(), 1);
    EXPECT_FALSE(undoManager.canUndo());
}

// A done card's menu offers no new card beside it, in the done column and in the days of the one
// list, as the Board menu does not; an open card's menu does.
TEST_F(CardAdd, ADoneCardsMenuOffersNoNewCardBesideIt)
{
    Kanban* kanban = boardWithCards("A", {1});
    ListItem* open = kanban->column().first()->item().first();
    ListItem* done = build.addDoneCard(kanban, build.addDoneGroup(kanban, now.toLocalTime().date().startOfDay()));
    // Whether the card's menu has its two add items enabled.
    const auto offersAdding = [](ListItemCellView* cell) {
        std::optional<bool> offered;
        QTimer::singleShot(0, [&offered] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu)
                return;
            bool above = false;
            bool below = false;
            for (QAction* item : menu->actions()) {
                above = above || (item->text() == QStringLiteral("Add Card Above") && item->isEnabled());
                below = below || (item->text() == QStringLiteral("Add Card Below") && item->isEnabled());
            }
            offered = above && below;
            menu->close();
        });
        const QPoint at = cell->rect().center();
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, cell->mapToGlobal(at));
        QApplication::sendEvent(cell, &event);
        return offered;
    };

    show(kanban);
    const auto shownAt = [](MacKanbanColumnController* column, ListItem* card) {
        const std::optional<IndexPath> path = column->indexPathFor(card);
        return path ? cell(column, *path) : nullptr;
    };
    ASSERT_TRUE(shownAt(controller(1), done));
    EXPECT_EQ(offersAdding(shownAt(controller(0), open)), std::optional<bool>(true));
    EXPECT_EQ(offersAdding(shownAt(controller(1), done)), std::optional<bool>(false));

    board->toggleColumnLayout();
    settle();
    instantLists();
    MacKanbanColumnController* list = oneList();
    ASSERT_TRUE(list);
    ASSERT_TRUE(shownAt(list, done));
    EXPECT_EQ(offersAdding(shownAt(list, open)), std::optional<bool>(true));
    EXPECT_EQ(offersAdding(shownAt(list, done)), std::optional<bool>(false));
    EXPECT_FALSE(undoManager.canUndo());
}

TEST_F(CardAdd, InTheOneListACardIsAddedToTheStageOfItsSection)
{
    Kanban* kanban = boardWithCards("A", {2, 1, 1});
    showAsOneList(kanban);
    MacKanbanColumnController* list = oneList();
    ASSERT_TRUE(list);
    KanbanColumn* second = kanban->column().at(1);

    clickAddCell(list, 1);
    ASSERT_EQ(second->item().size(), 2);
    ListItem* added = second->item().last();
    EXPECT_EQ(list->itemFor({1, 1}), added);
    EXPECT_EQ(selection(list), (QSet<IndexPath> {{1, 1}}));
    EXPECT_EQ(newestEntry(added)->kanbanColumnUniqueIdentifier(), second->uniqueIdentifier());

    undoManager.undo();
    settle();
    EXPECT_EQ(second->item().size(), 1);
    EXPECT_EQ(shownCards(list).size(), 4);
}

TEST_F(CardAdd, UndoAfterSwitchingBoardsAndBackStillRemovesTheCard)
{
    Kanban* first = boardWithCards("A", {1, 1});
    Kanban* second = boardWithCards("B", {2});
    show(first);
    controller(1)->addNewItem(0);
    settle();
    ListItem* added = first->column().at(1)->item().last();

    show(second);
    show(first);
    undoManager.undo();
    settle();
    EXPECT_TRUE(added->isDeleted());
    EXPECT_EQ(first->column().at(1)->item().size(), 1);
    EXPECT_EQ(shownCards(controller(1)).size(), 1);

    // Undone while another board shows: the card goes all the same.
    undoManager.redo();
    settle();
    ListItem* again = first->column().at(1)->item().last();
    show(second);
    undoManager.undo();
    settle();
    EXPECT_TRUE(again->isDeleted());
    EXPECT_EQ(first->column().at(1)->item().size(), 1);
}

TEST_F(CardAdd, NewCardAboveAndBelowTheSelectionOrAtTheEnds)
{
    Kanban* kanban = boardWithCards("A", {3});
    KanbanColumn* stage = kanban->column().first();
    const QList<ListItem*> before = stage->item();
    show(kanban);
    MacKanbanColumnController* column = controller(0);

    column->insertNewCardBelow();
    settle();
    EXPECT_EQ(stage->item().mid(0, 3), before);
    ListItem* last = stage->item().at(3);

    column->selectItems({{0, 1}});
    column->insertNewCardAbove();
    settle();
    EXPECT_EQ(stage->item().at(2), before.at(1));
    ListItem* above = stage->item().at(1);
    EXPECT_FALSE(before.contains(above));

    column->selectItems({{0, 0}, {0, 2}});
    column->insertNewCardBelow();
    settle();
    EXPECT_EQ(stage->item().indexOf(before.at(1)) + 1, stage->item().indexOf(stage->item().at(3)));
    EXPECT_FALSE(before.contains(stage->item().at(3)));
    EXPECT_EQ(stage->item().last(), last);

    column->deselectAllItems();
    column->insertNewCardAbove();
    settle();
    EXPECT_FALSE(before.contains(stage->item().first()));
    EXPECT_EQ(stage->item().size(), 7);
}

// A card added with the "+" at the foot of a long stage shows whole, editing buttons and all,
// above the buttons at the foot of the column.
TEST_F(CardAdd, ACardAddedAtTheFootOfALongStageScrollsWhollyIntoView)
{
    Kanban* kanban = boardWithCards("A", {14, 1});
    show(kanban);
    SectionedListView* list = controller(0)->collectionView();
    ASSERT_GT(list->verticalScrollBar()->maximum(), 0) << "the stage is longer than its column";

    clickAddCell(controller(0), 0);
    ASSERT_EQ(kanban->column().at(0)->item().size(), 15);
    const QRect frame = list->itemFrame({0, 14});
    const QRect visible = list->visibleRect();
    EXPECT_GE(frame.top(), visible.top());
    EXPECT_LE(frame.bottom(), visible.bottom() - list->bottomContentInset())
        << "frame " << frame.top() << ".." << frame.bottom() << ", visible to "
        << visible.bottom() - list->bottomContentInset();
}
