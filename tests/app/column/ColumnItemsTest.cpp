#include "Pelorins/card/ListItemCellView.h"
#include "Pelorins/card/NotesTextView.h"
#include "Pelorins/column/KanbanColumnContainerView.h"
#include "Pelorins/column/KanbanColumnListItem.h"
#include "Platform/core/ConsoleLog.h"
#include "support/ColumnBoardFixture.h"

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

} // namespace
