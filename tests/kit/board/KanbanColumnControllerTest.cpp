#include "PelorinsKit/model/DateHelpers.h"
#include "PelorinsKit/model/DoneDate.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/model/Tag.h"
#include "PelorinsKit/notes/AttributeKey.h"
#include "PelorinsKit/notes/AttributedString.h"
#include "PelorinsKit/notes/TextMeasures.h"
#include "Platform/core/DataFolders.h"
#include "support/FakeBoardView.h"
#include "support/FakeColumnController.h"
#include "support/LocalDays.h"
#include "support/StoreBuilder.h"
#include "support/TestStore.h"

#include <QDir>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QDateTime today()
{
    return LocalDays::start(0);
}

QDateTime daysAgo(int days)
{
    return LocalDays::start(-days);
}

void setNotes(ListItem* card, const QString& text)
{
    card->setAttributedNotes(AttributedString(text));
}

// A board of three stage columns with a column controller per stage, one for the done column,
// and a board view that knows them all.
class BoardFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(store.isOpen()) << store.error().toStdString();
        board = builder.addBoard(
            QStringLiteral("Board"), {QStringLiteral("To Do"), QStringLiteral("Doing"), QStringLiteral("Review")});
        view.setKanban(board);
        for (int section = 0; section <= 3; ++section) {
            columns.push_back(std::make_unique<FakeColumnController>(section));
            view.addController(columns.back().get());
        }
    }

    KanbanColumn* stage(int index) const { return board->column().at(index); }
    FakeColumnController& controller(int section) { return *columns.at(section); }
    FakeColumnController& doneController() { return *columns.at(3); }

    QList<ListItem*> addCards(KanbanColumn* column, int count)
    {
        QList<ListItem*> cards;
        for (int i = 0; i < count; ++i)
            cards.append(builder.addCard(column));
        return cards;
    }

    QList<ListItem*> addDoneCards(DoneDate* group, int count)
    {
        QList<ListItem*> cards;
        for (int i = 0; i < count; ++i)
            cards.append(builder.addDoneCard(board, group));
        return cards;
    }

    TestStore store;
    StoreBuilder builder {store.context()};
    Kanban* board = nullptr;
    FakeBoardView view;
    std::vector<std::unique_ptr<FakeColumnController>> columns;
};

using DoneColumn = BoardFixture;

TEST_F(DoneColumn, TodayLeadsTheDaySectionsWhenNoGroupIsTodays)
{
    builder.addDoneGroup(board, daysAgo(1));
    builder.addDoneGroup(board, daysAgo(3));
    EXPECT_EQ(doneController().distinctDoneDates(), (QList<QDateTime> {today(), daysAgo(1), daysAgo(3)}));
}

TEST_F(DoneColumn, TodayIsTheBoardsToday)
{
    builder.addDoneGroup(board, today());
    const QDateTime tomorrow = LocalDays::noon(1);
    view.setNow(tomorrow);
    EXPECT_EQ(
        doneController().distinctDoneDates(), (QList<QDateTime> {DateHelpers::beginningOfDate(tomorrow), today()}));
    EXPECT_TRUE(doneController().pathIsEmptyCell(IndexPath {0, 0})) << "nothing was done on the board's today";
}

TEST_F(DoneColumn, TodaysGroupIsSectionZeroAndNotRepeated)
{
    builder.addDoneGroup(board, today());
    builder.addDoneGroup(board, daysAgo(2));
    EXPECT_EQ(doneController().distinctDoneDates(), (QList<QDateTime> {today(), daysAgo(2)}));
}

TEST_F(DoneColumn, WithoutGroupsShowsOnlyTodaysEmptyPlaceholder)
{
    FakeColumnController& done = doneController();
    EXPECT_EQ(done.distinctDoneDates(), QList<QDateTime> {today()});
    EXPECT_TRUE(done.pathIsEmptyCell({0, 0}));
    EXPECT_EQ(done.itemFor({0, 0}), nullptr);
    EXPECT_FALSE(done.pathIsEmptyCell({0, 1}));
    EXPECT_FALSE(done.pathIsEmptyCell({1, 0}));
    EXPECT_FALSE(done.pathIsAddButton({0, 0}));
}

TEST_F(DoneColumn, CardsAreFoundAtTheirDaySectionAndBack)
{
    DoneDate* yesterday = builder.addDoneGroup(board, daysAgo(1));
    DoneDate* older = builder.addDoneGroup(board, daysAgo(4));
    const QList<ListItem*> yesterdays = addDoneCards(yesterday, 2);
    const QList<ListItem*> olders = addDoneCards(older, 3);
    FakeColumnController& done = doneController();

    // Today's section leads without cards, so its placeholder stays.
    EXPECT_TRUE(done.pathIsEmptyCell({0, 0}));
    for (int i = 0; i < yesterdays.size(); ++i) {
        EXPECT_EQ(done.indexPathFor(yesterdays.at(i)), (IndexPath {1, i}));
        EXPECT_EQ(done.itemFor({1, i}), yesterdays.at(i));
    }
    for (int i = 0; i < olders.size(); ++i) {
        EXPECT_EQ(done.indexPathFor(olders.at(i)), (IndexPath {2, i}));
        EXPECT_EQ(done.itemFor({2, i}), olders.at(i));
    }
    EXPECT_EQ(done.itemFor({1, 2}), nullptr);
    EXPECT_EQ(done.itemFor({3, 0}), nullptr);
    EXPECT_EQ(done.indexPathFor(builder.addCard(stage(0))), std::nullopt);
}

TEST_F(DoneColumn, PlaceholderGoesOnceTodayHasACard)
{
    DoneDate* group = builder.addDoneGroup(board, today());
    ListItem* card = addDoneCards(group, 1).first();
    EXPECT_FALSE(doneController().pathIsEmptyCell({0, 0}));
    EXPECT_EQ(doneController().itemFor({0, 0}), card);
}

TEST_F(DoneColumn, TheFirstGroupOfADateIsTheOneShown)
{
    DoneDate* first = builder.addDoneGroup(board, daysAgo(1));
    DoneDate* second = builder.addDoneGroup(board, daysAgo(1));
    const QList<ListItem*> shown = addDoneCards(first, 2);
    ListItem* hidden = addDoneCards(second, 1).first();
    EXPECT_EQ(doneController().doneItemsOn(daysAgo(1), false), shown);
    EXPECT_EQ(doneController().indexPathFor(hidden), std::nullopt);
    EXPECT_TRUE(doneController().doneItemsOn(daysAgo(1).addSecs(1), false).isEmpty());
}

TEST_F(DoneColumn, UnfilteredDayListKeepsCardsMarkedForDeletion)
{
    DoneDate* group = builder.addDoneGroup(board, today());
    const QList<ListItem*> cards = addDoneCards(group, 2);
    cards.first()->setToBeDeleted(true);
    EXPECT_EQ(doneController().doneItemsOn(today(), false), cards);
    // Without an active filter the filtered list is the group as it is.
    EXPECT_EQ(doneController().doneItemsOn(today(), true), cards);
    view.setSearchTerm(QString());
    EXPECT_EQ(doneController().doneItemsOn(today(), true), QList<ListItem*> {cards.last()});
}

TEST_F(DoneColumn, PositionAmongAllGroupsAllowsForTheLeadingTodaySection)
{
    DoneDate* yesterday = builder.addDoneGroup(board, daysAgo(1));
    const QList<ListItem*> cards = addDoneCards(yesterday, 3);
    ListItem* open = builder.addCard(stage(0));
    EXPECT_EQ(doneController().indexPathOfItemInDoneColumn(cards.at(2)), (IndexPath {1, 2}));
    EXPECT_EQ(doneController().indexPathOfItemInDoneColumn(open), (IndexPath {0, 0}));
}

TEST_F(DoneColumn, PositionAmongAllGroupsWhenTheNewestIsTodays)
{
    DoneDate* todays = builder.addDoneGroup(board, today());
    DoneDate* older = builder.addDoneGroup(board, daysAgo(2));
    addDoneCards(todays, 1);
    ListItem* card = addDoneCards(older, 2).last();
    ListItem* open = builder.addCard(stage(0));
    // Unfiltered: the tag filter hides every card and still the position counts them.
    view.setTagFilter(QList<Tag*> {});
    EXPECT_EQ(doneController().indexPathOfItemInDoneColumn(card), (IndexPath {1, 1}));
    EXPECT_EQ(doneController().indexPathOfItemInDoneColumn(open), std::nullopt);
}

TEST_F(DoneColumn, FilterThatEmptiesTodaysGroupPutsTodayBackEmpty)
{
    Tag* wanted = builder.addTag(board, QStringLiteral("wanted"));
    DoneDate* todays = builder.addDoneGroup(board, today());
    DoneDate* yesterday = builder.addDoneGroup(board, daysAgo(1));
    DoneDate* older = builder.addDoneGroup(board, daysAgo(2));
    addDoneCards(todays, 2);
    addDoneCards(older, 1);
    ListItem* tagged = addDoneCards(yesterday, 2).last();
    tagged->setTags({wanted});

    view.setTagFilter(QList<Tag*> {wanted});
    EXPECT_EQ(doneController().distinctDoneDates(), (QList<QDateTime> {today(), daysAgo(1)}));
    EXPECT_TRUE(doneController().pathIsEmptyCell({0, 0}));
    EXPECT_EQ(doneController().indexPathFor(tagged), (IndexPath {1, 0}));
    EXPECT_EQ(doneController().itemFor({1, 0}), tagged);
}

TEST_F(DoneColumn, EmptySearchTextStillDropsGroupsOfDeletedCards)
{
    DoneDate* yesterday = builder.addDoneGroup(board, daysAgo(1));
    for (ListItem* card : addDoneCards(yesterday, 2))
        card->setToBeDeleted(true);
    EXPECT_EQ(doneController().distinctDoneDates(), (QList<QDateTime> {today(), daysAgo(1)}));
    view.setSearchTerm(QString());
    EXPECT_EQ(doneController().distinctDoneDates(), QList<QDateTime> {today()});
}

using StageColumn = BoardFixture;

TEST_F(StageColumn, CardRowsThenTheAddCardRow)
{
    const QList<ListItem*> cards = addCards(stage(1), 3);
    FakeColumnController& doing = controller(1);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(doing.itemFor({0, i}), cards.at(i));
        EXPECT_EQ(doing.itemFor({5, i}), cards.at(i)) << "the section is not consulted";
        EXPECT_EQ(doing.indexPathFor(cards.at(i)), (IndexPath {0, i}));
        EXPECT_FALSE(doing.pathIsAddButton({0, i}));
    }
    EXPECT_EQ(doing.itemFor({0, 3}), nullptr);
    EXPECT_TRUE(doing.pathIsAddButton({0, 3}));
    EXPECT_TRUE(doing.pathIsAddButton({2, 3}));
    EXPECT_FALSE(doing.pathIsAddButton({0, 4}));
    EXPECT_FALSE(doing.pathIsEmptyCell({0, 0}));
    EXPECT_EQ(doing.itemFor({0, -1}), nullptr);
    EXPECT_EQ(doing.indexPathFor(addCards(stage(0), 1).first()), std::nullopt);
}

TEST_F(StageColumn, CardsMarkedForDeletionAreNeverShown)
{
    const QList<ListItem*> cards = addCards(stage(0), 3);
    cards.at(1)->setToBeDeleted(true);
    EXPECT_EQ(controller(0).filteredItemsFor(stage(0)), (QList<ListItem*> {cards.at(0), cards.at(2)}));
    EXPECT_EQ(controller(0).indexPathFor(cards.at(2)), (IndexPath {0, 1}));
    EXPECT_TRUE(controller(0).pathIsAddButton({0, 2}));
}

TEST_F(StageColumn, ASectionBeforeTheBoardShowsNothing)
{
    addCards(stage(0), 2);
    FakeColumnController stray(-1);
    view.addController(&stray);
    EXPECT_EQ(stray.itemFor({0, 0}), nullptr);
    EXPECT_EQ(stray.indexPathFor(stage(0)->item().first()), std::nullopt);
    EXPECT_FALSE(stray.pathIsAddButton({0, 2}));
    EXPECT_FALSE(stray.pathIsEmptyCell({0, 0}));
}

using SingleColumn = BoardFixture;

TEST_F(SingleColumn, StageSectionsComeFirstThenTheDays)
{
    Kanban* small = builder.addBoard(QStringLiteral("Small"), {QStringLiteral("A"), QStringLiteral("B")});
    FakeBoardView smallView(small);
    FakeColumnController all(0);
    all.setShowAllSections(true);
    smallView.addController(&all);
    const QList<ListItem*> first = addCards(small->column().at(0), 1);
    const QList<ListItem*> second = addCards(small->column().at(1), 2);
    builder.addDoneGroup(small, today());
    DoneDate* yesterday = builder.addDoneGroup(small, daysAgo(1));
    builder.addDoneGroup(small, daysAgo(2));
    ListItem* done = builder.addDoneCard(small, yesterday);

    EXPECT_EQ(all.indexPathFor(first.first()), (IndexPath {0, 0}));
    EXPECT_EQ(all.indexPathFor(second.last()), (IndexPath {1, 1}));
    EXPECT_EQ(all.indexPathFor(done), (IndexPath {3, 0}));
    EXPECT_EQ(all.itemFor({1, 1}), second.last());
    EXPECT_EQ(all.itemFor({3, 0}), done);
    EXPECT_EQ(all.itemFor({1, 2}), nullptr);
    EXPECT_EQ(all.itemFor({5, 0}), nullptr);
    EXPECT_EQ(all.itemFor({-1, 0}), nullptr);

    EXPECT_TRUE(all.pathIsAddButton({0, 1}));
    EXPECT_TRUE(all.pathIsAddButton({1, 2}));
    EXPECT_FALSE(all.pathIsAddButton({1, 1}));
    EXPECT_FALSE(all.pathIsAddButton({2, 0}));
    // Today's empty section has no placeholder in the single list.
    EXPECT_FALSE(all.pathIsEmptyCell({2, 0}));
    EXPECT_FALSE(all.pathIsEmptyCell({0, 0}));
}

TEST(ColumnWithoutBoard, EveryDefaultAnswersItsEmptyValue)
{
    TestStore store;
    ASSERT_TRUE(store.isOpen());
    StoreBuilder builder(store.context());
    Kanban* board = builder.addBoard(QStringLiteral("Board"));
    ListItem* card = builder.addCard(board->column().first());
    ListItem* deleted = builder.addCard(board->column().first());
    deleted->setToBeDeleted(true);

    FakeBoardView emptyView;
    FakeColumnController withoutKanban(0);
    emptyView.addController(&withoutKanban);
    FakeColumnController withoutDelegate(0);

    for (FakeColumnController* column : {&withoutDelegate, &withoutKanban}) {
        column->setMargins(KanbanColumnController::Margins {600, 0, 300});
        column->setItemsAddedWhenInFilteredMode({card});
        EXPECT_EQ(column->distinctDoneDates(), QList<QDateTime> {today()});
        EXPECT_TRUE(column->doneItemsOn(today(), true).isEmpty());
        EXPECT_EQ(column->itemFor({0, 0}), nullptr);
        EXPECT_EQ(column->indexPathFor(card), std::nullopt);
        EXPECT_EQ(column->indexPathOfItemInDoneColumn(card), std::nullopt);
        EXPECT_FALSE(column->pathIsAddButton({0, 0}));
        EXPECT_FALSE(column->pathIsEmptyCell({0, 0}));
        EXPECT_TRUE(column->filteredItemsFor(nullptr).isEmpty());
        // Only the cards marked for deletion go, and the cards added while filtering are forgotten.
        EXPECT_EQ(column->filteredItemsFrom({card, deleted}), QList<ListItem*> {card});
        EXPECT_TRUE(column->itemsAddedWhenInFilteredMode().isEmpty());
    }
    EXPECT_EQ(withoutDelegate.sectionPositionInDocument(), 0);
    withoutDelegate.moveColumn(100, 1);
    EXPECT_EQ(withoutDelegate.margins()->left, 600);
}

// Cards of one column tagged A, B, A and B, none, plus one with notes.
class Filtering : public BoardFixture
{
protected:
    void SetUp() override
    {
        BoardFixture::SetUp();
        tagA = builder.addTag(board, QStringLiteral("a"));
        tagB = builder.addTag(board, QStringLiteral("b"));
        taggedA = builder.addCard(stage(0), {tagA});
        taggedB = builder.addCard(stage(0), {tagB});
        taggedAB = builder.addCard(stage(0), {tagA, tagB});
        untagged = builder.addCard(stage(0));
        setNotes(taggedA, QStringLiteral("Call the PLUMBER\nabout the sink"));
        setNotes(taggedB, QStringLiteral("Buy paint"));
        setNotes(untagged, QStringLiteral("plumbing parts"));
    }

    QList<ListItem*> shown() { return controller(0).filteredItemsFor(stage(0)); }

    Tag* tagA = nullptr;
    Tag* tagB = nullptr;
    ListItem* taggedA = nullptr;
    ListItem* taggedB = nullptr;
    ListItem* taggedAB = nullptr;
    ListItem* untagged = nullptr;
};

TEST_F(Filtering, TagFilterSearchTextAndDeletion)
{
    struct Case
    {
        const char* name;
        std::optional<QList<Tag*>> tagFilter;
        std::optional<QString> searchTerm;
        QList<ListItem*> expected;
    };
    const QList<Case> cases = {
        {"no filter", std::nullopt, std::nullopt, {taggedA, taggedB, taggedAB, untagged}},
        {"tag a", QList<Tag*> {tagA}, std::nullopt, {taggedA, taggedAB}},
        {"tag a or b", QList<Tag*> {tagB, tagA}, std::nullopt, {taggedA, taggedB, taggedAB}},
        {"empty tag filter", QList<Tag*> {}, std::nullopt, {}},
        {"empty search", std::nullopt, QString(), {taggedA, taggedB, taggedAB, untagged}},
        // Case does not matter; a card without notes stays.
        {"search", std::nullopt, QStringLiteral("plumb"), {taggedA, taggedAB, untagged}},
        {"tag and search", QList<Tag*> {tagB}, QStringLiteral("PAINT"), {taggedB, taggedAB}},
        {"search matching nothing", std::nullopt, QStringLiteral("zebra"), {taggedAB}},
    };
    for (const Case& test : cases) {
        view.setTagFilter(test.tagFilter);
        view.setSearchTerm(test.searchTerm);
        EXPECT_EQ(shown(), test.expected) << test.name;
    }

    taggedAB->setToBeDeleted(true);
    view.setTagFilter(QList<Tag*> {tagA});
    view.setSearchTerm(std::nullopt);
    EXPECT_EQ(shown(), QList<ListItem*> {taggedA});
}

TEST_F(Filtering, SearchIgnoresCaseAsTheTextComparisonDoes)
{
    struct Case
    {
        QString notes;
        QString term;
    };
    const QList<Case> cases = {
        {QStringLiteral("Call the PLUMBER"), QStringLiteral("plumber")},
        {QStringLiteral("call the plumber"), QStringLiteral("PlUmBeR")},
        {QStringLiteral("ends with plumb"), QStringLiteral("plumber")},
        {QStringLiteral("plum"), QStringLiteral("plumber")},
        {QStringLiteral("p"), QStringLiteral("p")},
        {QStringLiteral("pp pl plu PLUMBER"), QStringLiteral("plumber")},
        {QStringLiteral("300 \u212Aelvin"), QStringLiteral("kelvin")},
        {QStringLiteral("Me\u017Fsage"), QStringLiteral("MESSAGE")},
        {QStringLiteral("Caf\u00C9 au lait"), QStringLiteral("\u00E9 au")},
        {QStringLiteral("\u00C9cole"), QStringLiteral("\u00E9COLE")},
        {QStringLiteral("Tagged #Work"), QStringLiteral("#work")},
        {QStringLiteral("Tagged #Work"), QStringLiteral("#home")},
        {QStringLiteral("Emoji \U0001F600 smile"), QStringLiteral("\U0001F600 SMILE")},
        {QStringLiteral("line one\nLINE TWO"), QStringLiteral("one\nline")},
        {QStringLiteral("Gro\u00DFe Stra\u00DFe"), QStringLiteral("STRASSE")},
        {QStringLiteral("gro\u1E9Ee"), QStringLiteral("GRO\u00DFE")},
        {QStringLiteral("x A\U00010428 y"), QStringLiteral("a\U00010400")},
        {QStringLiteral("\u017F\u017F"), QStringLiteral("SS")},
        // Notes kept in one byte a character, searched for characters beyond those.
        {QStringLiteral("300 kelvin"), QStringLiteral("\u212Aelvin")},
        {QStringLiteral("2 \u00B5m"), QStringLiteral("\u039CM")},
        {QStringLiteral("2 \u00B5m"), QStringLiteral("\u039C\u212A")},
        {QStringLiteral("2 m\u00B5"), QStringLiteral("M\u039C")},
    };
    ListItem* card = untagged;
    for (const Case& test : cases) {
        setNotes(card, test.notes);
        view.setSearchTerm(test.term);
        const bool expected = test.notes.contains(test.term, Qt::CaseInsensitive);
        EXPECT_EQ(shown().contains(card), expected) << test.notes.toStdString() << " / " << test.term.toStdString();
    }
}

TEST_F(Filtering, CardsAddedWhileFilteringStayAtTheirPlace)
{
    view.setTagFilter(QList<Tag*> {tagB});
    controller(0).addFilteredModeItems({untagged, taggedA});
    // Filter keeps [b, ab]; the added cards go back before the first later card.
    EXPECT_EQ(shown(), (QList<ListItem*> {taggedA, taggedB, taggedAB, untagged}));
}

TEST_F(Filtering, AddedCardsComeBackUnderAnEmptyTagFilter)
{
    view.setTagFilter(QList<Tag*> {});
    controller(0).addFilteredModeItems({taggedAB});
    EXPECT_EQ(shown(), QList<ListItem*> {taggedAB});
}

TEST_F(Filtering, AddedCardsOutsideTheListOrMarkedForDeletionAreNotShown)
{
    ListItem* elsewhere = builder.addCard(stage(1));
    view.setTagFilter(QList<Tag*> {tagA});
    controller(0).addFilteredModeItems({elsewhere, untagged, taggedB});
    taggedB->setToBeDeleted(true);
    EXPECT_EQ(shown(), (QList<ListItem*> {taggedA, taggedAB, untagged}));
    EXPECT_EQ(controller(0).itemsAddedWhenInFilteredMode().size(), 3);
}

TEST_F(Filtering, FilteringWithoutAnActiveFilterForgetsAddedCards)
{
    controller(0).addFilteredModeItems({untagged});
    view.setSearchTerm(QString());
    shown();
    EXPECT_TRUE(controller(0).itemsAddedWhenInFilteredMode().isEmpty());
}

using CardHeight = BoardFixture;

TEST_F(CardHeight, FixedPartPlusFirstLineOrWholeNotesAtTheColumnWidth)
{
    const QString text = QStringLiteral("Title\nA second line\nA third line that is long enough to wrap at least once "
                                        "inside a narrow card column");
    ListItem* card = builder.addCard(stage(0));
    setNotes(card, text);
    const qreal width = 300 - 2 * 8;
    EXPECT_EQ(controller(0).heightForItem(card), 78 + heightToFit(AttributedString(QStringLiteral("Title")), width));
    card->setNotesExpanded(true);
    EXPECT_EQ(controller(0).heightForItem(card), 78 + heightToFit(AttributedString(text), width));
    EXPECT_GT(controller(0).heightForItem(card), 78 + heightToFit(AttributedString(QStringLiteral("Title")), width));

    // One line without a line break has no first line to measure.
    card->setNotesExpanded(false);
    setNotes(card, QStringLiteral("Title"));
    EXPECT_EQ(controller(0).heightForItem(card), 78 + heightToFit(AttributedString(), width));
}

TEST_F(CardHeight, ZoomScalesTheWholeCardAndKeepsItsLineBreaks)
{
    const QString text = QStringLiteral("A line long enough to wrap inside a card column, more than once when the "
                                        "column is narrow, and once more for good measure");
    ListItem* card = builder.addCard(stage(0));
    setNotes(card, text);
    card->setNotesExpanded(true);
    const qreal unzoomed = controller(0).heightForItem(card);
    view.setUseItemHeightCache(true);
    for (const qreal zoom : {0.5, 0.75, 2.0}) {
        view.setStoredMagnification(zoom);
        EXPECT_DOUBLE_EQ(controller(0).heightForItem(card), unzoomed * zoom) << zoom;
        EXPECT_DOUBLE_EQ(*view.cachedItemHeight(card), unzoomed) << "the cache keeps unzoomed heights";
    }
    ListItem* withoutNotes = builder.addCard(stage(0));
    EXPECT_DOUBLE_EQ(controller(0).heightForItem(withoutNotes), 108 * 2.0);
    view.setStoredMagnification(0);
    EXPECT_DOUBLE_EQ(controller(0).heightForItem(card), unzoomed) << "an unusable zoom counts as none";
}

TEST_F(CardHeight, ExpandedCardsMeasureTheirPicturesAtTheirSize)
{
    QTemporaryDir data;
    DataFolders::setBaseFolderForTesting(data.path());
    const QString folder = QStringLiteral("6B1C7E52-0D3A-4F8B-9E21-3C5D7A9B1E40");
    ASSERT_TRUE(QDir(data.path()).mkpath(QStringLiteral("Pelorins/pictureAttachments/") + folder));
    QImage picture(100, 200, QImage::Format_ARGB32);
    picture.fill(Qt::red);
    ASSERT_TRUE(picture.save(data.filePath(QStringLiteral("Pelorins/pictureAttachments/%1/picture.png").arg(folder))));

    AttributedString notes(QStringLiteral("Title\n"));
    notes.append(AttributedString(QString(AttributedString::attachmentCharacter),
        {{AttributeKey::fileFolderUUID, folder}, {AttributeKey::filename, QStringLiteral("picture.png")}}));
    ListItem* card = builder.addCard(stage(0));
    card->setAttributedNotes(notes);
    card->setNotesExpanded(true);
    EXPECT_GT(controller(0).heightForItem(card), 78 + 200);
    DataFolders::setBaseFolderForTesting(QString());
}

TEST_F(CardHeight, CardsWithoutNotesOrWithoutABoardAreOneHundredAndEight)
{
    ListItem* card = builder.addCard(stage(0));
    view.setUseItemHeightCache(true);
    EXPECT_EQ(controller(0).heightForItem(card), 108);
    EXPECT_TRUE(view.itemHeightCache().isEmpty()) << "nothing is cached for a card without notes";
    setNotes(card, QStringLiteral("Notes\n"));
    EXPECT_EQ(FakeColumnController().heightForItem(card), 108);
}

TEST_F(CardHeight, CacheIsReadAndFilledOnlyWhenInUse)
{
    ListItem* cached = builder.addCard(stage(0));
    ListItem* measured = builder.addCard(stage(0));
    setNotes(cached, QStringLiteral("Cached\n"));
    setNotes(measured, QStringLiteral("Measured\n"));
    view.setItemHeightCache({{cached, 55.0}});

    const qreal height = controller(0).heightForItem(cached);
    EXPECT_NE(height, 55.0) << "the cache is not read while it is off";
    controller(0).heightForItem(measured);
    EXPECT_EQ(view.itemHeightCache().size(), 1) << "nor written";

    view.setUseItemHeightCache(true);
    EXPECT_EQ(controller(0).heightForItem(cached), 55.0);
    EXPECT_EQ(controller(0).heightForItem(measured), height);
    EXPECT_EQ(view.itemHeightCache().value(measured), height);
}

TEST(CardCounts, HeaderWording)
{
    const FakeColumnController column;
    const QList<std::pair<int, QString>> cases = {
        {0, QStringLiteral("empty")},
        {1, QStringLiteral("1 card")},
        {2, QStringLiteral("2 cards")},
        {5, QStringLiteral("5 cards")},
        {10000, QStringLiteral("10000 cards")},
        {-3, QStringLiteral("-3 cards")},
    };
    for (const auto& [number, wording] : cases)
        EXPECT_EQ(column.numberAsCards(number), wording) << number;
}

TEST(ColumnPosition, SlotIsTheOffsetOverTheColumnWidthRoundedHalfAway)
{
    FakeBoardView view;
    FakeColumnController column(0);
    view.addController(&column);
    EXPECT_EQ(column.sectionPositionInDocument(), 0) << "no margins";
    const QList<std::pair<qreal, int>> cases = {{0, 0}, {449, 1}, {450, 2}, {750, 3}, {-149, 0}, {-150, -1}, {-450, -2},
        {1e300, std::numeric_limits<int>::max()}};
    for (const auto& [left, slot] : cases) {
        column.setMargins(KanbanColumnController::Margins {left, 0, 300});
        EXPECT_EQ(column.sectionPositionInDocument(), slot) << left;
    }
    view.setStoredMagnification(0);
    EXPECT_EQ(column.sectionPositionInDocument(), 0) << "zero width";
}

} // namespace
