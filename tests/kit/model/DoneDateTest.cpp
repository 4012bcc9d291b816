#include "PelorinsKit/model/DoneDate.h"
#include "PelorinsKit/model/EntityModel.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/ListItem.h"
#include "support/StoreBuilder.h"

#include <gtest/gtest.h>

namespace {

class DoneDateTest : public ::testing::Test
{
protected:
    DoneDateTest()
        : context(EntityModel::makeContext(EntityModel::currentModel()))
        , build(*context)
        , board(build.addBoard("Board"))
        , group(build.addDoneGroup(board, QDateTime(QDate(2026, 12, 9), QTime(0, 0))))
    {
    }

    QList<ListItem*> cards(int count)
    {
        QList<ListItem*> made;
        for (int i = 0; i < count; ++i)
            made.append(build.addDoneCard(board, group));
        return made;
    }
    ListItem* loose() { return build.addCard(board->mainColumn()); }

    std::unique_ptr<ManagedObjectContext> context;
    StoreBuilder build;
    Kanban* board;
    DoneDate* group;
};

TEST_F(DoneDateTest, InsertIntoItems_PutsEachCardAtItsIndexOfTheResult)
{
    const QList<ListItem*> ab = cards(2);
    ListItem* x = loose();
    ListItem* y = loose();

    group->insertIntoItems({x, y}, {0, 2});

    EXPECT_EQ(group->items(), (QList<ListItem*> {x, ab[0], y, ab[1]}));
    EXPECT_EQ(x->parentDoneGroup(), group);
    EXPECT_EQ(y->parentDoneGroup(), group);
}

TEST_F(DoneDateTest, InsertIntoItems_PairsCardsWithIndexesInAscendingOrder)
{
    const QList<ListItem*> ab = cards(2);
    ListItem* x = loose();
    ListItem* y = loose();

    group->insertIntoItems({x, y}, {3, 1});

    EXPECT_EQ(group->items(), (QList<ListItem*> {ab[0], x, ab[1], y}));
}

TEST_F(DoneDateTest, InsertIntoItems_KeepsMembersInPlaceAndAppendsPastTheEnd)
{
    const QList<ListItem*> abc = cards(3);
    ListItem* x = loose();

    group->insertIntoItems({abc[2], x}, {0, 40});

    EXPECT_EQ(group->items(), (QList<ListItem*> {abc[0], abc[1], abc[2], x}));
}

TEST_F(DoneDateTest, InsertIntoItems_IgnoresCardsWithoutAnIndex)
{
    ListItem* x = loose();
    ListItem* y = loose();

    group->insertIntoItems({x, y}, {0});

    EXPECT_EQ(group->items(), QList<ListItem*> {x});
    EXPECT_EQ(y->parentDoneGroup(), nullptr);
}

}
