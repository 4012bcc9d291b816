#include "CardBoardFixture.h"

#include "Pelorins/card/NotesTextView.h"

#include <QLineEdit>

namespace {

class BoardKeys : public CardBoardFixture
{
protected:
    static void press(Qt::Key key)
    {
        QWidget* focus = QApplication::focusWidget();
        ASSERT_TRUE(focus);
        QTest::keyClick(focus, key);
        settle();
    }
};

} // namespace

TEST_F(BoardKeys, DeleteRemovesTheSelectedCardOfEveryColumnAndUndoBringsThemBack)
{
    Kanban* kanban = boardWithCards("A", {3, 2});
    const QList<ListItem*> first = kanban->column().at(0)->item();
    show(kanban);
    board->activateWindow();

    clickRow(controller(0), {0, 1});
    ASSERT_EQ(selection(controller(0)), (QSet<IndexPath> {{0, 1}}));
    const int savesBefore = saves;
    press(Qt::Key_Delete);
    EXPECT_TRUE(first.at(1)->toBeDeleted());
    EXPECT_EQ(shownCards(controller(0)), (QList<ListItem*> {first.at(0), first.at(2)}));
    EXPECT_GT(saves, savesBefore);
    EXPECT_EQ(undoManager.undoMenuItemTitle(), QStringLiteral("Undo Delete Items"));

    undoManager.undo();
    settle();
    EXPECT_FALSE(first.at(1)->toBeDeleted());
    EXPECT_EQ(shownCards(controller(0)), first);
}

TEST_F(BoardKeys, OnlyTheAddCellSelectedDeletesNothingButSaves)
{
    Kanban* kanban = boardWithCards("A", {2});
    show(kanban);
    controller(0)->selectItems({{0, 2}});
    const int savesBefore = saves;
    board->deleteBackward();
    EXPECT_EQ(shownCards(controller(0)).size(), 2);
    EXPECT_FALSE(undoManager.canUndo());
    EXPECT_GT(saves, savesBefore);
}

TEST_F(BoardKeys, BackspaceInATextFieldDeletesNoCard)
{
    Kanban* kanban = boardWithCards("A", {2});
    show(kanban);
    board->activateWindow();
    controller(0)->selectItems({{0, 0}});
    ListItemCellView* shown = cell(controller(0), {0, 0});
    ASSERT_TRUE(shown);
    shown->noteTextView()->setFocus();
    settle();
    press(Qt::Key_Backspace);
    press(Qt::Key_Delete);
    EXPECT_EQ(shownCards(controller(0)).size(), 2);
    EXPECT_FALSE(kanban->column().first()->item().first()->toBeDeleted());

    auto* field = new QLineEdit(board.get());
    field->setText(QStringLiteral("ab"));
    field->show();
    field->setFocus();
    settle();
    press(Qt::Key_Backspace);
    EXPECT_EQ(field->text(), QStringLiteral("a"));
    EXPECT_EQ(shownCards(controller(0)).size(), 2);
}
