#include "PelorinsKit/model/ListItemHistory.h"
#include "PelorinsKit/model/EntityModel.h"

#include <gtest/gtest.h>

namespace {

TEST(ListItemAction, RawValues_NameThreeActionsAndNothingElse)
{
    EXPECT_EQ(listItemActionFromRawValue(0), ListItemAction::created);
    EXPECT_EQ(listItemActionFromRawValue(1), ListItemAction::moved);
    EXPECT_EQ(listItemActionFromRawValue(2), ListItemAction::markedDone);
    EXPECT_EQ(listItemActionFromRawValue(3), std::nullopt);
    EXPECT_EQ(listItemActionFromRawValue(-1), std::nullopt);
}

TEST(ListItemHistory, Create_DatesTheEntryNowWithItsActionAndNoColumn)
{
    auto context = EntityModel::makeContext(EntityModel::currentModel());
    const QDateTime before = QDateTime::currentDateTimeUtc();

    ListItemHistory* entry = ListItemHistory::create(ListItemAction::markedDone, context.get());

    ASSERT_TRUE(entry);
    EXPECT_GE(entry->date(), before.addMSecs(-1));
    EXPECT_LE(entry->date(), QDateTime::currentDateTimeUtc());
    EXPECT_EQ(entry->actionInt(), 2);
    EXPECT_EQ(entry->action(), ListItemAction::markedDone);
    EXPECT_TRUE(entry->kanbanColumnUniqueIdentifier().isEmpty());
    EXPECT_EQ(entry->listItem(), nullptr);
    EXPECT_EQ(context->fetch(ListItemHistory::fetchRequest()), QList<ManagedObject*> {entry});
    EXPECT_EQ(ListItemHistory::create(ListItemAction::moved, nullptr), nullptr);
}

TEST(ListItemHistory, StoredActionOutOfRange_ReadsAsNoAction)
{
    auto context = EntityModel::makeContext(EntityModel::currentModel());
    ListItemHistory* entry = ListItemHistory::create(ListItemAction::moved, context.get());

    entry->setActionInt(7);

    EXPECT_EQ(entry->action(), std::nullopt);
}

}
