#include "Pelorins/sidebar/KDLeftSidebarViewController.h"
#include "Pelorins/sidebar/SidebarSnapshot.h"
#include "Pelorins/sidebar/SourceOutlineView.h"
#include "PelorinsKit/model/DoneDate.h"
#include "PelorinsKit/model/Folder.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/model/ListItemHistory.h"
#include "PelorinsKit/model/NotificationName.h"
#include "PelorinsKit/model/Tag.h"
#include "Platform/core/NotificationCenter.h"
#include "support/QStringPrinting.h"
#include "support/SidebarHarness.h"

#include <QAbstractItemModelTester>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <gtest/gtest.h>

namespace {

constexpr int deleteButton = 0;
constexpr int cancelButton = 1;

// Every attribute of the object and of what the JSON format carries under it, as one text; the
// identifiers included, so that a remade tree compares equal only when nothing was lost.
QString describeTree(const ManagedObject* object, QSet<const ManagedObject*>& seen)
{
    if (!object || seen.contains(object))
        return QStringLiteral("^");
    seen.insert(object);
    QStringList parts {object->entity()->name()};
    for (const AttributeDescription& attribute : object->entity()->attributes()) {
        const QVariant value = object->value(attribute.name);
        // The same instant reads the same, however its zone is written.
        const QString text = value.typeId() == QMetaType::QDateTime
            ? value.toDateTime().toUTC().toString(Qt::ISODateWithMs)
            : value.toString();
        parts.append(attribute.name + QLatin1Char('=') + text);
    }
    for (const RelationshipDescription& relationship : object->entity()->relationships()) {
        if (relationship.isToMany && relationship.isOrdered) {
            QStringList members;
            for (const ManagedObject* member : object->objects(relationship.name))
                members.append(describeTree(member, seen));
            parts.append(relationship.name + QStringLiteral(":(") + members.join(QLatin1Char(',')) + QLatin1Char(')'));
        } else if (relationship.name == QLatin1String("mainColumn")) {
            parts.append(QStringLiteral("mainColumn:") + describeTree(object->object(relationship.name), seen));
        }
    }
    return parts.join(QLatin1Char(' '));
}

QString describeTree(const ManagedObject* object)
{
    QSet<const ManagedObject*> seen;
    return describeTree(object, seen);
}

class SidebarEditingTest : public ::testing::Test, public SidebarHarness
{
protected:
    void SetUp() override { ASSERT_TRUE(store.isOpen()) << store.error().toStdString(); }

    Folder* folderNamed(const QString& title)
    {
        for (Folder* folder : store.context().fetchAs<Folder>(FetchRequest(QStringLiteral("Folder"))))
            if (folder->title() == title && !dynamic_cast<Root*>(folder))
                return folder;
        return nullptr;
    }
    QLineEdit* titleEditor() { return outline().findChild<QLineEdit*>(); }
};

} // namespace

TEST_F(SidebarEditingTest, CopyTitlesCountTheCopiesOfTheSameBase)
{
    struct Case
    {
        QStringList boards;
        QString copied;
        QString expected;
    };
    const QList<Case> cases {
        {{"Plan"}, "Plan", "Plan copy"},
        {{"Plan", "Plan copy"}, "Plan", "Plan copy 2"},
        {{"Plan", "Plan copy", "Plan copy 2"}, "Plan copy 2", "Plan copy 3"},
        {{"Plan", "Plan copy3"}, "Plan", "Plan copy 4"},
        // Two digits never count: the copy numbers go on from the highest single digit.
        {{"Plan", "Plan copy 12"}, "Plan", "Plan copy"},
        {{"Plan", "Plan copy", "Plan copy 9", "Plan copy 12"}, "Plan", "Plan copy 10"},
        {{"Planning copy 5", "Plan"}, "Plan", "Plan copy"},
        // Titles are matched as written, never as patterns.
        {{"C++", "C++ copy"}, "C++", "C++ copy 2"},
        {{"Plan (v2)", "Plan (v2) copy 4"}, "Plan (v2) copy 4", "Plan (v2) copy 5"},
        {{"a.b", "axb copy"}, "a.b", "a.b copy"},
        {{"[x]*", "[x]* copy"}, "[x]*", "[x]* copy 2"},
    };
    for (const Case& c : cases) {
        SidebarHarness harness;
        for (const QString& title : c.boards)
            harness.build.addBoard(title);
        harness.makeSidebar();
        EXPECT_EQ(harness.outline().uniqueCopyTitle(c.copied), c.expected) << c.boards.join(", ").toStdString();
    }
}

TEST_F(SidebarEditingTest, NewItemsArePlacedNextToTheClickedRowSelectedAndEditing)
{
    Folder* work = build.addFolder(QStringLiteral("Work"));
    Kanban* plan = build.addBoard(QStringLiteral("Plan"), {}, work);
    Kanban* ship = build.addBoard(QStringLiteral("Ship"), {}, work);
    build.addBoard(QStringLiteral("Home"));
    work->setExpanded(true);
    makeSidebar();
    QAbstractItemModelTester tester(sidebar->model(), QAbstractItemModelTester::FailureReportingMode::Warning);
    outline().clearSelection();

    // No clicked row and no selection: last at the top level.
    saves = 0;
    sidebar->addFolder();
    EXPECT_EQ(tree(build.root()), QStringLiteral("Work[Plan Ship] Home untitled folder[]"));
    EXPECT_EQ(saves, 2); // the new item, then its selection
    EXPECT_EQ(selectedItem()->stringValue(QStringLiteral("title")), QStringLiteral("untitled folder"));
    ASSERT_NE(titleEditor(), nullptr);
    EXPECT_EQ(titleEditor()->text(), QStringLiteral("untitled folder"));

    // The last board of a folder: the new board goes last.
    outline().willOpenMenu(rowOf(ship));
    sidebar->addKanban();
    EXPECT_EQ(tree(work), QStringLiteral("Plan Ship untitled project"));
    auto* made = dynamic_cast<Kanban*>(selectedItem());
    ASSERT_NE(made, nullptr);
    ASSERT_EQ(made->column().size(), 1);
    EXPECT_EQ(made->column().first()->title(), QStringLiteral("To do"));
    EXPECT_EQ(shown.last(), made);

    // A board in the middle of its folder takes the new board right after it.
    outline().willOpenMenu(rowOf(plan));
    sidebar->addKanban();
    EXPECT_EQ(tree(work), QStringLiteral("Plan untitled project Ship untitled project"));

    // A clicked folder takes the new item last.
    outline().willOpenMenu(rowOf(work));
    sidebar->addFolder();
    EXPECT_EQ(tree(work), QStringLiteral("Plan untitled project Ship untitled project untitled folder[]"));

    // A command from the main menu is placed by the selection alone, never by an earlier click.
    outline().willOpenMenu(-1);
    outline().clearSelection();
    sidebar->addFolder();
    EXPECT_EQ(tree(work), QStringLiteral("Plan untitled project Ship untitled project untitled folder[]"));
    EXPECT_EQ(build.root()->children().last()->stringValue(QStringLiteral("title")), QStringLiteral("untitled folder"));
}

TEST_F(SidebarEditingTest, TheMenuOffersRowCommandsOnlyForAClickedRow)
{
    build.addBoard(QStringLiteral("Home"));
    makeSidebar();
    const auto identifiers = [this] {
        QStringList names;
        for (const QAction* item : outline().menu()->actions())
            if (!item->objectName().isEmpty())
                names.append(item->objectName());
        return names;
    };
    outline().willOpenMenu(0);
    outline().willOpenMenu(0);
    EXPECT_EQ(identifiers(),
        (QStringList {"separatorIdentifier1", "Rename…", "Duplicate…", "separatorIdentifier2", "Delete"}));
    EXPECT_EQ(outline().clickedRow(), 0);
    outline().willOpenMenu(-1);
    EXPECT_TRUE(identifiers().isEmpty());
    EXPECT_EQ(outline().clickedRow(), -1);
}

TEST_F(SidebarEditingTest, RenamingInPlaceSetsTheTitleSavesAndTellsTheWindow)
{
    Folder* work = build.addFolder(QStringLiteral("Work"));
    makeSidebar();
    int titleChanges = 0;
    QObject observer;
    NotificationCenter::shared().addObserver(&observer, NotificationName::projectTitleChanged,
        [&](const NotificationCenter::Notification&) { ++titleChanges; });
    saves = 0;

    for (const QString& title : {QStringLiteral("Plans & (more) #1"), QString()}) {
        outline().willOpenMenu(rowOf(work));
        outline().renameItem();
        QLineEdit* editor = titleEditor();
        ASSERT_NE(editor, nullptr);
        EXPECT_EQ(editor->selectedText(), editor->text());
        QTest::keyClick(editor, Qt::Key_Backspace);
        QTest::keyClicks(editor, title);
        // Counts recounted while typing, as when a card falls due, keep what was typed.
        sidebar->refreshListWhileKeepingSelection();
        QTest::keyClick(editor, Qt::Key_Return);
        endTurn();
        EXPECT_EQ(work->title(), title);
        EXPECT_EQ(sidebar->model()->index(0, 0).data().toString(), title);
    }
    EXPECT_EQ(saves, 2);
    EXPECT_EQ(titleChanges, 2);
}

TEST_F(SidebarEditingTest, DeletingAsksFirstWithTextsThatNameWhatGoes)
{
    Folder* work = build.addFolder(QStringLiteral("Work"));
    build.addBoard(QStringLiteral("Plan"));
    build.addBoard(QStringLiteral("Home"));
    makeSidebar();

    alerts.enqueueAnswer(cancelButton);
    outline().willOpenMenu(rowOf(work));
    outline().deleteItem();
    ASSERT_EQ(alerts.alerts().size(), 1);
    const AlertPresenter::Alert& one = alerts.alerts().last();
    EXPECT_EQ(one.messageText, QStringLiteral("Are you sure you want to delete the Folder \"Work\"?"));
    EXPECT_EQ(one.informativeText, QStringLiteral("This Folder will be deleted immediately."));
    EXPECT_EQ(one.buttonTitles, (QStringList {"Delete", "Cancel"}));
    EXPECT_EQ(one.defaultButton, cancelButton);
    EXPECT_EQ(one.destructiveButton, deleteButton);
    EXPECT_EQ(one.style, AlertPresenter::Style::Critical);

    // The Delete key asks about the selected rows.
    outline().willOpenMenu(-1);
    outline().selectAll();
    alerts.enqueueAnswer(cancelButton);
    QTest::keyClick(&outline(), Qt::Key_Delete);
    ASSERT_EQ(alerts.alerts().size(), 2);
    EXPECT_EQ(
        alerts.alerts().last().messageText, QStringLiteral("Are you sure you want to delete the 3 selected items?"));
    EXPECT_EQ(alerts.alerts().last().informativeText, QStringLiteral("These items will be deleted immediately."));
    EXPECT_EQ(tree(build.root()), QStringLiteral("Work[] Plan Home"));

    alerts.enqueueAnswer(deleteButton);
    sidebar->confirmDelete({build.root()->children().at(1)});
    EXPECT_EQ(
        alerts.alerts().last().messageText, QStringLiteral("Are you sure you want to delete the Project \"Plan\"?"));
    EXPECT_EQ(tree(build.root()), QStringLiteral("Work[] Home"));
}

TEST_F(SidebarEditingTest, UndoAndRedoOfADeletionKeepPlacesWholeTreesAndMarks)
{
    build.addBoard(QStringLiteral("First"));
    Folder* work = build.addFolder(QStringLiteral("Work"));
    Kanban* plan = build.addBoard(QStringLiteral("Plan"), {QStringLiteral("To Do"), QStringLiteral("Doing")}, work);
    Kanban* ship = build.addBoard(QStringLiteral("Ship"), {}, work);
    ship->setExport(true);
    Folder* inner = build.addFolder(QStringLiteral("Inner"), work);
    build.addBoard(QStringLiteral("Deep"), {}, inner);
    Kanban* home = build.addBoard(QStringLiteral("Home"));
    build.addBoard(QStringLiteral("Last"));
    Tag* tag = build.addTag(plan, QStringLiteral("work"));
    ListItem* open = build.addCard(plan->column().at(1), {tag});
    open->setDueDate(QDateTime(QDate(2024, 3, 5), QTime(17, 4, 9), Qt::UTC));
    DoneDate* group = build.addDoneGroup(plan, QDateTime(QDate(2024, 3, 1), QTime(0, 0)));
    ListItem* done = build.addDoneCard(plan, group);
    done->setTags({tag});
    // As the program files them: in the day group only.
    done->setColumn(nullptr);
    makeSidebar();
    const QString workBefore = describeTree(work);
    const QString homeBefore = describeTree(home);
    const QString before = tree(build.root());
    EXPECT_EQ(before, QStringLiteral("First Work[Plan Ship Inner[Deep]] Home Last"));

    sidebar->deleteItems({work, home});
    EXPECT_EQ(tree(build.root()), QStringLiteral("First Last"));
    EXPECT_EQ(store.context().count(FetchRequest(QStringLiteral("ListItem"))), 0);
    EXPECT_EQ(undoManager.undoActionName(), QStringLiteral("Delete Item"));
    endTurn();

    for (int round = 0; round < 2; ++round) {
        undoManager.undo();
        EXPECT_EQ(tree(build.root()), before);
        EXPECT_EQ(describeTree(folderNamed(QStringLiteral("Work"))), workBefore);
        EXPECT_EQ(describeTree(build.root()->children().at(2)), homeBefore);
        EXPECT_EQ(undoManager.redoActionName(), QStringLiteral("Delete Item"));
        if (round == 0) {
            undoManager.redo();
            EXPECT_EQ(tree(build.root()), QStringLiteral("First Last"));
        }
    }
    // What came back is what is saved.
    ASSERT_TRUE(store.context().save());
    ASSERT_TRUE(store.reopen());
    Kanban* remade = nullptr;
    for (Kanban* kanban : store.context().fetchAs<Kanban>(FetchRequest(QStringLiteral("Kanban"))))
        if (kanban->title() == QLatin1String("Plan"))
            remade = kanban;
    ASSERT_NE(remade, nullptr);
    EXPECT_EQ(remade->column().at(1)->item().size(), 1);
    EXPECT_EQ(remade->doneDates().first()->items().size(), 1);
    EXPECT_EQ(remade->tags().first()->items().size(), 2);
}

TEST_F(SidebarEditingTest, EachDeletionKeepsItsOwnPlacesSoOlderOnesUndoToo)
{
    Folder* work = build.addFolder(QStringLiteral("Work"));
    build.addBoard(QStringLiteral("Plan"), {}, work);
    Kanban* ship = build.addBoard(QStringLiteral("Ship"), {}, work);
    build.addBoard(QStringLiteral("Tail"), {}, work);
    build.addBoard(QStringLiteral("Home"));
    makeSidebar();

    sidebar->deleteItems({ship});
    endTurn();
    sidebar->deleteItems({work});
    endTurn();
    EXPECT_EQ(tree(build.root()), QStringLiteral("Home"));

    // The folder comes back first; the board finds it again by its identifier.
    undoManager.undo();
    EXPECT_EQ(tree(build.root()), QStringLiteral("Work[Plan Tail] Home"));
    undoManager.undo();
    EXPECT_EQ(tree(build.root()), QStringLiteral("Work[Plan Ship Tail] Home"));

    // A parent gone for good sends the item to the top level; a position past the end is the end.
    sidebar->deleteItems({build.root()->children().first()->children().at(2)});
    endTurn();
    Folder* remadeWork = folderNamed(QStringLiteral("Work"));
    store.context().deleteObject(remadeWork->children().first());
    undoManager.undo();
    EXPECT_EQ(tree(build.root()), QStringLiteral("Work[Ship Tail] Home"));
    sidebar->deleteItems({remadeWork->children().last()});
    endTurn();
    store.context().deleteObject(remadeWork);
    undoManager.undo();
    EXPECT_EQ(tree(build.root()), QStringLiteral("Home Tail"));
}

TEST_F(SidebarEditingTest, AnItemInsideAnotherDeletedOneComesBackOnce)
{
    Folder* work = build.addFolder(QStringLiteral("Work"));
    Kanban* plan = build.addBoard(QStringLiteral("Plan"), {}, work);
    makeSidebar();
    sidebar->deleteItems({work, plan});
    endTurn();
    undoManager.undo();
    EXPECT_EQ(tree(build.root()), QStringLiteral("Work[Plan]"));
    EXPECT_EQ(store.context().count(FetchRequest(QStringLiteral("Kanban"))), 1);
}

// Folders brought back by an undo open and close as their stored flags say, as after a restart.
TEST_F(SidebarEditingTest, UndoneDeletionsShowFoldersOpenOrClosedAsStored)
{
    Folder* work = build.addFolder(QStringLiteral("Work"));
    Folder* open = build.addFolder(QStringLiteral("Open"), work);
    build.addBoard(QStringLiteral("Plan"), {}, open);
    Folder* closed = build.addFolder(QStringLiteral("Closed"), work);
    build.addBoard(QStringLiteral("Ship"), {}, closed);
    work->setExpanded(true);
    open->setExpanded(true);
    closed->setExpanded(false);
    makeSidebar();
    const auto isOpen = [this](const QString& title) {
        return outline().isExpanded(sidebar->model()->indexForItem(folderNamed(title)));
    };
    ASSERT_TRUE(isOpen(QStringLiteral("Work")) && isOpen(QStringLiteral("Open")));

    sidebar->deleteItems({work});
    endTurn();
    undoManager.undo();
    EXPECT_TRUE(isOpen(QStringLiteral("Work")));
    EXPECT_TRUE(isOpen(QStringLiteral("Open")));
    EXPECT_FALSE(isOpen(QStringLiteral("Closed")));
    EXPECT_TRUE(folderNamed(QStringLiteral("Work"))->expanded());
    EXPECT_TRUE(folderNamed(QStringLiteral("Open"))->expanded());
    EXPECT_FALSE(folderNamed(QStringLiteral("Closed"))->expanded());
}

TEST_F(SidebarEditingTest, DeletingTheSelectedBoardShowsTheRowInItsPlace)
{
    build.addBoard(QStringLiteral("Plan"));
    Kanban* ship = build.addBoard(QStringLiteral("Ship"));
    Kanban* home = build.addBoard(QStringLiteral("Home"));
    makeSidebar();
    clickRow(ship);
    int searchClears = 0;
    QObject::connect(sidebar.get(), &KDLeftSidebarViewController::searchFieldClearRequested, [&] { ++searchClears; });
    shown.clear();

    sidebar->deleteItems({ship});
    EXPECT_EQ(selectedItem(), home);
    EXPECT_EQ(shown.last(), home);
    // The last row goes: the row above is selected and shown.
    sidebar->deleteItems({home});
    EXPECT_EQ(tree(build.root()), QStringLiteral("Plan"));
    EXPECT_EQ(selectedItem(), build.root()->children().first());
    EXPECT_EQ(shown.last(), build.root()->children().first());
    sidebar->deleteItems({build.root()->children().first()});
    EXPECT_EQ(searchClears, 1);
}

TEST_F(SidebarEditingTest, DuplicatingCopiesEverythingWithNewIdentifiersNextToTheItem)
{
    Folder* work = build.addFolder(QStringLiteral("Work"));
    Kanban* plan = build.addBoard(QStringLiteral("Plan"), {QStringLiteral("To Do")}, work);
    Kanban* ship = build.addBoard(QStringLiteral("Ship"), {}, work);
    build.addCard(plan->column().first());
    Kanban* home = build.addBoard(QStringLiteral("Home"));
    build.addBoard(QStringLiteral("Last"));
    makeSidebar();

    // A board lands right after itself, with a title of its own, selected and editing.
    outline().willOpenMenu(rowOf(home));
    outline().duplicateItem();
    outline().willOpenMenu(-1);
    ASSERT_EQ(tree(build.root()), QStringLiteral("Work[Plan Ship] Home Home copy Last"));
    DisplayItem* copy = build.root()->children().at(2);
    EXPECT_EQ(selectedItem(), copy);
    ASSERT_NE(titleEditor(), nullptr);
    EXPECT_EQ(titleEditor()->text(), QStringLiteral("Home copy"));
    EXPECT_NE(copy->uniqueIdentifier(), home->uniqueIdentifier());

    // A folder copies all of its boards, marked for export or not, and changes no mark.
    clickRow(work);
    plan->setExport(false);
    ship->setExport(false);
    sidebar->duplicateItem();
    ASSERT_EQ(tree(work), QStringLiteral("Plan Ship Work[Plan Ship]"));
    auto* copiedPlan = dynamic_cast<Kanban*>(work->children().at(2)->children().first());
    ASSERT_NE(copiedPlan, nullptr);
    EXPECT_NE(copiedPlan->uniqueIdentifier(), plan->uniqueIdentifier());
    EXPECT_NE(copiedPlan->column().first()->uniqueIdentifier(), plan->column().first()->uniqueIdentifier());
    ASSERT_EQ(copiedPlan->column().first()->item().size(), 1);
    EXPECT_NE(copiedPlan->column().first()->item().first()->uniqueIdentifier(),
        plan->column().first()->item().first()->uniqueIdentifier());
    EXPECT_FALSE(plan->isExport());
    EXPECT_FALSE(copiedPlan->isExport());
}

TEST_F(SidebarEditingTest, ASnapshotHoldsTheWholeTreeInCompactBytes)
{
    Folder* work = build.addFolder(QStringLiteral("Work"));
    Kanban* plan = build.addBoard(QStringLiteral("Plan"), {QStringLiteral("To Do")}, work);
    Tag* tag = build.addTag(plan, QStringLiteral("work"));
    for (int i = 0; i < 50; ++i) {
        ListItem* card = build.addCard(plan->column().first(), {tag});
        card->setAttributedNotes(AttributedString(QStringLiteral("Card #work")));
        card->setDueDate(QDateTime(QDate(2024, 3, 5), QTime(17, 4, 9, 750), Qt::UTC));
        card->setPriority(true);
        card->setEventsArray(QStringList {QStringLiteral("event")});
    }
    // Values as the store gives them back.
    ASSERT_TRUE(store.context().save());
    ASSERT_TRUE(store.reopen());
    work = store.context()
               .fetchAs<Folder>(FetchRequest(QStringLiteral("Folder"),
                   [](const ManagedObject* object) {
                       return object->stringValue(QStringLiteral("title")) == QLatin1String("Work");
                   }))
               .value(0);
    ASSERT_NE(work, nullptr);

    const SidebarSnapshot snapshot = SidebarSnapshot::take(work);
    EXPECT_EQ(snapshot.parentIdentifier(), work->parent()->uniqueIdentifier());
    EXPECT_EQ(snapshot.position(), 0);
    EXPECT_LT(snapshot.byteSize(), 64 * 1024);
    const QString before = describeTree(work);
    store.context().deleteObject(work);
    EXPECT_EQ(describeTree(snapshot.remake(store.context())), before);
}
