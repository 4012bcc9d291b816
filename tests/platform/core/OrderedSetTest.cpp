#include "Platform/core/IndexPath.h"
#include "Platform/core/OrderedSet.h"

#include <QSet>
#include <QStringList>
#include <gtest/gtest.h>

namespace {
QStringList letters(const QString& text)
{
    return text.split(' ', Qt::SkipEmptyParts);
}
}

TEST(OrderedSet, MoveIndexesTakesMembersOutThenInsertsAtIndexOfTheRest)
{
    struct Case
    {
        const char* start;
        QList<int> indexes;
        int to;
        const char* expected;
    };
    const Case cases[] = {
        {"A B C D E", {1, 3}, 2, "A C B D E"},
        {"A B C D E", {0}, 4, "B C D E A"},
        {"A B C D E", {4}, 0, "E A B C D"},
        {"A B C D E", {3, 1}, 0, "B D A C E"},
        {"A B C", {1, 1}, 2, "A C B"},
        {"A B C", {7}, 0, "A B C"},
        {"A B C", {0}, 99, "B C A"},
    };
    for (const Case& c : cases) {
        QStringList set = letters(c.start);
        OrderedSet::moveIndexes(set, c.indexes, c.to);
        EXPECT_EQ(set, letters(c.expected)) << c.start << " to " << c.to;
    }
}

TEST(OrderedSet, InsertingAMemberDoesNothing)
{
    QStringList set = letters("A B C");
    EXPECT_FALSE(OrderedSet::insert(set, QString("A"), 2));
    EXPECT_FALSE(OrderedSet::append(set, QString("C")));
    EXPECT_EQ(set, letters("A B C"));
    EXPECT_TRUE(OrderedSet::insert(set, QString("D"), 1));
    EXPECT_EQ(set, letters("A D B C"));
}

TEST(OrderedSet, InsertAtIndexesPutsEachObjectExactlyAtItsIndex)
{
    QStringList set = letters("A B C");
    OrderedSet::insertAtIndexes(set, letters("X Y Z"), {0, 2, 5});
    EXPECT_EQ(set, letters("X A Y B C Z"));
    EXPECT_EQ(set.indexOf("X"), 0);
    EXPECT_EQ(set.indexOf("Y"), 2);
    EXPECT_EQ(set.indexOf("Z"), 5);
}

TEST(OrderedSet, InsertRunKeepsOrderAndSkipsMembers)
{
    struct Case
    {
        const char* start;
        const char* objects;
        int index;
        const char* expected;
    };
    const Case cases[] = {
        {"A B C", "X Y", 1, "A X Y B C"},
        // A member keeps its place and the run closes up behind it.
        {"A B C", "X B Y", 0, "X Y A B C"},
        {"A B C", "X Y", -3, "X Y A B C"},
        {"A B C", "X Y", 9, "A B C X Y"},
        {"", "X X Y", 0, "X Y"},
    };
    for (const Case& c : cases) {
        QStringList set = letters(c.start);
        OrderedSet::insertRun(set, letters(c.objects), c.index);
        EXPECT_EQ(set, letters(c.expected)) << c.start << " + " << c.objects << " at " << c.index;
    }
}

TEST(IndexPath, OrdersBySectionThenItemAndHashes)
{
    EXPECT_LT((IndexPath{0, 5}), (IndexPath{1, 0}));
    EXPECT_LT((IndexPath{1, 0}), (IndexPath{1, 1}));
    EXPECT_EQ((IndexPath{2, 3}), (IndexPath{2, 3}));
    QSet<IndexPath> set{{0, 1}, {1, 0}, {0, 1}};
    EXPECT_EQ(set.size(), 2);
}
