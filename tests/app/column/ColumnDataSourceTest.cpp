#include "Pelorins/card/ListItemCellView.h"
#include "Pelorins/card/NotesTextView.h"
#include "Pelorins/column/KanbanColumnAddButtonItem.h"
#include "Pelorins/column/KanbanColumnEmptySpacerViewItem.h"
#include "Pelorins/column/KanbanColumnListItem.h"
#include "PelorinsKit/model/DoneDate.h"
#include "PelorinsKit/model/Tag.h"
#include "support/ColumnBoardFixture.h"

#include <QAbstractButton>

namespace {

using Layout = ListItemHeaderCellView::HeaderLayouts;

class ColumnDataSource : public ColumnBoardFixture
{
protected:
    // Three stages of 2, 0 and 5 cards; cards done yesterday and three days ago, none today.
    void SetUp() override
    {
        ColumnBoardFixture::SetUp();
        makeBoard({QStringLiteral("To Do"), QStringLiteral("Doing"), QStringLiteral("Review")});
        addCards(stage(0), 2);
        reviewCards = addCards(stage(2), 5);
        yesterday = builder.addDoneGroup(kanban, dayStart(1));
        builder.addDoneCard(kanban, yesterday);
        builder.addDoneCard(kanban, yesterday);
        builder.addDoneCard(kanban, builder.addDoneGroup(kanban, dayStart(3)));
    }

    QString kindAt(MacKanbanColumnController& controller, const IndexPath& path)
    {
        QWidget* widget = controller.collectionView()->itemWidget(path);
        if (qobject_cast<KanbanColumnAddButtonItem*>(widget))
            return KanbanColumnAddButtonItem::identifier;
        if (qobject_cast<KanbanColumnEmptySpacerViewItem*>(widget))
            return KanbanColumnEmptySpacerViewItem::identifier;
        if (auto* card = qobject_cast<KanbanColumnListItem*>(widget))
            return card->view()->objectValue() ? QStringLiteral("card") : QStringLiteral("no card");
        return QStringLiteral("none");
    }

    QList<ListItem*> reviewCards;
    DoneDate* yesterday = nullptr;
};

TEST_F(ColumnDataSource, EachStageColumnShowsItsCardsThenTheAddCardCell)
{
    show();
    const QList<std::pair<int, int>> cases = {{0, 2}, {1, 0}, {2, 5}};
    for (const auto& [section, cards] : cases) {
        ColumnCollectionView* list = column(section).collectionView();
        ASSERT_EQ(list->numberOfSections(), 1) << section;
        EXPECT_EQ(list->numberOfItems(0), cards + 1) << section;
        for (int item = 0; item < cards; ++item)
            EXPECT_EQ(kindAt(column(section), {0, item}), "card") << section << "," << item;
        EXPECT_EQ(kindAt(column(section), {0, cards}), KanbanColumnAddButtonItem::identifier) << section;
        EXPECT_EQ(list->listLayout().headerHeight(), 0) << "the pinned top header stands in for the section's";
    }
    EXPECT_EQ(column(0).topHeaderView()->headerLayout(), Layout::firstColumn);
    EXPECT_EQ(column(1).topHeaderView()->headerLayout(), Layout::column);
    EXPECT_EQ(column(1).topHeaderView()->rightLabel(), "empty");
    EXPECT_EQ(column(2).topHeaderView()->rightLabel(), "5 cards");
    EXPECT_EQ(column(2).topHeaderView()->title(), "Review");
}

TEST_F(ColumnDataSource, DoneColumnLeadsWithTodayAndItsSpacerWhenNothingWasDoneToday)
{
    show();
    MacKanbanColumnController& done = doneColumn();
    ColumnCollectionView* list = done.collectionView();
    ASSERT_EQ(list->numberOfSections(), 3);
    EXPECT_EQ(list->numberOfItems(0), 1);
    EXPECT_EQ(kindAt(done, {0, 0}), KanbanColumnEmptySpacerViewItem::identifier);
    EXPECT_EQ(list->numberOfItems(1), 2);
    EXPECT_EQ(list->numberOfItems(2), 1);
    EXPECT_EQ(done.topHeaderView(), nullptr);

    ListItemHeaderCellView* today = header(done, 0);
    ASSERT_NE(today, nullptr);
    EXPECT_EQ(today->title(), "Today");
    EXPECT_EQ(today->rightLabel(), "nothing done today yet");
    EXPECT_EQ(today->titleColour(), today->palette().color(QPalette::WindowText));
    EXPECT_EQ(today->headerLayout(), Layout::doneItem);
    EXPECT_FALSE(today->isFilled());
    EXPECT_FALSE(today->isDividerShown());
    EXPECT_FALSE(today->isBackdropShown());
    ListItemHeaderCellView* earlier = header(done, 1);
    ASSERT_NE(earlier, nullptr);
    EXPECT_EQ(earlier->rightLabel(), "2 cards");
    EXPECT_NE(earlier->titleColour(), earlier->palette().color(QPalette::WindowText));
}

TEST_F(ColumnDataSource, TodaysCardsHiddenByTheFilterLeaveTheSpacer)
{
    DoneDate* today = builder.addDoneGroup(kanban, dayStart(0));
    // The groups stay newest first.
    QList<DoneDate*> groups = kanban->doneDates();
    groups.move(groups.indexOf(today), 0);
    kanban->setDoneDates(groups);
    builder.addDoneCard(kanban, today);
    Tag* tag = builder.addTag(kanban, QStringLiteral("urgent"));
    reviewCards.first()->setTags({tag});
    show();
    EXPECT_EQ(doneColumn().collectionView()->numberOfItems(0), 1);
    EXPECT_EQ(kindAt(doneColumn(), {0, 0}), "card");

    board.setTagFilter(QList<Tag*> {tag});
    doneColumn().reloadData();
    EXPECT_EQ(doneColumn().collectionView()->numberOfSections(), 1) << "days without a shown card go";
    EXPECT_EQ(kindAt(doneColumn(), {0, 0}), KanbanColumnEmptySpacerViewItem::identifier);
    EXPECT_EQ(header(doneColumn(), 0)->rightLabel(), "nothing done today yet");
}

TEST_F(ColumnDataSource, SingleListShowsEveryStageThenEveryDay)
{
    show();
    MacKanbanColumnController& all = column(0);
    all.setShowAllSections(true);
    ColumnCollectionView* list = all.collectionView();
    ASSERT_EQ(list->numberOfSections(), 3 + 3);
    EXPECT_EQ(list->numberOfItems(0), 3);
    EXPECT_EQ(list->numberOfItems(1), 1);
    EXPECT_EQ(list->numberOfItems(3), 0) << "today holds no spacer here";
    EXPECT_EQ(list->numberOfItems(4), 2);
    EXPECT_EQ(list->listLayout().headerHeight(), 38);
    EXPECT_EQ(all.topHeaderView(), nullptr);

    // Every header of the single list has the plain look; today's reads "empty".
    list->scrollToItem({4, 0}, SectionedListView::ScrollPosition::Top);
    ListItemHeaderCellView* today = header(all, 3);
    ASSERT_NE(today, nullptr);
    EXPECT_EQ(today->rightLabel(), "empty");
    EXPECT_EQ(today->headerLayout(), Layout::column);
    EXPECT_EQ(today->column(), nullptr);
    EXPECT_TRUE(today->bookmarkButton()->isHidden());
    list->setContentOffset(-38);
    ASSERT_NE(header(all, 0), nullptr);
    EXPECT_EQ(header(all, 0)->headerLayout(), Layout::column);
    EXPECT_EQ(header(all, 0)->column(), stage(0));
}

TEST_F(ColumnDataSource, CountsShowShownOfAllAndLeaveOutCardsMarkedForDeletion)
{
    Tag* tag = builder.addTag(kanban, QStringLiteral("shown"));
    for (int i = 0; i < 3; ++i)
        reviewCards.at(i)->setTags({tag});
    show();
    struct Case
    {
        const char* name;
        std::function<void()> change;
        QString label;
    };
    const QList<Case> cases = {
        {"no filter", [] {}, QStringLiteral("5 cards")},
        {"filter", [&] { board.setTagFilter(QList<Tag*> {tag}); }, QStringLiteral("3/5 cards")},
        {"deleted, filtered", [&] { reviewCards.at(4)->setToBeDeleted(true); }, QStringLiteral("3/4 cards")},
        {"deleted", [&] { board.setTagFilter(std::nullopt); }, QStringLiteral("4 cards")},
    };
    for (const Case& c : cases) {
        c.change();
        column(2).reloadData();
        column(2).updateTopHeader();
        EXPECT_EQ(column(2).topHeaderView()->rightLabel(), c.label) << c.name;
    }
    EXPECT_EQ(column(2).collectionView()->numberOfItems(0), 4 + 1);
}

TEST_F(ColumnDataSource, SelectedRowsComeBackSelected)
{
    show();
    column(2).selectItems({{0, 1}});
    column(2).reloadData();
    auto* selected = qobject_cast<KanbanColumnListItem*>(column(2).collectionView()->itemWidget({0, 1}));
    auto* other = qobject_cast<KanbanColumnListItem*>(column(2).collectionView()->itemWidget({0, 2}));
    ASSERT_TRUE(selected && other);
    EXPECT_TRUE(selected->view()->isSelected());
    EXPECT_FALSE(other->view()->isSelected());
}

} // namespace
