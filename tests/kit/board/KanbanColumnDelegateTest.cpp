#include "PelorinsKit/archive/JSONReader.h"
#include "PelorinsKit/archive/JSONWriter.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/model/Tag.h"
#include "PelorinsKit/store/CoreDataManager.h"
#include "Platform/core/ConsoleLog.h"
#include "Platform/core/DataFolders.h"
#include "support/FakeBoardView.h"
#include "support/FakeColumnController.h"
#include "support/StoreBuilder.h"
#include "support/TestStore.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using Margins = KanbanColumnController::Margins;

// Four stage columns 300 wide and the done column, each placed at its slot.
class ColumnDrag : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(store.isOpen()) << store.error().toStdString();
        StoreBuilder builder(store.context());
        view.setKanban(builder.addBoard(QStringLiteral("Board"), {"A", "B", "C", "D"}));
        for (int section = 0; section <= 4; ++section) {
            columns.push_back(std::make_unique<FakeColumnController>(section));
            view.addController(columns.back().get());
            columns.back()->setMargins(Margins {});
            columns.back()->updateColumnHeight(0, false);
        }
    }

    FakeColumnController& column(int section) { return *columns.at(section); }
    qreal left(int section) { return column(section).margins()->left; }
    void select(std::initializer_list<int> sections)
    {
        for (int section : sections)
            column(section).setSelected(true);
    }

    TestStore store;
    FakeBoardView view;
    std::vector<std::unique_ptr<FakeColumnController>> columns;
};

TEST_F(ColumnDrag, DraggedColumnStaysBetweenTheFirstAndLastStageSlot)
{
    select({1});
    const QList<std::pair<qreal, qreal>> shifts
        = {{-1000, -300}, {-300, -300}, {-120, -120}, {0, 0}, {450, 450}, {2000, 600}};
    for (const auto& [deltaX, applied] : shifts) {
        view.columnDragged(deltaX, 1);
        EXPECT_EQ(left(1), 300 + applied) << deltaX;
    }
    EXPECT_EQ(left(4), 4 * 300 + 40) << "the done column never moves";
}

TEST_F(ColumnDrag, SelectedColumnsCloseUpBesideTheDraggedOne)
{
    select({1, 3});
    // Dragging column 3: column 1 skips the unselected column 2 and rides just left of it.
    const QList<std::pair<qreal, qreal>> shifts = {{-900, -600}, {-250, -250}, {100, 0}};
    for (const auto& [deltaX, applied] : shifts) {
        view.columnDragged(deltaX, 3);
        EXPECT_EQ(left(3), 900 + applied) << deltaX;
        EXPECT_EQ(left(1), left(3) - 300) << deltaX;
    }

    // Dragging column 1: column 3 rides just right of it.
    view.columnDragged(150, 1);
    EXPECT_EQ(left(1), 450);
    EXPECT_EQ(left(3), 750);
}

TEST_F(ColumnDrag, PassedColumnsMakeRoomAndReleaseRearranges)
{
    select({2});
    // Each drag event places the passed columns by where the dragged one stood at the last.
    for (qreal deltaX : {-100, -200, -300, -300})
        view.columnDragged(deltaX, 2);
    EXPECT_EQ(column(2).sectionPositionInDocument(), 1);
    EXPECT_EQ(view.offsetForPushedColumns(1), 1);
    EXPECT_EQ(view.offsetForPushedColumns(0), 0);
    EXPECT_EQ(view.offsetForPushedColumns(3), 0);
    EXPECT_EQ(left(0), 0);
    EXPECT_EQ(left(1), 600);
    EXPECT_EQ(left(3), 900);

    view.columnReleased(-300, std::nullopt);
    EXPECT_EQ(view.rearrangements, (QList<FakeBoardView::Rearrangement> {{{2}, 1}}));
    EXPECT_EQ(view.layoutAnimations, 0);
}

TEST_F(ColumnDrag, PushComesFromEitherSideByTheNumberOfSelectedColumns)
{
    select({0, 1});
    // Both columns cross columns 2 and 3 from the left: those move two slots left.
    for (qreal deltaX : {300, 600, 600})
        view.columnDragged(deltaX, 1);
    EXPECT_EQ(column(1).sectionPositionInDocument(), 3);
    EXPECT_EQ(column(0).sectionPositionInDocument(), 2);
    EXPECT_EQ(view.offsetForPushedColumns(2), -2);
    EXPECT_EQ(view.offsetForPushedColumns(3), -2);
    EXPECT_EQ(left(2), 0);
    EXPECT_EQ(left(3), 300);
}

TEST_F(ColumnDrag, ReleaseMovesTheSelectionToItsLeftmostSlot)
{
    select({0, 3});
    view.columnDragged(300, 0);
    EXPECT_EQ(left(0), 300);
    EXPECT_EQ(left(3), 600);
    view.columnReleased(300, std::nullopt);
    EXPECT_EQ(view.rearrangements, (QList<FakeBoardView::Rearrangement> {{{0, 3}, 1}}));
}

TEST_F(ColumnDrag, ReleaseWithoutAChangeReturnsEveryColumnToItsSlot)
{
    select({1});
    view.columnDragged(100, 1);
    view.columnReleased(100, std::nullopt);
    EXPECT_TRUE(view.rearrangements.isEmpty());
    EXPECT_EQ(view.layoutAnimations, 1);
    for (int section = 0; section < 4; ++section)
        EXPECT_EQ(column(section).columnHeightUpdates.last(), std::make_pair(0, true)) << section;
    EXPECT_EQ(left(1), 300);
    EXPECT_EQ(column(4).columnHeightUpdates.size(), 1) << "the done column is left alone";
}

TEST_F(ColumnDrag, ColumnsOutOfPlaceWithoutASelectionGoBackToTheirSlots)
{
    column(2).setMargins(Margins {300, 0, 300});
    view.columnReleased(0, std::nullopt);
    EXPECT_TRUE(view.rearrangements.isEmpty());
    EXPECT_EQ(left(2), 600);
    EXPECT_EQ(view.layoutAnimations, 1);
}

TEST_F(ColumnDrag, ReleaseTargetStaysOnTheBoard)
{
    select({2});
    column(2).setMargins(Margins {-900, 0, 300});
    view.columnReleased(0, std::nullopt);
    EXPECT_EQ(view.rearrangements, (QList<FakeBoardView::Rearrangement> {{{2}, 0}}));
}

TEST_F(ColumnDrag, DraggingAColumnOutsideTheStageColumnsMovesNothing)
{
    select({1, 4});
    for (int originated : {-1, 4, 7}) {
        view.columnDragged(-300, originated);
        for (int section = 0; section <= 4; ++section)
            EXPECT_EQ(column(section).updateColumnPositionCalls, 0);
        EXPECT_EQ(left(1), 300);
    }
}

TEST_F(ColumnDrag, MissingControllersAreSkipped)
{
    FakeBoardView sparse(view.kanban());
    FakeColumnController second(1);
    FakeColumnController third(2);
    sparse.addController(&second);
    sparse.addController(&third);
    second.setMargins(Margins {300, 0, 300});
    third.setMargins(Margins {600, 0, 300});
    second.setSelected(true);
    sparse.columnDragged(300, 1);
    EXPECT_EQ(second.margins()->left, 600);
    EXPECT_EQ(third.margins()->left, 300);
    sparse.columnReleased(300, std::nullopt);
    EXPECT_EQ(sparse.rearrangements, (QList<FakeBoardView::Rearrangement> {{{1}, 2}}));
}

// The store manager's store in a temporary data folder: pasted cards are merged there and saved.
class PastedTags : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        folder = new QTemporaryDir;
        DataFolders::setBaseFolderForTesting(folder->path());
        CoreDataManager::shared().setup([] {}, [](const StoreError&) {});
    }

    static void TearDownTestSuite()
    {
        DataFolders::setBaseFolderForTesting(QString());
        delete folder;
        folder = nullptr;
    }

    void SetUp() override { ASSERT_NE(context, nullptr); }

    static QTemporaryDir* folder;
    ManagedObjectContext* context = CoreDataManager::shared().context();
    StoreBuilder builder {*context};
};

QTemporaryDir* PastedTags::folder = nullptr;

TEST_F(PastedTags, TakeTheBoardsOwnTagsAndNewOnesJoinTheBoard)
{
    Kanban* board = builder.addBoard(QStringLiteral("Board"));
    Kanban* source = builder.addBoard(QStringLiteral("Source"));
    Tag* work = builder.addTag(board, QStringLiteral("work"));
    Tag* home = builder.addTag(board, QStringLiteral("home"));
    Tag* pastedWork = builder.addTag(source, QStringLiteral("work"));
    Tag* pastedNew = builder.addTag(source, QStringLiteral("garden"));
    ListItem* pasted = builder.addCard(board->column().first(), {pastedWork, home, pastedNew});
    ListItem* untagged = builder.addCard(board->column().first());
    // A tag no card carries goes at the next save.
    builder.addCard(board->column().first(), {work});
    ASSERT_TRUE(context->save());

    FakeBoardView view(board);
    view.cleanUpTagsIn({pasted, untagged});

    EXPECT_EQ(pasted->tags(), (QList<Tag*> {home, pastedNew, work}));
    EXPECT_TRUE(pastedWork->isDeleted());
    EXPECT_FALSE(work->isDeleted());
    EXPECT_EQ(pastedNew->kanban(), board);
    EXPECT_TRUE(board->tags().contains(pastedNew));
    EXPECT_TRUE(untagged->tags().isEmpty());
    EXPECT_FALSE(context->hasChanges()) << "the merge is saved";
}

TEST_F(PastedTags, CardsPastedTogetherAllKeepTheTagTheyShare)
{
    Kanban* board = builder.addBoard(QStringLiteral("Board"));
    KanbanColumn* column = board->column().first();
    Tag* work = builder.addTag(board, QStringLiteral("work"));
    QJsonArray copied;
    for (int i = 0; i < 2; ++i)
        copied.append(JSONWriter::genericTraversingNode(builder.addCard(column, {work}), true));
    ASSERT_TRUE(context->save());

    // Read back, both copies share one new "work" tag, which the merge replaces on each.
    JSONReader* reader = CoreDataManager::shared().jsonReader();
    reader->setImportedObjects({});
    QList<ListItem*> pasted;
    for (ManagedObject* object : reader->makeObjectsFromArrayOf(copied))
        pasted.append(static_cast<ListItem*>(object));
    ASSERT_EQ(pasted.size(), 2);
    QList<ListItem*> cards = column->item();
    cards.append(pasted);
    column->setItem(cards);

    FakeBoardView(board).cleanUpTagsIn(pasted);

    for (ListItem* card : pasted)
        EXPECT_EQ(card->tags(), QList<Tag*> {work});
    EXPECT_EQ(board->numberOfItemsWith(work), 4);
    EXPECT_EQ(board->tags(), QList<Tag*> {work});
}

TEST_F(PastedTags, WithoutABoardTagsStayWhereTheyAreAndTheStoreIsSaved)
{
    Kanban* source = builder.addBoard(QStringLiteral("Source"));
    Tag* tag = builder.addTag(source, QStringLiteral("work"));
    ListItem* card = builder.addCard(source->column().first(), {tag});

    FakeBoardView view;
    view.cleanUpTagsIn({card});

    EXPECT_EQ(card->tags(), QList<Tag*> {tag});
    EXPECT_EQ(tag->kanban(), source);
    EXPECT_FALSE(context->hasChanges());
}

} // namespace
