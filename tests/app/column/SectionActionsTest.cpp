#include "app/board/SectionsFixture.h"

#include <QAbstractButton>

namespace {

class SectionActions : public SectionsFixture
{
protected:
    ListItemHeaderCellView* listHeader(int section) const
    {
        return qobject_cast<ListItemHeaderCellView*>(controller(0)->collectionView()->headerWidget(section));
    }
};

TEST_F(SectionActions, AddSectionAfterFromTheMenuThenTypingTheTitleUndoesStepByStep)
{
    showRouted(boardWithCards(QStringLiteral("B"), {1, 1}));

    chooseFromMenu(header(0), ListItemHeaderCellView::addSectionAfterAction);
    ASSERT_EQ(stageTitles(), (QStringList {"B S1", "new column", "B S2"}));
    ASSERT_TRUE(header(1)->isEditingTitle());
    type(header(1), QStringLiteral("Doing"));
    EXPECT_EQ(stageTitles(), (QStringList {"B S1", "Doing", "B S2"}));

    EXPECT_EQ(undoManager.undoMenuItemTitle(), "Undo Change Title");
    undoManager.undo();
    settle();
    EXPECT_EQ(header(1)->title(), "new column");
    EXPECT_EQ(undoManager.undoMenuItemTitle(), "Undo Insert New Section");
    undoManager.undo();
    settle();
    EXPECT_EQ(stageTitles(), (QStringList {"B S1", "B S2"}));
    EXPECT_EQ(headerTitles(), stageTitles());
}

TEST_F(SectionActions, AddBeforeDeleteAndRenameFromTheMenu)
{
    showRouted(boardWithCards(QStringLiteral("B"), {1, 2}));

    chooseFromMenu(header(1), ListItemHeaderCellView::addSectionBeforeAction);
    EXPECT_EQ(stageTitles(), (QStringList {"B S1", "new column", "B S2"}));
    type(header(1), QString(), Qt::Key_Escape);

    // The right click selects the column it is on, which Delete Section then deletes.
    chooseFromMenu(header(2), ListItemHeaderCellView::deleteSelectedSectionsAction);
    EXPECT_EQ(stageTitles(), (QStringList {"B S1", "new column"}));
    undoManager.undo();
    settle();
    EXPECT_EQ(stageTitles(), (QStringList {"B S1", "new column", "B S2"}));
    EXPECT_EQ(shownCards(controller(2)).size(), 2);

    chooseFromMenu(header(0), ListItemHeaderCellView::editTitleAction);
    ASSERT_TRUE(header(0)->isEditingTitle());
    type(header(0), QStringLiteral("Ideas"));
    EXPECT_EQ(stageTitles(), (QStringList {"Ideas", "new column", "B S2"}));
}

TEST_F(SectionActions, InTheSingleListTheMenuActsOnItsOwnHeadersStage)
{
    showRouted(boardWithCards(QStringLiteral("B"), {1, 1, 1}));
    click(header(0));
    board->toggleColumnLayout();
    settle();
    ASSERT_TRUE(controller(0)->showAllSections());
    EXPECT_TRUE(selectedColumns().isEmpty());

    chooseFromMenu(listHeader(1), ListItemHeaderCellView::addSectionAfterAction);
    EXPECT_EQ(stageTitles(), (QStringList {"B S1", "B S2", "new column", "B S3"}));
    ASSERT_TRUE(listHeader(2));
    EXPECT_TRUE(listHeader(2)->isEditingTitle());
    type(listHeader(2), QStringLiteral("Doing"));
    EXPECT_EQ(stageTitles(), (QStringList {"B S1", "B S2", "Doing", "B S3"}));

    chooseFromMenu(listHeader(3), ListItemHeaderCellView::addSectionBeforeAction);
    EXPECT_EQ(stageTitles(), (QStringList {"B S1", "B S2", "Doing", "new column", "B S3"}));
    type(listHeader(3), QString(), Qt::Key_Escape);

    chooseFromMenu(listHeader(1), ListItemHeaderCellView::deleteSelectedSectionsAction);
    EXPECT_EQ(stageTitles(), (QStringList {"B S1", "Doing", "new column", "B S3"}));
    EXPECT_EQ(controller(0)->collectionView()->numberOfSections(), 4 + 1);

    chooseFromMenu(listHeader(0), ListItemHeaderCellView::deleteSelectedSectionsAction);
    EXPECT_EQ(stageTitles(), (QStringList {"Doing", "new column", "B S3"}));
    // The list stays on screen when the stage it was opened on goes.
    ASSERT_TRUE(board->columnControllers().size() == 4);
    MacKanbanColumnController* list = nullptr;
    for (MacKanbanColumnController* column : board->columnControllers())
        if (column->showAllSections())
            list = column;
    ASSERT_TRUE(list);
    EXPECT_TRUE(list->containerView()->isVisible());

    auto* third = qobject_cast<ListItemHeaderCellView*>(list->collectionView()->headerWidget(2));
    ASSERT_TRUE(third);
    chooseFromMenu(third, ListItemHeaderCellView::editTitleAction);
    EXPECT_TRUE(third->isEditingTitle());
}

TEST_F(SectionActions, TheBookmarkIsExclusiveAndOnlyTheFirstOfSeveralIsCleared)
{
    Kanban* kanban = boardWithCards(QStringLiteral("B"), {0, 0, 0, 0});
    const QList<KanbanColumn*> stages = kanban->column();
    stages.at(1)->setBookmarked(true);
    stages.at(2)->setBookmarked(true);
    showRouted(kanban);

    QTest::mouseClick(header(3)->bookmarkButton(), Qt::LeftButton, Qt::NoModifier, QPoint(7, 30));
    settle();
    EXPECT_FALSE(stages.at(1)->bookmarked());
    EXPECT_TRUE(stages.at(2)->bookmarked());
    EXPECT_TRUE(stages.at(3)->bookmarked());
    EXPECT_EQ(header(1)->bookmarkImageName(), "BookmarkIcon");
    EXPECT_EQ(header(3)->bookmarkImageName(), "BookmarkRedIcon");

    QTest::mouseClick(header(3)->bookmarkButton(), Qt::LeftButton, Qt::NoModifier, QPoint(7, 30));
    settle();
    EXPECT_FALSE(stages.at(3)->bookmarked());
    EXPECT_EQ(header(3)->bookmarkImageName(), "BookmarkIcon");

    QTest::mouseClick(header(0)->bookmarkButton(), Qt::LeftButton, Qt::NoModifier, QPoint(7, 30));
    settle();
    EXPECT_FALSE(stages.at(2)->bookmarked());
    EXPECT_TRUE(stages.at(0)->bookmarked());
    EXPECT_EQ(header(2)->bookmarkImageName(), "BookmarkIcon");
}

} // namespace
