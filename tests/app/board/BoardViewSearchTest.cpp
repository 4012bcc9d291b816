#include "BoardViewFixture.h"

#include "Pelorins/column/ListItemHeaderCellView.h"
#include "PelorinsKit/model/Tag.h"

#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>

namespace {

class BoardViewSearch : public BoardViewFixture
{
protected:
    BoardViewSearch()
    {
        kanban = build.addBoard("Fruit", {"Picked", "Eaten"});
        red = build.addTag(kanban, "red");
        green = build.addTag(kanban, "green");
        KanbanColumn* picked = kanban->column().at(0);
        redApple = addCard(picked, "an apple", {red});
        greenApple = addCard(picked, "another apple", {green});
        redCherry = addCard(picked, "a cherry", {red});
        addCard(picked, "a pear .* (literally)", {});
        addCard(kanban->column().at(1), "an apple core", {red});
        show(kanban);
    }

    QString countOf(int section) const { return controller(section)->topHeaderView()->rightLabel(); }

    Kanban* kanban;
    Tag* red;
    Tag* green;
    ListItem* redApple;
    ListItem* greenApple;
    ListItem* redCherry;
};

} // namespace

TEST_F(BoardViewSearch, TagsAndTextTogetherKeepOnlyCardsPassingBoth)
{
    QLineEdit field(QStringLiteral("apple"));
    board->searchTermChanged(&field);
    EXPECT_EQ(countOf(0), "2/4 cards");
    board->setTagFilter(QList<Tag*> {red});
    EXPECT_EQ(shownCards(controller(0)), QList<ListItem*> {redApple});
    EXPECT_EQ(countOf(0), "1/4 cards");
    EXPECT_EQ(countOf(1), "1 card");

    field.clear();
    board->searchTermChanged(&field);
    EXPECT_EQ(shownCards(controller(0)), (QList<ListItem*> {redApple, redCherry}));
    board->setTagFilter(std::nullopt);
    EXPECT_EQ(shownCards(controller(0)), kanban->column().at(0)->item());
    EXPECT_EQ(countOf(0), "4 cards");
}

TEST_F(BoardViewSearch, AnEmptyTagListTurnsTheButtonOffAndStillReloads)
{
    QSignalSpy changes(board.get(), &MacKanbanColumnsViewController::tagFilterChanged);
    board->setTagFilter(QList<Tag*> {green});
    EXPECT_EQ(shownCards(controller(0)), QList<ListItem*> {greenApple});
    board->setTagFilter(QList<Tag*> {});
    EXPECT_EQ(shownCards(controller(0)), kanban->column().at(0)->item());
    ASSERT_EQ(changes.size(), 2);
    EXPECT_TRUE(changes.at(0).at(0).toBool());
    EXPECT_FALSE(changes.at(1).at(0).toBool());
}

TEST_F(BoardViewSearch, SearchTextIsMatchedLiterallyAtAnyLength)
{
    const struct
    {
        QString term;
        int shown;
    } cases[] = {
        {".*", 1},
        {"(literally)", 1},
        {"APPLE", 2},
        {QString(20000, QLatin1Char('a')), 0},
        {"", 4},
    };
    for (const auto& c : cases) {
        board->setSearchTerm(c.term);
        board->reloadColumns();
        EXPECT_EQ(shownCards(controller(0)).size(), c.shown) << c.term.left(20).toStdString();
    }
}

TEST_F(BoardViewSearch, DeletedOrForeignTagsInTheFilterMatchNothing)
{
    Kanban* other = build.addBoard("Other");
    Tag* foreign = build.addTag(other, "red");
    Tag* gone = build.addTag(kanban, "gone");
    greenApple->setTags({green, gone});
    store.context().deleteObject(gone);

    board->setTagFilter(QList<Tag*> {foreign, gone});
    EXPECT_TRUE(shownCards(controller(0)).isEmpty());
    EXPECT_EQ(countOf(0), "0/4 cards");
    board->setTagFilter(QList<Tag*> {foreign, gone, green});
    EXPECT_EQ(shownCards(controller(0)), QList<ListItem*> {greenApple});
}
