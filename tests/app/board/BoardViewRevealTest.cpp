#include "BoardViewFixture.h"

#include "Pelorins/shell/MainSplitViewController.h"
#include "Pelorins/shell/MainWindowAssembly.h"
#include "Pelorins/shell/MainWindowController.h"
#include "PelorinsKit/model/DoneDate.h"
#include "PelorinsKit/model/Tag.h"
#include "Platform/widgets/ActionRouter.h"
#include "Platform/widgets/ScriptedFilePanelPresenter.h"

#include <QLineEdit>
#include <QToolButton>

namespace {

class BoardViewReveal : public BoardViewFixture
{
protected:
    // The columns where the card is selected, as (section of the column, selected path).
    QList<std::pair<int, IndexPath>> selections() const
    {
        QList<std::pair<int, IndexPath>> found;
        for (MacKanbanColumnController* column : board->columnControllers())
            for (const IndexPath& path : column->collectionView()->selectionIndexPaths())
                found.append({column->specifiedSection(), path});
        return found;
    }

    QDateTime startOfDay(int daysAgo) const
    {
        return QDateTime(now.toLocalTime().date().addDays(-daysAgo).startOfDay()).toUTC();
    }
};

} // namespace

TEST_F(BoardViewReveal, ACardHiddenByTheSearchIsFoundOnceTheSearchIsCleared)
{
    Kanban* kanban = boardWithCards("A", {3, 4, 2});
    ListItem* card = kanban->column().at(1)->item().at(2);
    show(kanban);
    board->setSearchTerm(QStringLiteral("A S1"));
    board->reloadColumns();
    ASSERT_FALSE(shownCards(controller(1)).contains(card));

    board->showAndSelect(card);
    EXPECT_FALSE(board->searchTerm() && !board->searchTerm()->isEmpty());
    EXPECT_EQ(selections(), (QList<std::pair<int, IndexPath>> {{1, {0, 2}}}));
    EXPECT_EQ(shownCards(controller(1)), kanban->column().at(1)->item());
}

TEST_F(BoardViewReveal, TheSearchFieldIsClearedOnlyWhenSomethingFilters)
{
    ActionRouter router;
    ScriptedFilePanelPresenter panels;
    MainWindowController window({&router, &undoManager, &panels, &defaults});
    auto* pane = new MacKanbanColumnsViewController(services());
    pane->animator().setFinishesAtOnce(true);
    window.splitViewController()->setKanbanColumnsViewController(pane);
    QObject::connect(
        pane, &MacKanbanColumnsViewController::tagFilterChanged, &window, &MainWindowController::setTagFilterActive);
    MainWindowAssembly::connectSplitView(*window.splitViewController(), window);
    window.show();
    Kanban* kanban = boardWithCards("A", {2, 2});
    Tag* tag = build.addTag(kanban, "urgent");
    window.splitViewController()->showDisplayItem(kanban);
    settle();
    ListItem* card = kanban->column().at(1)->item().at(1);

    // Typed but not applied yet: nothing filters, so the field keeps its text.
    window.searchField()->setText(QStringLiteral("typed"));
    pane->showAndSelect(card);
    EXPECT_EQ(window.searchField()->text(), QStringLiteral("typed"));

    // A tag filter is cleared together with the field.
    pane->setTagFilter(QList<Tag*> {tag});
    ASSERT_TRUE(window.tagsButton()->isChecked());
    pane->showAndSelect(card);
    EXPECT_TRUE(window.searchField()->text().isEmpty());
    EXPECT_FALSE(pane->tagFilter());
    EXPECT_FALSE(window.tagsButton()->isChecked());
}

TEST_F(BoardViewReveal, ACardDoneOnAnEarlierDayIsFoundInItsDaySectionInEitherLayout)
{
    Kanban* kanban = boardWithCards("A", {2, 1});
    DoneDate* yesterday = build.addDoneGroup(kanban, startOfDay(1));
    DoneDate* earlier = build.addDoneGroup(kanban, startOfDay(3));
    build.addDoneCard(kanban, yesterday);
    build.addDoneCard(kanban, earlier);
    ListItem* card = build.addDoneCard(kanban, earlier);

    show(kanban);
    board->showAndSelect(card);
    // Today leads the done column, then yesterday, then the day three days ago.
    EXPECT_EQ(selections(), (QList<std::pair<int, IndexPath>> {{2, {2, 1}}}));

    board->toggleColumnLayout();
    settle();
    board->showAndSelect(card);
    // In the one list the days follow the two stages.
    const QList<std::pair<int, IndexPath>> found = selections();
    ASSERT_EQ(found.size(), 1);
    EXPECT_EQ(found.first().second, (IndexPath {2 + 2, 1}));
}

TEST_F(BoardViewReveal, ACardThisBoardDoesNotShowChangesNothing)
{
    Kanban* kanban = boardWithCards("A", {2, 2});
    Kanban* other = boardWithCards("B", {1});
    ListItem* deleted = kanban->column().at(0)->item().at(0);
    deleted->setToBeDeleted(true);
    auto* loose = store.context().insertNewObject<ListItem>(QStringLiteral("ListItem"));
    show(kanban);
    for (ListItem* card : {deleted, other->column().at(0)->item().at(0), loose}) {
        board->showAndSelect(card);
        EXPECT_TRUE(selections().isEmpty());
    }
    board->showAndSelect(nullptr);
    EXPECT_TRUE(selections().isEmpty());
}
