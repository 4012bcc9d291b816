#include "PelorinsKit/model/Tag.h"
#include "PelorinsKit/model/EntityModel.h"
#include "PelorinsKit/model/Folder.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/model/ListItem.h"
#include "support/StoreBuilder.h"
#include "support/TestStore.h"

#include <gtest/gtest.h>

namespace {

TEST(Tag, LosingItsLastCard_DeletesTheTagAtTheNextSaveOnly)
{
    TestStore store;
    ASSERT_TRUE(store.isOpen()) << store.error().toStdString();
    StoreBuilder build(store.context());
    Kanban* board = build.addBoard("Board");
    Tag* orphan = build.addTag(board, "orphan");
    Tag* kept = build.addTag(board, "kept");
    ListItem* card = build.addCard(board->column().first(), {orphan, kept});
    build.addCard(board->column().first(), {kept});
    QString error;
    ASSERT_TRUE(store.context().save(&error)) << error.toStdString();

    store.context().deleteObject(card);
    EXPECT_FALSE(orphan->isDeleted());
    ASSERT_TRUE(store.context().save(&error)) << error.toStdString();
    EXPECT_TRUE(orphan->isDeleted());
    EXPECT_FALSE(kept->isDeleted());
    EXPECT_EQ(board->tags(), QList<Tag*> {kept});

    ASSERT_TRUE(store.reopen()) << store.error().toStdString();
    const QList<Tag*> tags = store.context().fetchAs<Tag>(FetchRequest("Tag"));
    ASSERT_EQ(tags.size(), 1);
    EXPECT_EQ(tags.first()->name(), QStringLiteral("kept"));
}

TEST(Tag, NewTagWithoutCards_IsNeverSaved)
{
    auto context = EntityModel::makeContext(EntityModel::currentModel());
    StoreBuilder build(*context);
    Tag* tag = build.addTag(build.addBoard("Board"), "unused");

    ASSERT_TRUE(context->save());

    EXPECT_TRUE(tag->isDeleted());
    EXPECT_FALSE(context->hasChanges());
}

TEST(Tag, TitleIsItsNameAndItNeverHasChildren)
{
    auto context = EntityModel::makeContext(EntityModel::currentModel());
    StoreBuilder build(*context);
    Tag* tag = build.addTag(build.addBoard("Board"), "home");
    tag->setChildren(QList<DisplayItem*> {build.addFolder("Folder")});

    EXPECT_EQ(tag->title(), QStringLiteral("home"));
    EXPECT_TRUE(tag->children().isEmpty());
}

}
