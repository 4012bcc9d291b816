#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/notes/AttributeKey.h"
#include "PelorinsKit/model/EntityModel.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/model/ListItemHistory.h"
#include "PelorinsKit/notes/NoteTextConventions.h"
#include "PelorinsKit/notes/RichTextCodec.h"
#include "Platform/core/ConsoleLog.h"
#include "support/StoreBuilder.h"
#include "support/TestStore.h"

#include <gtest/gtest.h>

namespace {

class ListItemTest : public ::testing::Test
{
protected:
    ListItemTest()
        : context(EntityModel::makeContext(EntityModel::currentModel()))
        , build(*context)
        , board(build.addBoard("Board"))
        , card(build.addCard(board->column().first()))
    {
    }

    void setNotes(const QString& text) { card->setAttributedNotes(AttributedString(text, normalAttributes())); }

    std::unique_ptr<ManagedObjectContext> context;
    StoreBuilder build;
    Kanban* board;
    ListItem* card;
};

TEST_F(ListItemTest, TagNames_AreEachNameOnceInOrderOfFirstAppearance)
{
    const struct
    {
        QString notes;
        QStringList names;
    } cases[] = {
        {"Buy milk #home #work.\nCall #home", {"home", "work"}},
        {"#a ＃a ﹟b", {"a", "b"}},
        {"#", {""}},
        {"# and #x and #", {"", "x"}},
        {"#café and #日本 and #Home #home", {"café", "日本", "Home", "home"}},
        {"no tags here", {}},
    };
    for (const auto& c : cases) {
        setNotes(c.notes);
        EXPECT_EQ(card->getAllTagNames(), c.names) << c.notes.toStdString();
    }
    card->setAttributedNotes(std::nullopt);
    EXPECT_TRUE(card->getAllTagNames().isEmpty());
}

TEST_F(ListItemTest, FirstLines_StopAtTheFirstLineFeedOnly)
{
    EXPECT_EQ(card->firstLineOfNotes(), "");
    EXPECT_TRUE(card->firstAttributedLine().isEmpty());

    setNotes("Title");
    EXPECT_EQ(card->firstLineOfNotes(), "Title");
    EXPECT_TRUE(card->firstAttributedLine().isEmpty());
    EXPECT_TRUE(card->firstAttributedLineAndReturn().isEmpty());

    card->setAttributedNotes(AttributedString("Title\nSecond line", titleAttributes()));
    EXPECT_EQ(card->firstLineOfNotes(), "Title");
    EXPECT_EQ(card->firstAttributedLine().length(), 5);
    EXPECT_EQ(card->firstAttributedLine().attributes(0), titleAttributes());
    EXPECT_EQ(card->firstAttributedLineAndReturn().string(), "Title\n");

    // A carriage return or paragraph separator does not end the first line here.
    setNotes(QString("One\rTwo") + QChar(0x2029) + "Three\nFour");
    EXPECT_EQ(card->firstLineOfNotes(), QString("One\rTwo") + QChar(0x2029) + "Three");
}

TEST_F(ListItemTest, OverdueAndDueSoon_FollowTheDueDate)
{
    const QDateTime now(QDate(2026, 12, 9), QTime(12, 0), Qt::UTC);
    EXPECT_FALSE(card->isOverdue(now));
    EXPECT_FALSE(card->isDueSoon(now));

    card->setDueDate(now.addSecs(-1));
    EXPECT_TRUE(card->isOverdue(now));
    card->setDueDate(now);
    EXPECT_FALSE(card->isOverdue(now));
    card->setDone(true);
    card->setDueDate(now.addSecs(-60));
    EXPECT_TRUE(card->isOverdue(now)) << "the done state is the counters' business";
}

TEST_F(ListItemTest, StrikeThrough_CoversEverythingWhenDoneAndIsClearedOtherwise)
{
    AttributedString notes("Line\n", normalAttributes());
    notes.append(AttributedString(QString(AttributedString::attachmentCharacter),
        {{AttributeKey::fileFolderUUID, "0F6E2C1A-3B4D-4E5F-8A9B-0C1D2E3F4A5B"}, {AttributeKey::filename, "a.png"}}));
    card->setAttributedNotes(notes);

    card->setDone(true);
    card->applyRemoveStrikeThrough();
    TextRange range;
    EXPECT_EQ(card->attributedNotes()->attribute(AttributeKey::strikethroughStyle, 0, &range), 1);
    EXPECT_EQ(range, (TextRange {0, 6}));
    EXPECT_TRUE(card->imageAttachments().isEmpty()) << "pictures are not touched";

    card->setDone(false);
    AttributedString userStruck = *card->attributedNotes();
    userStruck.addAttribute(AttributeKey::strikethroughStyle, 2, {1, 2});
    card->setAttributedNotes(userStruck);
    card->applyRemoveStrikeThrough();
    card->attributedNotes()->enumerateAttribute(AttributeKey::strikethroughStyle, {0, 6},
        [](const QVariant& value, TextRange) { EXPECT_FALSE(value.isValid()); });

    card->setAttributedNotes(std::nullopt);
    card->applyRemoveStrikeThrough();
    EXPECT_FALSE(card->attributedNotes());
}

TEST_F(ListItemTest, Link_IsTheSchemeAndTheIdentifier)
{
    EXPECT_EQ(card->itemURLString(), "pelorins://" + card->uniqueIdentifier());
    EXPECT_EQ(card->uniqueIdentifier().size(), 36);
    card->setUniqueIdentifier(QString());
    EXPECT_EQ(card->itemURLString(), "pelorins://");
}

TEST_F(ListItemTest, AddHistory_AppendsOnceAndKeepsThePlaceOfAnEntryAlreadyThere)
{
    card->setHistory({});
    ListItemHistory* first = ListItemHistory::create(ListItemAction::created, context.get());
    ListItemHistory* second = ListItemHistory::create(ListItemAction::moved, context.get());
    card->addHistory(first);
    EXPECT_EQ(card->history(), QList<ListItemHistory*> {first});
    card->addHistory(second);
    card->addHistory(first);
    EXPECT_EQ(card->history(), (QList<ListItemHistory*> {first, second}));
}

TEST_F(ListItemTest, Notes_FollowTheStoredBytesWhateverSetsThem)
{
    setNotes("first");
    EXPECT_EQ(card->attributedNotes()->string(), "first");
    card->setAttributedNotesData(RichTextCodec::encode(AttributedString("second")));
    EXPECT_EQ(card->attributedNotes()->string(), "second");
    card->setValue("attributedNotes", RichTextCodec::encode(AttributedString("third")));
    EXPECT_EQ(card->attributedNotes()->string(), "third");

    ConsoleLog::Capture capture;
    card->setAttributedNotesData(QByteArray("garbage"));
    EXPECT_FALSE(card->attributedNotes());
    EXPECT_FALSE(card->attributedNotes());
    EXPECT_EQ(capture.lines().size(), 1) << "an unreadable blob is reported once, not on every read";
    card->setAttributedNotesData(QByteArray());
    EXPECT_FALSE(card->attributedNotes());
}

TEST_F(ListItemTest, ReleasedNotes_AreDecodedAgainOnTheNextRead)
{
    setNotes("kept");
    const AttributedString before = *card->attributedNotes();
    card->releaseDecodedNotes();
    EXPECT_EQ(*card->attributedNotes(), before);

    // An unreadable blob is reported again after a release: it was decoded afresh.
    card->setAttributedNotesData(QByteArray("garbage"));
    ConsoleLog::Capture capture;
    EXPECT_FALSE(card->attributedNotes());
    card->releaseDecodedNotes();
    EXPECT_FALSE(card->attributedNotes());
    EXPECT_EQ(capture.lines().size(), 2);
}

TEST_F(ListItemTest, NotesReadForOneUse_AreNotKeptUnlessTheyWereAlready)
{
    card->setAttributedNotesData(QByteArray("garbage"));
    ConsoleLog::Capture capture;
    EXPECT_FALSE(card->attributedNotesWithoutKeeping());
    EXPECT_FALSE(card->attributedNotesWithoutKeeping());
    EXPECT_EQ(capture.lines().size(), 2) << "decoded afresh each time";
    EXPECT_FALSE(card->attributedNotes());
    EXPECT_FALSE(card->attributedNotesWithoutKeeping());
    EXPECT_EQ(capture.lines().size(), 3) << "the kept decoding serves both";

    setNotes("Title\nbody");
    EXPECT_EQ(card->attributedNotesWithoutKeeping()->string(), "Title\nbody");
    EXPECT_EQ(card->firstAttributedLine().string(), "Title");
}

TEST_F(ListItemTest, PlainText_FollowsTheStoredBytesAndGoesWithTheReleasedNotes)
{
    EXPECT_TRUE(card->plainNotesText().isNull()) << "no notes";
    setNotes("");
    EXPECT_FALSE(card->plainNotesText().isNull());
    EXPECT_TRUE(card->plainNotesText().isEmpty());
    setNotes("Milk #shop");
    EXPECT_EQ(card->plainNotesText().toString(), "Milk #shop");
    EXPECT_TRUE(card->hasPlainNotesText());
    card->setAttributedNotesData(QByteArray("garbage"));
    EXPECT_FALSE(card->hasPlainNotesText());
    EXPECT_TRUE(card->plainNotesText().isNull());

    // Text read elsewhere is taken only for the bytes it was read from.
    setNotes("Eggs");
    const QByteArray before = card->attributedNotesData();
    setNotes("Bread");
    card->setPlainNotesText(before, CompactText(QStringLiteral("Eggs")));
    EXPECT_EQ(card->plainNotesText().toString(), "Bread");
    card->setPlainNotesText(card->attributedNotesData(), CompactText(QStringLiteral("read elsewhere")));
    EXPECT_EQ(card->plainNotesText().toString(), "read elsewhere");
    card->releaseDecodedNotes();
    EXPECT_FALSE(card->hasPlainNotesText());
    EXPECT_EQ(card->plainNotesText().toString(), "Bread");
}

TEST(ListItemStoreTest, Notes_SurviveSavingAndReopening)
{
    TestStore store;
    ASSERT_TRUE(store.isOpen()) << store.error().toStdString();
    StoreBuilder build(store.context());
    Kanban* board = build.addBoard("Board");
    build.addCard(board->column().first())->setAttributedNotes(AttributedString("Title\nbody #tag", titleAttributes()));
    QString error;
    ASSERT_TRUE(store.context().save(&error)) << error.toStdString();
    ASSERT_TRUE(store.reopen());

    const QList<ListItem*> cards = store.context().fetchAs<ListItem>(FetchRequest("ListItem"));
    ASSERT_EQ(cards.size(), 1);
    EXPECT_EQ(cards.first()->firstAttributedLine(), AttributedString("Title", titleAttributes()));
    EXPECT_EQ(cards.first()->getAllTagNames(), QStringList {"tag"});
}

} // namespace
