#include "Pelorins/card/ListItemCellView.h"
#include "Pelorins/card/NotesTextView.h"
#include "Pelorins/column/KanbanColumnListItem.h"
#include "PelorinsKit/model/DoneDate.h"
#include "Platform/core/ConsoleLog.h"
#include "support/ColumnBoardFixture.h"

#include <QApplication>
#include <QTest>

namespace {

class ColumnUpdates : public ColumnBoardFixture
{
protected:
    // Two stages: forty cards in the first, three in the second; one card done yesterday.
    void SetUp() override
    {
        ColumnBoardFixture::SetUp();
        makeBoard({QStringLiteral("Long"), QStringLiteral("Short")});
        addCards(stage(0), 40);
        addCards(stage(1), 3);
        builder.addDoneCard(kanban, builder.addDoneGroup(kanban, dayStart(1)));
        show();
        board.scrollView()->activateWindow();
    }

    // A card put into the stage's model at `index`, as a mover does before it animates.
    ListItem* insertCard(KanbanColumn* column, int index)
    {
        ListItem* card = builder.addCard(column);
        card->setAttributedNotes(AttributedString(QStringLiteral("New")));
        QList<ListItem*> cards = column->item();
        cards.move(cards.indexOf(card), index);
        column->setItem(cards);
        return card;
    }

    ColumnCollectionView* list(int section) { return column(section).collectionView(); }
};

TEST_F(ColumnUpdates, InsertionSelectsTheNewCardsAndBringsThemIntoView)
{
    struct Case
    {
        const char* name;
        int offset;
        QList<int> rows;
        std::function<void(int before)> expectation;
    };
    const int height = list(0)->viewport()->height();
    const QList<Case> cases = {
        {"above", 2500, {2},
            [&](int) {
                EXPECT_EQ(list(0)->contentOffset(), list(0)->itemFrame({0, 2}).top() - 76);
            }},
        {"below", -76, {35},
            [&](int) {
                EXPECT_EQ(list(0)->contentOffset(), list(0)->itemFrame({0, 35}).bottom() + 1 - height);
            }},
        {"visible", -76, {3}, [&](int before) { EXPECT_EQ(list(0)->contentOffset(), before); }},
        {"several", -76, {3, 4},
            [&](int before) {
                EXPECT_EQ(list(0)->contentOffset(), before);
                EXPECT_EQ(list(0)->window()->focusWidget(), list(0)) << "the list, not a card, takes the focus";
            }},
    };
    for (const Case& test : cases) {
        list(0)->setContentOffset(test.offset);
        const int before = list(0)->contentOffset();
        column(1).selectItems({{0, 0}});
        QSet<IndexPath> paths;
        for (int row : test.rows) {
            insertCard(stage(0), row);
            paths.insert({0, row});
        }
        ConsoleLog::Capture console;
        column(0).animateInsertion(paths, false, {}, false, 0, false, 0);
        EXPECT_EQ(list(0)->selectionIndexPaths(), paths) << test.name;
        EXPECT_TRUE(list(1)->selectionIndexPaths().isEmpty()) << test.name << ": other columns let go";
        EXPECT_EQ(column(0).topHeaderView()->rightLabel(), QStringLiteral("%1 cards").arg(stage(0)->item().size()));
        ASSERT_FALSE(console.lines().isEmpty());
        EXPECT_TRUE(console.lines().first().startsWith(QStringLiteral("ipOfInserted [[0, %1]").arg(test.rows.first())))
            << console.lines().first().toStdString();
        test.expectation(before);
    }
}

TEST_F(ColumnUpdates, OneNewCardTakesTheFocus)
{
    insertCard(stage(0), 1);
    column(0).animateInsertion({{0, 1}}, false, {}, false, 0, false, 0);
    auto* item = qobject_cast<KanbanColumnListItem*>(list(0)->itemWidget({0, 1}));
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(list(0)->window()->focusWidget(), item->view()->noteTextView());
    EXPECT_TRUE(item->view()->isSelected());
}

TEST_F(ColumnUpdates, TheRowsBelowSlideDownAndTheNewCardIsSelectedWhenTheSlideEnds)
{
    list(0)->setAnimationDuration(300);
    QWidget* below = list(0)->itemWidget({0, 1});
    ASSERT_NE(below, nullptr);
    const QRect before = below->geometry();
    insertCard(stage(0), 1);
    column(0).animateInsertion({{0, 1}}, false, {}, false, 0, false, 0);

    EXPECT_EQ(list(0)->itemWidget({0, 2}), below) << "the card keeps its row widget";
    EXPECT_LT(below->geometry().top(), before.top() + 10) << "it starts where it was";
    EXPECT_TRUE(list(0)->selectionIndexPaths().isEmpty()) << "selected once in place";

    EXPECT_TRUE(QTest::qWaitFor([&] { return !list(0)->selectionIndexPaths().isEmpty(); }, 30000));
    EXPECT_EQ(below->geometry(), list(0)->itemFrame({0, 2}).translated(0, -list(0)->contentOffset()));
    EXPECT_GT(below->geometry().top(), before.top());
    EXPECT_EQ(list(0)->selectionIndexPaths(), (QSet<IndexPath> {{0, 1}}));
}

TEST_F(ColumnUpdates, AWholeNewSectionIsSelectedWithoutScrolling)
{
    MacKanbanColumnController& done = doneColumn();
    ASSERT_EQ(list(2)->numberOfSections(), 2);
    column(0).selectItems({{0, 0}});
    DoneDate* older = builder.addDoneGroup(kanban, dayStart(5));
    builder.addDoneCard(kanban, older);
    builder.addDoneCard(kanban, older);
    const int before = list(2)->contentOffset();
    done.animateInsertion({}, false, {}, true, 2, false, 2);
    EXPECT_EQ(list(2)->numberOfSections(), 3);
    EXPECT_EQ(list(2)->selectionIndexPaths(), (QSet<IndexPath> {{2, 0}, {2, 1}}));
    EXPECT_EQ(list(2)->contentOffset(), before);
    EXPECT_EQ(list(0)->selectionIndexPaths(), (QSet<IndexPath> {{0, 0}})) << "other columns are left alone";
}

TEST_F(ColumnUpdates, AReloadedSpacerIsNeitherInsertedNorSelectedButItsHeaderIsRenewed)
{
    MacKanbanColumnController& done = doneColumn();
    ASSERT_EQ(header(done, 0)->rightLabel(), "nothing done today yet");
    QList<DoneDate*> groups = kanban->doneDates();
    DoneDate* today = builder.addDoneGroup(kanban, dayStart(0));
    groups.prepend(today);
    kanban->setDoneDates(groups);
    builder.addDoneCard(kanban, today);
    done.animateInsertion({{0, 0}}, true, {0, 0}, false, 0, false, 0);
    EXPECT_EQ(list(2)->numberOfItems(0), 1);
    EXPECT_TRUE(list(2)->selectionIndexPaths().isEmpty());
    EXPECT_EQ(header(done, 0)->rightLabel(), "1 card");
    auto* item = qobject_cast<KanbanColumnListItem*>(list(2)->itemWidget({0, 0}));
    ASSERT_NE(item, nullptr) << "the spacer became a card";
}

TEST_F(ColumnUpdates, RemovalDeletesRowsAndSectionsAndRenewsTheHeaders)
{
    QList<ListItem*> cards = stage(1)->item();
    cards.removeAt(1);
    stage(1)->setItem(cards);
    column(1).animateRemoval({}, {{0, 1}}, false, {});
    EXPECT_EQ(list(1)->numberOfItems(0), 2 + 1);
    EXPECT_EQ(column(1).topHeaderView()->rightLabel(), "2 cards");

    // The last card of a day goes with its section; today's spacer comes back in place.
    kanban->setDoneDates({});
    doneColumn().animateRemoval({1}, {}, false, {});
    EXPECT_EQ(list(2)->numberOfSections(), 1);
    EXPECT_EQ(header(doneColumn(), 0)->rightLabel(), "nothing done today yet");
}

TEST_F(ColumnUpdates, MovesAndDeletionsFollowTheModel)
{
    QList<ListItem*> cards = stage(1)->item();
    cards.move(0, 2);
    stage(1)->setItem(cards);
    column(1).moveItem({0, 0}, {0, 2});
    auto* moved = qobject_cast<KanbanColumnListItem*>(list(1)->itemWidget({0, 2}));
    ASSERT_NE(moved, nullptr);
    EXPECT_EQ(moved->view()->objectValue(), cards.at(2));
    EXPECT_EQ(column(1).numberOfItems(0), 4);

    cards.first()->setToBeDeleted(true);
    column(1).deleteItems({{0, 0}});
    EXPECT_EQ(column(1).numberOfItems(0), 3);
}

} // namespace
