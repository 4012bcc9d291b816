#include "Pelorins/card/ListItemCellView.h"
#include "Pelorins/card/NotesTextView.h"
#include "Pelorins/column/AddItemToKanbanMenu.h"
#include "Pelorins/column/KanbanColumnContainerView.h"
#include "Pelorins/column/KanbanColumnListItem.h"
#include "PelorinsKit/board/CardPlacement.h"
#include "PelorinsKit/model/DoneDate.h"
#include "PelorinsKit/model/Folder.h"
#include "Platform/core/ConsoleLog.h"
#include "support/ColumnBoardFixture.h"

#include <QAction>

namespace {

using ColumnItems = ColumnBoardFixture;

TEST_F(ColumnItems, RoutingPassesTheColumnOnceWhereverItsContainerGoes)
{
    makeBoard({QStringLiteral("A")});
    addCards(stage(0), 2);
    ConsoleLog::Capture console;
    show();
    MacKanbanColumnController& controller = column(0);
    EXPECT_TRUE(console.contains(QStringLiteral("addIntermediateResponder ")));
    auto* card = qobject_cast<KanbanColumnListItem*>(controller.collectionView()->itemWidget({0, 0}));
    ASSERT_NE(card, nullptr);
    const auto passes = [&] { return board.router().chain(card->view()).count(&controller); };
    EXPECT_EQ(passes(), 1);

    // Pooled, then placed again: first as the board does it, then without its help.
    QWidget elsewhere;
    controller.containerView()->setParent(nullptr);
    controller.containerView()->setIntermediateResponderAdded(false);
    controller.containerView()->setParent(&board.document());
    EXPECT_EQ(passes(), 1);
    controller.containerView()->setParent(&elsewhere);
    controller.containerView()->setParent(&board.document());
    EXPECT_EQ(passes(), 1);
    EXPECT_TRUE(console.contains(QStringLiteral("next responder sets again")));
}

TEST_F(ColumnItems, CardsShowTheirFirstLineOrAllTheirNotes)
{
    makeBoard({QStringLiteral("A")});
    ListItem* collapsed = addCard(stage(0), QStringLiteral("First line\nSecond line"));
    ListItem* expanded = addCard(stage(0), QStringLiteral("Title\nBody"));
    expanded->setNotesExpanded(true);
    show();
    const auto shown = [&](int row) {
        return qobject_cast<KanbanColumnListItem*>(column(0).collectionView()->itemWidget({0, row}))->view();
    };
    EXPECT_EQ(shown(0)->objectValue(), collapsed);
    EXPECT_EQ(shown(0)->noteTextView()->string(), "First line\n") << "the first line with its break";
    EXPECT_EQ(shown(1)->noteTextView()->string(), QStringLiteral("Title\nBody"));
}

TEST_F(ColumnItems, TheAddToBoardMenuListsTheBoardsFolderAndFilesCardsThroughTheBoard)
{
    Folder* folder = builder.addFolder(QStringLiteral("Work"));
    kanban = builder.addBoard(QStringLiteral("Board"), {QStringLiteral("To Do")}, folder);
    DoneDate* yesterday = builder.addDoneGroup(kanban, dayStart(1));
    ListItem* done = builder.addDoneCard(kanban, yesterday);
    int saves = 0;
    AddItemToKanbanMenu menu([&] { ++saves; });
    menu.addAction(QStringLiteral("kept"));
    menu.populateMenu();
    ASSERT_EQ(menu.actions().size(), 1) << "without a stage the menu stays as it is";

    menu.setKanbanColumn(kanban->column().first());
    emit menu.aboutToShow();
    ASSERT_EQ(menu.actions().size(), 1);
    EXPECT_EQ(menu.actions().first()->text(), "Work");
    EXPECT_FALSE(menu.actions().first()->isEnabled());

    menu.queueListItemToColumn(done);
    EXPECT_EQ(done->column(), kanban->column().first());
    EXPECT_FALSE(yesterday->items().contains(done)) << "the done card left its day group";
    EXPECT_FALSE(done->done());
    EXPECT_EQ(saves, 1);
    menu.queueListItemToColumn(nullptr);
    EXPECT_EQ(saves, 1);
}

} // namespace
