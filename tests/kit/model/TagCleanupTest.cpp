#include "PelorinsKit/model/EntityModel.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/model/Tag.h"
#include "Platform/core/ConsoleLog.h"
#include "support/StoreBuilder.h"
#include "support/TestStore.h"

#include <gtest/gtest.h>

namespace {

TEST(TagCleanupTest, DeletesTheTagsThatNoCardsNotesName)
{
    TestStore store;
    ASSERT_TRUE(store.isOpen()) << store.error().toStdString();
    StoreBuilder build(store.context());
    Kanban* board = build.addBoard("Board", {"A", "B"});
    Kanban* other = build.addBoard("Other");
    Tag* a = build.addTag(board, "a");
    Tag* b = build.addTag(board, "b");
    Tag* done = build.addTag(board, "done");
    Tag* upper = build.addTag(board, "A");
    Tag* elsewhere = build.addTag(other, "x");
    // Tags without cards go at the save itself; these are all carried, named in notes or not.
    build.addCard(board->column().at(1), {a, b, done, upper})->setAttributedNotes(AttributedString("see #a"));
    build.addCard(board->column().at(0));
    build.addCard(other->column().at(0), {elsewhere});
    build.addDoneCard(board, build.addDoneGroup(board, QDateTime::currentDateTimeUtc()))
        ->setAttributedNotes(AttributedString("finished #done"));
    QString error;
    ASSERT_TRUE(store.context().save(&error)) << error.toStdString();

    ConsoleLog::Capture capture;
    board->cleanupTags();

    EXPECT_FALSE(a->isDeleted());
    EXPECT_FALSE(done->isDeleted()) << "the done column counts";
    EXPECT_TRUE(b->isDeleted());
    EXPECT_TRUE(upper->isDeleted()) << "names compare exactly";
    EXPECT_FALSE(elsewhere->isDeleted());
    EXPECT_EQ(capture.lines(), (QStringList {"deleting tag b", "deleting tag A"}));
    EXPECT_TRUE(store.context().hasChanges()) << "nothing is saved here";
}

TEST(TagCleanupTest, ByNameDeletesOnlyTheNamedTagsThatNoCardsNotesName)
{
    TestStore store;
    ASSERT_TRUE(store.isOpen()) << store.error().toStdString();
    StoreBuilder build(store.context());
    Kanban* board = build.addBoard("Board", {"A"});
    Tag* named = build.addTag(board, "gone");
    Tag* stillWritten = build.addTag(board, "kept");
    Tag* notNamed = build.addTag(board, "other");
    build.addCard(board->column().at(0), {named, stillWritten, notNamed})
        ->setAttributedNotes(AttributedString("#kept"));
    build.addDoneCard(board, build.addDoneGroup(board, QDateTime::currentDateTimeUtc()))
        ->setAttributedNotes(AttributedString("#kept too"));

    ConsoleLog::Capture capture;
    board->cleanupTags({"kept", "gone", "absent"});

    EXPECT_TRUE(named->isDeleted());
    EXPECT_FALSE(stillWritten->isDeleted());
    EXPECT_FALSE(notNamed->isDeleted()) << "only the named tags are looked at";
    EXPECT_EQ(capture.lines(), QStringList {"deleting tag gone"});
}

} // namespace
