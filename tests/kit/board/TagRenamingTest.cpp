#include "PelorinsKit/board/TagRenaming.h"
#include "PelorinsKit/model/DoneDate.h"
#include "PelorinsKit/model/Hashtags.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/model/Tag.h"
#include "PelorinsKit/notes/AttributeKey.h"
#include "support/QStringPrinting.h"
#include "support/StoreBuilder.h"
#include "support/TestStore.h"

#include <QColor>
#include <gtest/gtest.h>

namespace {

QString renamed(const QString& text, const QString& from, const QString& to, int* count = nullptr)
{
    AttributedString notes(text);
    const int renamedTags = renameHashtags(notes, from, to);
    if (count)
        *count = renamedTags;
    return notes.string();
}

} // namespace

TEST(TagRenameHashtags, OnlyWholeTagsOfTheNameAreRenamedEachKeepingItsSign)
{
    int count = 0;
    EXPECT_EQ(renamed(QStringLiteral("#home #homework ＃home #home. #Home"), QStringLiteral("home"),
                  QStringLiteral("house"), &count),
        QStringLiteral("#house #homework ＃house #house. #Home"));
    EXPECT_EQ(count, 3);

    const QList<std::tuple<QString, QString, QString, QString>> cases {
        {QStringLiteral("#home2 home #home"), QStringLiteral("home"), QStringLiteral("house"),
            QStringLiteral("#home2 home #house")},
        {QStringLiteral("﹟home,#home\n##home"), QStringLiteral("home"), QStringLiteral("h"),
            QStringLiteral("﹟h,#h\n##h")},
        {QStringLiteral("#日本 #日本語"), QStringLiteral("日本"), QStringLiteral("japan"),
            QStringLiteral("#japan #日本語")},
        {QStringLiteral("no tags at all"), QStringLiteral("home"), QStringLiteral("house"),
            QStringLiteral("no tags at all")},
        {QStringLiteral("mushome #xhome"), QStringLiteral("home"), QStringLiteral("house"),
            QStringLiteral("mushome #xhome")},
    };
    for (const auto& [text, from, to, expected] : cases)
        EXPECT_EQ(renamed(text, from, to), expected) << text.toStdString();
}

TEST(TagRenameHashtags, ARenamedTagKeepsItsLook)
{
    AttributedString notes(QStringLiteral("Buy #home now"));
    notes.addAttribute(AttributeKey::foregroundColor, QColor(Qt::red), TextRange {4, 5});
    renameHashtags(notes, QStringLiteral("home"), QStringLiteral("household"));
    ASSERT_EQ(notes.string(), QStringLiteral("Buy #household now"));
    EXPECT_EQ(notes.attribute(AttributeKey::foregroundColor, 13).value<QColor>(), QColor(Qt::red));
    EXPECT_FALSE(notes.attribute(AttributeKey::foregroundColor, 14).isValid());
}

TEST(TagRenameHashtags, ANameMustBeOneHashtagName)
{
    for (const QString& name : {QString(), QStringLiteral("my tag"), QStringLiteral("#x"), QStringLiteral("a.b"),
             QStringLiteral("a-b"), QStringLiteral(" x")}) {
        EXPECT_FALSE(isTagName(name)) << name.toStdString();
        EXPECT_FALSE(TagRenaming::nameRefusal(name).isEmpty()) << name.toStdString();
    }
    for (const QString& name : {QStringLiteral("house"), QStringLiteral("café"), QStringLiteral("日本"),
             QStringLiteral("a_b"), QStringLiteral("2026")}) {
        EXPECT_TRUE(isTagName(name)) << name.toStdString();
        EXPECT_TRUE(TagRenaming::nameRefusal(name).isEmpty()) << name.toStdString();
    }
}

namespace {

// A board with tags home (yellow), house (blue) and x; cards in a stage, the done column's list
// and a day group.
class TagRenameBoard : public ::testing::Test
{
protected:
    void SetUp() override
    {
        board = build.addBoard(QStringLiteral("B"), {QStringLiteral("S1")});
        x = build.addTag(board, QStringLiteral("x"));
        home = build.addTag(board, QStringLiteral("home"));
        house = build.addTag(board, QStringLiteral("house"));
        home->setColour(2);
        house->setColour(4);
        KanbanColumn* stage = board->column().first();
        both = card(build.addCard(stage, {x, home}), QStringLiteral("#x #home"));
        homeAndHouse = card(build.addCard(stage, {home, house}), QStringLiteral("#home and #house"));
        houseOnly = card(build.addCard(stage, {house}), QStringLiteral("#house"));
        namesHomeOnly = card(build.addCard(stage), QStringLiteral("#home, untagged"));
        DoneDate* group = build.addDoneGroup(board, QDateTime(QDate(2026, 3, 1), QTime(0, 0), Qt::UTC));
        done = card(build.addDoneCard(board, group), QStringLiteral("done #home"));
        done->setTags({home});
    }

    static ListItem* card(ListItem* item, const QString& notes)
    {
        item->setAttributedNotes(AttributedString(notes));
        return item;
    }

    TestStore store;
    StoreBuilder build {store.context()};
    Kanban* board = nullptr;
    Tag* x = nullptr;
    Tag* home = nullptr;
    Tag* house = nullptr;
    ListItem* both = nullptr;
    ListItem* homeAndHouse = nullptr;
    ListItem* houseOnly = nullptr;
    ListItem* namesHomeOnly = nullptr;
    ListItem* done = nullptr;
};

} // namespace

TEST_F(TagRenameBoard, EveryCardOfTheBoardIsRewrittenAndItsNotesComeBackExactly)
{
    QHash<ListItem*, QByteArray> before;
    for (ListItem* item : TagRenaming::cardsOf(board))
        before.insert(item, item->attributedNotesData());
    EXPECT_EQ(before.size(), 5);

    TagRenaming::SavedNotes saved;
    TagRenaming::replaceHashtag(TagRenaming::cardsOf(board), QStringLiteral("home"), QStringLiteral("house"), saved);
    EXPECT_EQ(
        QSet<ListItem*>(saved.keyBegin(), saved.keyEnd()), (QSet<ListItem*> {both, homeAndHouse, namesHomeOnly, done}));
    EXPECT_EQ(done->attributedNotes()->string(), QStringLiteral("done #house"));
    EXPECT_EQ(houseOnly->attributedNotesData(), before.value(houseOnly));

    TagRenaming::restoreNotes(saved);
    for (auto it = before.cbegin(); it != before.cend(); ++it)
        EXPECT_EQ(it.key()->attributedNotesData(), it.value());
}

TEST_F(TagRenameBoard, AMergeKeepsTheCardsTaggedAndItsUndoPutsEverythingBack)
{
    const QString identifier = home->uniqueIdentifier();
    const QList<Tag*> boardTags = board->tags();
    TagRenaming::SavedNotes saved;
    TagRenaming::replaceHashtag(TagRenaming::cardsOf(board), QStringLiteral("home"), QStringLiteral("house"), saved);
    home->setName(QStringLiteral("house"));

    const TagRenaming::MergedTag merged = TagRenaming::merge(home, house, saved.keys());
    EXPECT_TRUE(home->isDeleted());
    EXPECT_EQ(board->tags(), (QList<Tag*> {x, house}));
    EXPECT_EQ(both->tags(), (QList<Tag*> {x, house}));
    EXPECT_EQ(homeAndHouse->tags(), (QList<Tag*> {house}));
    EXPECT_EQ(houseOnly->tags(), (QList<Tag*> {house}));
    EXPECT_EQ(namesHomeOnly->tags(), (QList<Tag*> {house}));
    EXPECT_EQ(done->tags(), (QList<Tag*> {house}));
    EXPECT_EQ(board->numberOfItemsWith(house), 5);

    Tag* back = TagRenaming::unmerge(merged);
    ASSERT_NE(back, nullptr);
    // Under the name it was merged with: undoing the rename names it back.
    EXPECT_EQ(back->name(), QStringLiteral("house"));
    EXPECT_EQ(back->colour(), 2);
    EXPECT_EQ(back->uniqueIdentifier(), identifier);
    EXPECT_EQ(back->kanban(), board);
    EXPECT_EQ(board->tags(), (QList<Tag*> {x, back, house}));
    EXPECT_EQ(both->tags(), (QList<Tag*> {x, back}));
    EXPECT_EQ(homeAndHouse->tags(), (QList<Tag*> {back, house}));
    EXPECT_EQ(houseOnly->tags(), (QList<Tag*> {house}));
    EXPECT_TRUE(namesHomeOnly->tags().isEmpty());
    EXPECT_EQ(done->tags(), (QList<Tag*> {back}));
    // What named the deleted tag now reaches the one in its place.
    EXPECT_EQ(TagRenaming::liveTag(board, home), back);
    EXPECT_EQ(TagRenaming::liveTag(board, house), house);
}
