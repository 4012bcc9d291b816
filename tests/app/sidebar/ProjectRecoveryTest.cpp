#include "Pelorins/sidebar/ProjectRecoveryCell.h"
#include "Pelorins/sidebar/ProjectRecoveryViewController.h"
#include "PelorinsKit/model/Folder.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/model/Root.h"
#include "support/QStringPrinting.h"
#include "support/StoreBuilder.h"
#include "support/TestStore.h"

#include <QAbstractItemModelTester>
#include <QPlainTextEdit>
#include <QStyledItemDelegate>
#include <QTableView>
#include <gtest/gtest.h>

namespace {

class ProjectRecoveryTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(store.isOpen()) << store.error().toStdString(); }

    // What the row's cell shows.
    static QString rowText(ProjectRecoveryViewController& recovery, int row)
    {
        struct Cell : ProjectRecoveryCell
        {
            using ProjectRecoveryCell::initStyleOption;
        };
        QStyleOptionViewItem option;
        Cell().initStyleOption(&option, recovery.tableView()->model()->index(row, 0));
        return option.text;
    }

    TestStore store;
    StoreBuilder build {store.context()};
};

} // namespace

TEST_F(ProjectRecoveryTest, PathsRunFromTheNearestFolderOutToTheTopLevel)
{
    Folder* outer = build.addFolder(QStringLiteral("Outer"));
    Folder* inner = build.addFolder(QStringLiteral("Inner"), outer);
    Kanban* deep = build.addBoard(QStringLiteral("Deep"), {}, inner);
    Kanban* top = build.addBoard(QStringLiteral("Top"));
    Folder* lost = build.addFolder(QStringLiteral("Lost"));
    Kanban* orphaned = build.addBoard(QStringLiteral("Orphaned"), {}, lost);
    lost->setParent(nullptr);
    Kanban* loose = build.addBoard(QStringLiteral("Loose"));
    loose->setParent(nullptr);

    EXPECT_EQ(ProjectRecoveryViewController::parentPath(deep), QStringLiteral("Inner > Outer > Top Level > "));
    EXPECT_EQ(ProjectRecoveryViewController::parentPath(top), QStringLiteral("Top Level > "));
    EXPECT_EQ(ProjectRecoveryViewController::parentPath(orphaned), QStringLiteral("Lost > "));
    EXPECT_EQ(ProjectRecoveryViewController::parentPath(loose), QString());
    EXPECT_EQ(ProjectRecoveryViewController::parentPath(nullptr), QString());
}

TEST_F(ProjectRecoveryTest, ListsEveryBoardAndDescribesTheSelectedOne)
{
    Folder* work = build.addFolder(QStringLiteral("Work"));
    Kanban* plan = build.addBoard(QStringLiteral("Plan"), {}, work);
    Kanban* untitled = build.addBoard(QString());
    Kanban* lost = build.addBoard(QStringLiteral("Lost"));
    lost->setParent(nullptr);
    plan->setExport(true);
    store.context().deleteObject(build.addBoard(QStringLiteral("Gone")));

    ProjectRecoveryViewController recovery(&store.context());
    QAbstractItemModelTester tester(
        recovery.tableView()->model(), QAbstractItemModelTester::FailureReportingMode::Warning);
    EXPECT_EQ(recovery.projects(), (QList<Kanban*> {plan, untitled, lost}));
    EXPECT_EQ(rowText(recovery, 0), QStringLiteral("Plan"));
    EXPECT_EQ(rowText(recovery, 1), QString());
    EXPECT_TRUE(recovery.detailsTextView()->toPlainText().isEmpty());

    recovery.tableView()->selectRow(0);
    const QString details = recovery.detailsTextView()->toPlainText();
    const QString head
        = QStringLiteral("Work > Top Level >  \n\n Kanban <") + plan->objectIDURI().toString() + QStringLiteral(">\n");
    EXPECT_TRUE(details.startsWith(head)) << details.toStdString();
    EXPECT_TRUE(details.contains(QStringLiteral("\ntitle = Plan")));
    EXPECT_TRUE(details.contains(QStringLiteral("\nexport = 1")));
    EXPECT_TRUE(details.contains(QStringLiteral("\nbgImage = nil")));
    EXPECT_TRUE(details.contains(QStringLiteral("\nuniqueIdentifier = ") + plan->uniqueIdentifier()));

    // Another row replaces the whole text; no row clears it.
    recovery.tableView()->selectRow(2);
    EXPECT_TRUE(recovery.detailsTextView()->toPlainText().startsWith(QStringLiteral(" \n\n Kanban <")));
    recovery.tableView()->clearSelection();
    EXPECT_TRUE(recovery.detailsTextView()->toPlainText().isEmpty());
}

TEST_F(ProjectRecoveryTest, NotesAreDescribedByTheirSize)
{
    Kanban* plan = build.addBoard(QStringLiteral("Plan"));
    ListItem* card = build.addCard(plan->column().first());
    card->setAttributedNotes(AttributedString(QStringLiteral("Notes")));
    const QString description = ProjectRecoveryViewController::description(*card);
    EXPECT_TRUE(
        description.contains(QStringLiteral("\nattributedNotes = <%1 bytes>").arg(card->attributedNotesData().size())))
        << description.toStdString();
    EXPECT_TRUE(description.contains(QStringLiteral("\ndueDate = nil")));
}

TEST_F(ProjectRecoveryTest, WithoutAStoreTheListIsEmpty)
{
    ProjectRecoveryViewController recovery(nullptr);
    EXPECT_TRUE(recovery.projects().isEmpty());
    recovery.showDetails();
    EXPECT_TRUE(recovery.detailsTextView()->toPlainText().isEmpty());
}
