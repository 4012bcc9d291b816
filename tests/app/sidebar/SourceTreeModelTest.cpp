#include "Pelorins/common/AppConstants.h"
#include "Pelorins/sidebar/SourceTreeModel.h"
#include "PelorinsKit/model/DueSoonDefinition.h"
#include "PelorinsKit/model/Folder.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/model/Root.h"
#include "Platform/core/UserDefaults.h"
#include "support/ModelSignalLog.h"
#include "support/StoreBuilder.h"
#include "support/TestStore.h"

#include <QAbstractItemModelTester>
#include <QCoreApplication>
#include <QPersistentModelIndex>
#include <gtest/gtest.h>

namespace {

class SourceTreeModelTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(store.isOpen()) << store.error().toStdString();
        work = build.addFolder(QStringLiteral("Work"));
        plan = build.addBoard(QStringLiteral("Plan"), {QStringLiteral("To Do")}, work);
        ship = build.addBoard(QStringLiteral("Ship"), {QStringLiteral("To Do")}, work);
        home = build.addBoard(QStringLiteral("Home"));
        model.setRootObject(build.root());
    }

    // The rows say exactly what the graph holds, and every index finds its way back.
    void expectMirrorsGraph(const QModelIndex& parent = {})
    {
        DisplayItem* item = parent.isValid() ? model.itemForIndex(parent) : build.root();
        const QList<DisplayItem*> children = dynamic_cast<Kanban*>(item) ? QList<DisplayItem*>() : item->children();
        ASSERT_EQ(model.rowCount(parent), children.size()) << parent.data().toString().toStdString();
        for (int row = 0; row < children.size(); ++row) {
            const QModelIndex child = model.index(row, 0, parent);
            EXPECT_EQ(model.itemForIndex(child), children.at(row));
            EXPECT_EQ(model.parent(child), parent);
            EXPECT_EQ(model.indexForItem(children.at(row)), child);
            expectMirrorsGraph(child);
        }
    }

    TestStore store;
    StoreBuilder build {store.context()};
    SourceTreeModel model;
    // Checks every signal and answer of the model against Qt's rules; a violation ends the test.
    QAbstractItemModelTester tester {&model, QAbstractItemModelTester::FailureReportingMode::Fatal};
    Folder* work = nullptr;
    Kanban* plan = nullptr;
    Kanban* ship = nullptr;
    Kanban* home = nullptr;
};

} // namespace

TEST_F(SourceTreeModelTest, ShowsFoldersAndBoardsButNeverABoardsTags)
{
    build.addTag(home, QStringLiteral("urgent"));
    expectMirrorsGraph();
    const QModelIndex homeRow = model.indexForItem(home);
    EXPECT_EQ(homeRow.data().toString(), QStringLiteral("Home"));
    EXPECT_EQ(model.rowCount(homeRow), 0);
    EXPECT_FALSE(model.hasChildren(homeRow));
    EXPECT_TRUE(model.flags(homeRow) & Qt::ItemNeverHasChildren);
    EXPECT_FALSE(model.index(0, 0, model.indexForItem(work)).data(SourceTreeModel::BadgeCountRole).isNull());
    EXPECT_TRUE(model.indexForItem(work).data(SourceTreeModel::BadgeCountRole).isNull());
    EXPECT_FALSE(model.indexForItem(build.root()).isValid());
}

TEST_F(SourceTreeModelTest, BadgeCountsOpenCardsAndTakesItsColourFromTheMostPressingDueDate)
{
    UserDefaults::standard().setValue(dueSoonDefinitionKey, int(DueSoonDefinition::due24hours));
    const QDateTime now = QDateTime::currentDateTimeUtc();
    struct Case
    {
        const char* name;
        int open, overdue, dueSoon, done, openInDoneColumn;
        int count;
        QColor colour;
    };
    const Case cases[] = {
        {"one overdue", 3, 1, 0, 0, 0, 3, badgeRedColour()},
        {"overdue beats due soon", 3, 1, 1, 0, 0, 3, badgeRedColour()},
        {"one due soon", 3, 0, 1, 0, 0, 3, badgeOrangeColour()},
        {"neither", 3, 0, 0, 0, 0, 3, badgeGreyColour()},
        {"no cards", 0, 0, 0, 0, 0, 0, badgeGreyColour()},
        {"done cards not counted", 1, 0, 0, 2, 0, 1, badgeGreyColour()},
        {"open cards of the done column counted", 1, 0, 0, 0, 2, 3, badgeGreyColour()},
    };
    for (const Case& c : cases) {
        Kanban* board = build.addBoard(QString::fromLatin1(c.name));
        KanbanColumn* stage = board->column().first();
        for (int i = 0; i < c.open; ++i) {
            ListItem* card = build.addCard(stage);
            if (i < c.overdue)
                card->setDueDate(now.addSecs(-3600));
            else if (i < c.overdue + c.dueSoon)
                card->setDueDate(now.addSecs(2 * 3600));
            else
                card->setDueDate(now.addDays(30));
        }
        for (int i = 0; i < c.done; ++i) {
            ListItem* card = build.addCard(stage);
            card->setDone(true);
            card->setDueDate(now.addSecs(-3600));
        }
        for (int i = 0; i < c.openInDoneColumn; ++i)
            build.addCard(board->mainColumn());
        const QModelIndex row = model.indexForItem(board);
        EXPECT_EQ(row.data(SourceTreeModel::BadgeCountRole).toInt(), c.count) << c.name;
        EXPECT_EQ(row.data(SourceTreeModel::BadgeColourRole).value<QColor>(), c.colour) << c.name;
    }
    UserDefaults::standard().removeObject(dueSoonDefinitionKey);
}

TEST_F(SourceTreeModelTest, GraphChangesArriveAsMatchingRowSignals)
{
    ModelSignalLog log(model);
    const QPersistentModelIndex shipRow = model.indexForItem(ship);

    Kanban* next = build.addBoard(QStringLiteral("Next"), {}, work);
    EXPECT_EQ(log.take(), QStringList {QStringLiteral("inserted Work 2-2")});
    expectMirrorsGraph();

    Folder* later = build.addFolder(QStringLiteral("Later"));
    EXPECT_EQ(log.take(), QStringList {QStringLiteral("inserted top 2-2")});

    // Reordering a folder's children whole: the rows move, nothing is removed.
    work->setChildren({next, plan, ship});
    EXPECT_FALSE(log.take().filter(QStringLiteral("moved Work")).isEmpty());
    expectMirrorsGraph();
    EXPECT_EQ(model.itemForIndex(shipRow), ship);

    // Into another folder: one move across parents, so the row keeps its selection and state.
    ship->setParent(later);
    EXPECT_EQ(log.take(), QStringList {QStringLiteral("moved Work 2-2 to Later 0")});
    EXPECT_TRUE(shipRow.isValid());
    EXPECT_EQ(model.parent(shipRow), model.indexForItem(later));
    expectMirrorsGraph();

    work->insertObject(DisplayItem::childrenKey, home, 0);
    EXPECT_EQ(log.take(), QStringList {QStringLiteral("moved top 1-1 to Work 0")});
    expectMirrorsGraph();

    plan->setTitle(QStringLiteral("Plan B"));
    EXPECT_EQ(log.take(), QStringList {QStringLiteral("title Plan B")});

    store.context().deleteObject(work);
    EXPECT_EQ(log.take(), QStringList {QStringLiteral("removed top 0-0")});
    expectMirrorsGraph();
    EXPECT_FALSE(model.indexForItem(plan).isValid());
}

TEST_F(SourceTreeModelTest, AFolderMovedIntoItsOwnSubtreeLeavesTheRowsWithoutLooping)
{
    Folder* inner = build.addFolder(QStringLiteral("Inner"), work);
    ModelSignalLog log(model);
    work->setParent(inner);
    EXPECT_TRUE(log.take().contains(QStringLiteral("removed top 0-0")));
    EXPECT_FALSE(model.indexForItem(inner).isValid());
    EXPECT_EQ(model.rowCount(), 1);
}

TEST_F(SourceTreeModelTest, CardChangesRecountTheBadgesOnceAfterTheChanges)
{
    ListItem* card = build.addCard(plan->column().first());
    QCoreApplication::processEvents();
    EXPECT_EQ(model.indexForItem(plan).data(SourceTreeModel::BadgeCountRole).toInt(), 1);
    ModelSignalLog log(model);
    card->setDone(true);
    card->setDueDate(QDateTime::currentDateTimeUtc());
    card->setColumn(plan->mainColumn());
    EXPECT_EQ(log.changesOf(SourceTreeModel::BadgeCountRole), 0);
    QCoreApplication::processEvents();
    // One notice per parent with rows: the top level and "Work".
    EXPECT_EQ(log.changesOf(SourceTreeModel::BadgeCountRole), 2);
    EXPECT_EQ(model.indexForItem(plan).data(SourceTreeModel::BadgeCountRole).toInt(), 0);
    EXPECT_TRUE(log.take().isEmpty());
}
