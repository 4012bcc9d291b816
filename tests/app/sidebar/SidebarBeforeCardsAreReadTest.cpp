#include "Pelorins/common/AppConstants.h"
#include "Pelorins/sidebar/KDLeftSidebarViewController.h"
#include "Pelorins/sidebar/ProjectRecoveryViewController.h"
#include "PelorinsKit/model/DoneDate.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/model/ListItemHistory.h"
#include "PelorinsKit/store/StoreLoading.h"
#include "support/QStringPrinting.h"
#include "support/SidebarHarness.h"

#include <QElapsedTimer>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTableView>
#include <gtest/gtest.h>

namespace {

QStringList notesOf(const QList<ListItem*>& cards)
{
    QStringList notes;
    for (const ListItem* card : cards)
        notes << card->firstLineOfNotes();
    return notes;
}

Kanban* boardTitled(ManagedObjectContext& context, const QString& title)
{
    for (Kanban* board : context.fetchAs<Kanban>(FetchRequest(QStringLiteral("Kanban"))))
        if (board->title() == title)
            return board;
    return nullptr;
}

// A store with the board shown and a board whose cards (each with history, one done) are not
// read yet, opened as the program opens it, under a sidebar; with the parameter, the thread
// reading the rest has started too, and nothing it read is in until the event loop runs.
class SidebarBeforeCardsAreRead : public ::testing::TestWithParam<bool>
{
protected:
    void SetUp() override
    {
        StoreBuilder build(data.context());
        for (const QString& title : {QStringLiteral("Shown"), QStringLiteral("Later")}) {
            Kanban* board = build.addBoard(title);
            for (int i = 1; i <= 3; ++i) {
                ListItem* card = build.addCard(board->column().first());
                card->setAttributedNotes(AttributedString(QStringLiteral("%1 %2").arg(title).arg(i)));
                card->addHistory(ListItemHistory::create(ListItemAction::created, &data.context()));
            }
            ListItem* done = build.addDoneCard(board, build.addDoneGroup(board, QDateTime(QDate(2026, 2, 1), QTime())));
            done->setAttributedNotes(AttributedString(title + QStringLiteral(" done")));
        }
        QString error;
        ASSERT_TRUE(data.context().save(&error)) << error.toStdString();
        ASSERT_TRUE(data.reopenProgressively()) << data.error().toStdString();
        shown = boardTitled(data.context(), QStringLiteral("Shown"));
        later = boardTitled(data.context(), QStringLiteral("Later"));
        harness = std::make_unique<SidebarHarness>(&data.context());
        harness->loading = data.loading();
        harness->makeSidebar();
        data.loading()->loadBoard(shown);
        if (GetParam())
            data.loading()->start();
    }

    // The store as a whole load reads it, after what the test saved.
    ManagedObjectContext& savedAndReadWhole()
    {
        QString error;
        EXPECT_TRUE(data.context().save(&error)) << error.toStdString();
        harness.reset();
        EXPECT_TRUE(data.reopen());
        return data.context();
    }

    TestStore data;
    std::unique_ptr<SidebarHarness> harness;
    Kanban* shown = nullptr;
    Kanban* later = nullptr;
};

} // namespace

TEST_P(SidebarBeforeCardsAreRead, TheTreeAndItsBadgesReadNoCard)
{
    EXPECT_FALSE(data.loading()->isBoardLoaded(later));
    const QModelIndex row = harness->sidebar->model()->indexForItem(later);
    EXPECT_EQ(row.data(SourceTreeModel::BadgeCountRole).toInt(), 0) << "nothing counted yet";
    EXPECT_FALSE(data.loading()->isBoardLoaded(later));

    // The count comes from one query; the board's own cards tell it once they are read.
    data.loading()->start();
    QElapsedTimer timer;
    timer.start();
    while (!data.loading()->isCounted() && timer.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_EQ(row.data(SourceTreeModel::BadgeCountRole).toInt(), 3);
    data.loading()->loadBoard(later);
    harness->sidebar->model()->refreshBadges();
    EXPECT_EQ(row.data(SourceTreeModel::BadgeCountRole).toInt(), 3);
}

TEST_P(SidebarBeforeCardsAreRead, ACardDroppedByURIJoinsTheOtherBoardsCardsInOrder)
{
    ListItem* moved = shown->column().first()->item().first();
    auto data = std::make_unique<QMimeData>();
    data->setData(listItemPasteboardType, moved->objectIDURI().toString(QUrl::FullyEncoded).toUtf8());
    int index = -1;
    DisplayItem* target = later;
    ASSERT_FALSE(this->data.loading()->isBoardLoaded(later));
    ASSERT_NE(harness->sidebar->validateDrop(data.get(), nullptr, target, index), Qt::IgnoreAction);
    EXPECT_TRUE(harness->sidebar->acceptDrop(data.get(), nullptr, target, index));

    ManagedObjectContext& whole = savedAndReadWhole();
    EXPECT_EQ(notesOf(boardTitled(whole, QStringLiteral("Later"))->column().first()->item()),
        QStringList({"Later 1", "Later 2", "Later 3", "Shown 1"}));
}

TEST_P(SidebarBeforeCardsAreRead, ABoardDeletedAndUndoneComesBackWithEveryCardAndItsHistory)
{
    ASSERT_FALSE(data.loading()->isBoardLoaded(later));
    harness->sidebar->deleteItems(QList<DisplayItem*> {later});
    SidebarHarness::endTurn();
    harness->undoManager.undo();
    SidebarHarness::endTurn();

    ManagedObjectContext& whole = savedAndReadWhole();
    Kanban* back = boardTitled(whole, QStringLiteral("Later"));
    ASSERT_TRUE(back);
    EXPECT_EQ(notesOf(back->column().first()->item()), QStringList({"Later 1", "Later 2", "Later 3"}));
    EXPECT_EQ(notesOf(back->mainColumn()->item()), QStringList {"Later done"});
    for (const ListItem* card : back->column().first()->item())
        EXPECT_EQ(card->history().size(), 1);
    EXPECT_EQ(whole.count(FetchRequest(QStringLiteral("ListItem"))), 8);
}

TEST_P(SidebarBeforeCardsAreRead, ADuplicateCopiesEveryCardOfABoardNotRead)
{
    ASSERT_FALSE(data.loading()->isBoardLoaded(later));
    DisplayItem* copy = harness->sidebar->duplicate(later);
    ASSERT_TRUE(copy);
    EXPECT_EQ(notesOf(static_cast<Kanban*>(copy)->column().first()->item()),
        QStringList({"Later 1", "Later 2", "Later 3"}));
    ManagedObjectContext& whole = savedAndReadWhole();
    EXPECT_EQ(whole.count(FetchRequest(QStringLiteral("ListItem"))), 12);
}

TEST_P(SidebarBeforeCardsAreRead, ProjectRecoveryListsEveryBoardWithoutReadingItsCards)
{
    ProjectRecoveryViewController recovery(&data.context());
    QStringList titles;
    for (const Kanban* board : recovery.projects())
        titles << board->title();
    EXPECT_EQ(titles, QStringList({"Shown", "Later"}));
    recovery.tableView()->selectRow(1);
    EXPECT_TRUE(recovery.detailsTextView()->toPlainText().contains(QStringLiteral("Later")));
    if (!GetParam())
        EXPECT_FALSE(data.loading()->isBoardLoaded(later));
}

INSTANTIATE_TEST_SUITE_P(BeforeAndWhileTheRestIsRead, SidebarBeforeCardsAreRead, ::testing::Bool(),
    [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Reading" : "NotStarted"; });
