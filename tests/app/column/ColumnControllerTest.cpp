#include "Pelorins/card/ListItemCellView.h"
#include "Pelorins/card/NotesTextView.h"
#include "Pelorins/column/KanbanColumnContainerView.h"
#include "Pelorins/column/KanbanColumnListItem.h"
#include "PelorinsKit/model/DoneDate.h"
#include "PelorinsKit/model/NotificationName.h"
#include "support/ColumnBoardFixture.h"

#include <QScrollBar>

namespace {

using ColumnController = ColumnBoardFixture;

TEST_F(ColumnController, BoardWithoutStagesHasOneDoneColumn)
{
    makeBoard({});
    show();
    MacKanbanColumnController& done = column(0);
    EXPECT_TRUE(done.containerView()->showsTranslucentFill());
    EXPECT_EQ(done.collectionView()->topContentInset(), 38);
    EXPECT_EQ(done.collectionView()->contentOffset(), -38);
    EXPECT_EQ(done.topHeaderView(), nullptr);
    EXPECT_EQ(done.collectionView()->listLayout().headerHeight(), 38);
    EXPECT_EQ(done.collectionView()->numberOfSections(), 1);
}

TEST_F(ColumnController, ModeDecidesTopHeaderInsetAndSectionHeaders)
{
    makeBoard({QStringLiteral("To Do"), QStringLiteral("Doing")});
    addCards(stage(0), 3);
    show();
    MacKanbanColumnController& stageColumn = column(0);
    const auto expectStageColumn = [&](const char* when) {
        EXPECT_NE(stageColumn.topHeaderView(), nullptr) << when;
        EXPECT_TRUE(stageColumn.topHeaderView()->isVisibleTo(stageColumn.containerView())) << when;
        EXPECT_EQ(stageColumn.collectionView()->topContentInset(), 76) << when;
        EXPECT_EQ(stageColumn.collectionView()->listLayout().headerHeight(), 0) << when;
        EXPECT_FALSE(stageColumn.containerView()->showsTranslucentFill()) << when;
    };
    expectStageColumn("at creation");
    EXPECT_EQ(stageColumn.collectionView()->contentOffset(), -76);

    stageColumn.setShowAllSections(true);
    EXPECT_EQ(stageColumn.topHeaderView(), nullptr);
    EXPECT_EQ(stageColumn.collectionView()->topContentInset(), 38);
    EXPECT_EQ(stageColumn.collectionView()->listLayout().headerHeight(), 38);
    stageColumn.setShowAllSections(false);
    expectStageColumn("back to one stage");

    // The done column becomes a stage column when the board gains a stage.
    MacKanbanColumnController& done = doneColumn();
    EXPECT_TRUE(done.containerView()->showsTranslucentFill());
    QList<KanbanColumn*> stages = kanban->column();
    stages.append(builder.addBoard(QStringLiteral("Donor"), {QStringLiteral("Moved")})->column().first());
    kanban->setColumn(stages);
    done.reloadData();
    EXPECT_FALSE(done.containerView()->showsTranslucentFill());
    ASSERT_NE(done.topHeaderView(), nullptr);
    EXPECT_EQ(done.topHeaderView()->title(), "Moved");
}

TEST_F(ColumnController, PlacementSideBySideAndInTheSingleList)
{
    makeBoard({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"), QStringLiteral("D")});
    const QList<ListItem*> a = addCards(stage(0), 2);
    const QList<ListItem*> c = addCards(stage(2), 3);
    ListItem* deleted = addCard(stage(2));
    deleted->setToBeDeleted(true);
    stage(1)->setBookmarked(true);
    show();
    const qreal height = column(0).scrollViewHeight();
    qreal cHeight = 0;
    for (ListItem* card : c)
        cHeight += qRound(column(2).heightForItem(card));
    const qreal aHeight = qRound(column(0).heightForItem(a.at(0))) + qRound(column(0).heightForItem(a.at(1)));

    struct Case
    {
        bool multiColumn;
        int section;
        bool animated;
        int controller;
        KanbanColumnController::Margins expected;
    };
    const QList<Case> cases = {
        {true, 0, true, 0, {0, 0, 300}},
        {true, 0, true, 3, {900, 0, 300}},
        {true, 0, true, 4, {1240, 0, 300}},
        // The bookmarked stage (1) is the one on top.
        {false, 0, true, 1, {0, 0, 300}},
        {false, 0, true, 0, {0, -height, 300}},
        {false, 0, true, 2, {0, 98, 300}},
        {false, 0, true, 3, {0, 98 + 98 + cHeight, 300}},
        {false, 0, true, 4, {0, 98 + 98 + cHeight + 98, 300}},
        // Without the flag the given stage is on top.
        {false, 3, false, 1, {0, -2 * height, 300}},
        {false, 0, false, 2, {0, 98 + aHeight + 98, 300}},
    };
    for (const Case& test : cases) {
        board.setViewAsMultiColumn(test.multiColumn);
        MacKanbanColumnController& controller = column(test.controller);
        const int requests = board.layoutRequests;
        controller.updateColumnHeight(test.section, test.animated);
        const KanbanColumnController::Margins place = *controller.margins();
        EXPECT_DOUBLE_EQ(place.left, test.expected.left) << test.controller << " multi " << test.multiColumn;
        EXPECT_DOUBLE_EQ(place.top, test.expected.top) << test.controller << " multi " << test.multiColumn;
        EXPECT_DOUBLE_EQ(place.width, test.expected.width) << test.controller;
        EXPECT_EQ(board.layoutRequests, requests + 1) << "the board places the container";
    }
    EXPECT_DOUBLE_EQ(column(2).heightOfSection(2), 98 + cHeight) << "the card marked for deletion takes no room";

    // The list on screen, not the bookmark, is on top: the bookmark may have moved inside it.
    column(3).setShowAllSections(true);
    column(0).updateColumnHeight(0, true);
    EXPECT_DOUBLE_EQ(column(0).margins()->top, -3 * height);
}

TEST_F(ColumnController, DayHeadersFadeAsTheySlideUnderThePinnedBand)
{
    makeBoard({QStringLiteral("To Do")});
    for (int day = 1; day <= 3; ++day)
        builder.addDoneCard(kanban, builder.addDoneGroup(kanban, dayStart(day)));
    show();
    MacKanbanColumnController& done = doneColumn();
    ListItemHeaderCellView* fading = header(done, 2);
    ASSERT_NE(fading, nullptr);
    const QColor label = fading->palette().color(QPalette::WindowText);
    const QColor secondary = fading->palette().color(QPalette::PlaceholderText);
    const QColor halfway
        = QColor::fromRgbF((label.redF() + secondary.redF()) / 2, (label.greenF() + secondary.greenF()) / 2,
            (label.blueF() + secondary.blueF()) / 2, (label.alphaF() + secondary.alphaF()) / 2);
    const QColor untouched(Qt::magenta);

    struct Case
    {
        int d;
        QColor colour;
    };
    const QList<Case> cases = {{0, label}, {22, halfway}, {44, secondary}, {-10, untouched}, {-44, secondary}};
    const int band = done.collectionView()->contentOffset() + 38;
    for (const Case& test : cases) {
        fading->setTitleColour(untouched);
        done.headerTextColourChanged({2, 0}, band + test.d);
        EXPECT_EQ(fading->titleColour().rgba(), test.colour.rgba()) << "d = " << test.d;
    }
    header(done, 0)->setTitleColour(untouched);
    done.headerTextColourChanged({0, 0}, band + 100);
    EXPECT_EQ(header(done, 0)->titleColour(), label) << "today's header keeps the label colour";
}

TEST_F(ColumnController, ExpandingKeepsTheStageInViewAndCollapsingGoesBack)
{
    makeBoard({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")});
    addCards(stage(0), 4);
    addCards(stage(2), 30);
    show();
    MacKanbanColumnController& third = column(2);
    third.setLastClipViewOffset(50);
    const qreal above = third.heightOfSection(0) + third.heightOfSection(1);
    EXPECT_EQ(third.heightOfSection(1), 98) << "an empty stage counts 98";

    third.expandToAllSections();
    EXPECT_TRUE(third.showAllSections());
    EXPECT_EQ(third.collectionView()->numberOfSections(), 3 + 1);
    EXPECT_EQ(third.collectionView()->listLayout().headerFrame(2).top(), above) << "where the list shows the stage";
    EXPECT_EQ(third.collectionView()->contentOffset(), above + 50);

    third.collapseToSpecifiedSection();
    EXPECT_FALSE(third.showAllSections());
    EXPECT_EQ(third.collectionView()->contentOffset(), 50);
}

TEST_F(ColumnController, DayChangeInsertsTodayButNotOverTodaysCardOrTheSpacer)
{
    makeBoard({QStringLiteral("To Do")});
    DoneDate* today = builder.addDoneGroup(kanban, dayStart(0));
    builder.addDoneCard(kanban, today);
    builder.addDoneCard(kanban, builder.addDoneGroup(kanban, dayStart(2)));
    show();
    ColumnCollectionView* list = doneColumn().collectionView();
    ASSERT_EQ(list->numberOfSections(), 2);

    doneColumn().updateDoneColumnHeaders();
    EXPECT_EQ(list->numberOfSections(), 2) << "the first card was done today";

    board.setNow(LocalDays::noon(1));
    board.monitor().wake();
    ASSERT_EQ(list->numberOfSections(), 3) << "a new today goes on top";
    EXPECT_EQ(list->numberOfItems(0), 1) << "with its spacer";
    EXPECT_EQ(header(doneColumn(), 0)->rightLabel(), "nothing done today yet");
    EXPECT_EQ(header(doneColumn(), 1)->title(), "Yesterday");

    // A spacer on top: the next day only relabels.
    board.setNow(LocalDays::noon(2));
    doneColumn().updateDoneColumnHeaders();
    EXPECT_EQ(list->numberOfSections(), 3);
    EXPECT_EQ(header(doneColumn(), 0)->title(), "Today");

    // A stage column has no days.
    column(0).updateDoneColumnHeaders();
    EXPECT_EQ(column(0).collectionView()->numberOfSections(), 1);
}

TEST_F(ColumnController, SelectingACardClearsEveryOtherColumn)
{
    makeBoard({QStringLiteral("A"), QStringLiteral("B")});
    const QList<ListItem*> a = addCards(stage(0), 2);
    const QList<ListItem*> b = addCards(stage(1), 3);
    show();
    column(0).selectItems({{0, 0}, {0, 1}});
    doneColumn().setSelected(true);

    column(1).selectItem(b.at(2));
    EXPECT_TRUE(column(0).collectionView()->selectionIndexPaths().isEmpty());
    auto* shown = qobject_cast<KanbanColumnListItem*>(column(0).collectionView()->itemWidget({0, 0}));
    ASSERT_NE(shown, nullptr);
    EXPECT_FALSE(shown->view()->isSelected()) << "the card's look follows";
    EXPECT_FALSE(doneColumn().isSelected());
    EXPECT_FALSE(doneColumn().containerView()->isSelected());
    EXPECT_EQ(column(1).collectionView()->selectionIndexPaths(), (QSet<IndexPath> {{0, 2}}));
    EXPECT_FALSE(column(1).isSelected());

    column(1).selectItem(a.at(0));
    EXPECT_TRUE(column(1).collectionView()->selectionIndexPaths().isEmpty()) << "a card of another column";
}

TEST_F(ColumnController, TagNoticesReloadWhateverTheyCarry)
{
    makeBoard({QStringLiteral("A")});
    show();
    addCard(stage(0));
    ASSERT_EQ(column(0).collectionView()->numberOfItems(0), 1);
    board.notificationCenter().post(NotificationName::tagValueChanged, nullptr,
        {{QStringLiteral("affectedTag"), QStringLiteral("not a tag")},
            {QStringLiteral("newColour"), QStringLiteral("x")}});
    EXPECT_EQ(column(0).collectionView()->numberOfItems(0), 2);
}

TEST_F(ColumnController, SelectionShadesTheListAndTheTopHeader)
{
    makeBoard({QStringLiteral("A")});
    show();
    column(0).setSelected(true);
    EXPECT_TRUE(column(0).collectionView()->isSelected());
    EXPECT_TRUE(column(0).containerView()->isSelected());
    EXPECT_FALSE(column(0).topHeaderView()->isBackdropShown());
    EXPECT_EQ(column(0).topHeaderView()->titleColour(),
        column(0).topHeaderView()->palette().color(QPalette::HighlightedText));
    column(0).setSelected(false);
    EXPECT_FALSE(column(0).collectionView()->isSelected());
    EXPECT_TRUE(column(0).topHeaderView()->isBackdropShown());
}

} // namespace
