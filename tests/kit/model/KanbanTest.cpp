#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/board/CardPlacement.h"
#include "PelorinsKit/model/DueSoonDefinition.h"
#include "PelorinsKit/model/EntityModel.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/model/Tag.h"
#include "support/StoreBuilder.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class KanbanTest : public ::testing::Test
{
protected:
    KanbanTest()
        : context(EntityModel::makeContext(EntityModel::currentModel()))
        , build(*context)
        , board(build.addBoard("Board", {"A", "B"}))
    {
    }

    KanbanColumn* stage(int index) const { return board->column().at(index); }
    KanbanColumn* doneColumn() const { return board->mainColumn(); }
    ListItem* cardDue(KanbanColumn* column, const QDateTime& due, bool done = false)
    {
        ListItem* card = build.addCard(column);
        card->setDueDate(due);
        card->setDone(done);
        return card;
    }

    std::unique_ptr<ManagedObjectContext> context;
    StoreBuilder build;
    Kanban* board;
    const QDateTime now = QDateTime(QDate(2026, 12, 9), QTime(12, 0), Qt::UTC);
};

TEST_F(KanbanTest, NotDone_CountsTheDoneColumnOnlyWhenAskedFor)
{
    build.addCard(stage(0));
    build.addCard(stage(1));
    build.addCard(stage(1))->setDone(true);
    build.addCard(doneColumn());

    EXPECT_EQ(board->numberOfNotDone(), 2);
    EXPECT_EQ(board->numberOfNotDone(true), 2);
    EXPECT_EQ(board->numberOfNotDone(false), 3);
}

TEST_F(KanbanTest, DoneAndTagCounts_CoverEveryColumn)
{
    Tag* home = build.addTag(board, "home");
    Tag* work = build.addTag(board, "work");
    build.addCard(stage(0), {home});
    build.addCard(stage(1), {home, work})->setDone(true);
    build.addCard(doneColumn(), {home})->setDone(true);
    build.addCard(doneColumn());

    EXPECT_EQ(board->numberOfDone(), 2);
    EXPECT_EQ(board->numberOfItemsWith(home), 3);
    EXPECT_EQ(board->numberOfItemsWith(work), 1);
    EXPECT_EQ(board->numberOfItemsWith(build.addTag(board, "home")), 0);
}

TEST_F(KanbanTest, Overdue_CountsOpenCardsDueStrictlyBeforeNow)
{
    cardDue(stage(0), now);
    cardDue(stage(0), now.addSecs(-1));
    cardDue(stage(1), now.addDays(-3), true);
    build.addCard(stage(1));
    cardDue(doneColumn(), now.addDays(-1));

    EXPECT_EQ(board->numberOfOverdueCards(std::nullopt, now), 1);
    EXPECT_EQ(board->numberOfOverdueCards(true, now), 1);
    EXPECT_EQ(board->numberOfOverdueCards(false, now), 2);
}

TEST_F(KanbanTest, DueSoon_CountsOpenCardsInTheUsersWindowPastDatesIncluded)
{
    QTemporaryDir folder;
    UserDefaults defaults(folder.filePath("defaults.conf"));
    defaults.setValue(dueSoonDefinitionKey, int(DueSoonDefinition::due2days));
    cardDue(stage(0), now.addDays(-5));
    cardDue(stage(0), now.addDays(1));
    cardDue(stage(1), now.addDays(1), true);
    cardDue(stage(1), now.addDays(10));
    build.addCard(stage(1));
    cardDue(doneColumn(), now.addDays(1));

    EXPECT_EQ(board->numberOfDueSoonCards(std::nullopt, now, defaults), 2);
    EXPECT_EQ(board->numberOfDueSoonCards(false, now, defaults), 3);

    defaults.setValue(dueSoonDefinitionKey, 9);
    EXPECT_EQ(board->numberOfDueSoonCards(false, now, defaults), 0);
}

TEST_F(KanbanTest, DoneCardsInDayGroupsAreCountedOnceAndKeepTheirTags)
{
    Tag* work = build.addTag(board, "work");
    ListItem* card = build.addCard(stage(0), {work});
    card->setAttributedNotes(AttributedString("report #work"));
    // Marking done files the card in today's day group, outside every column.
    CardPlacement::fileInDoneColumn(board, {card}, 0);
    ASSERT_EQ(card->column(), nullptr);
    // Older stores list a done card in the done column as well as in its group.
    build.addDoneCard(board, build.addDoneGroup(board, now.addDays(-1)));

    EXPECT_EQ(board->numberOfDone(), 2);
    EXPECT_EQ(board->numberOfItemsWith(work), 1);
    board->cleanupTags();
    EXPECT_FALSE(work->isDeleted());
    EXPECT_EQ(board->tags(), QList<Tag*> {work});
}

TEST_F(KanbanTest, Counters_OfABoardWithoutColumnsAreZero)
{
    Kanban* bare = context->insertNewObject<Kanban>("Kanban");

    EXPECT_EQ(bare->numberOfNotDone(false), 0);
    EXPECT_EQ(bare->numberOfDone(), 0);
    EXPECT_EQ(bare->numberOfOverdueCards(false, now), 0);
}

}
