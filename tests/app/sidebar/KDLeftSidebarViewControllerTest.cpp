#include "Pelorins/common/PelorinsMainWindow.h"
#include "Pelorins/sidebar/KDLeftSidebarViewController.h"
#include "Pelorins/sidebar/SourceOutlineView.h"
#include "Pelorins/sidebar/SourceTreeModel.h"
#include "PelorinsKit/model/Folder.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/model/NotificationName.h"
#include "PelorinsKit/model/Root.h"
#include "Platform/core/NotificationCenter.h"
#include "Platform/core/UserDefaults.h"
#include "support/StoreBuilder.h"
#include "support/TestStore.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace {

const QString lastSelected = KDLeftSidebarViewController::lastSelectedSourceItemKey;

// A main window as the sidebar sees it.
class FakeMainWindow : public QWidget, public PelorinsMainWindow
{
public:
    DisplayItem* currentDisplayItem() const override { return m_current; }
    QWidget* window() const override { return const_cast<FakeMainWindow*>(this); }
    void setCurrentDisplayItem(DisplayItem* item) override
    {
        if (m_current)
            m_current->setExport(false);
        m_current = item;
    }
    void setColour(int) override { }

private:
    DisplayItem* m_current = nullptr;
};

class SidebarTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(store.isOpen()) << store.error().toStdString(); }

    // The sidebar over what the test built, as it loads; `appear` runs its first appearance.
    KDLeftSidebarViewController& makeSidebar(bool appear = true)
    {
        build.root();
        sidebar = std::make_unique<KDLeftSidebarViewController>(&store.context(), defaults, [this] { ++saves; });
        QObject::connect(
            sidebar.get(), &KDLeftSidebarViewController::boardShown, [this](Kanban* kanban) { shown.append(kanban); });
        QObject::connect(sidebar.get(), &KDLeftSidebarViewController::cardRevealRequested,
            [this](ListItem* card) { revealed.append(card); });
        if (appear)
            sidebar->viewDidAppear();
        return *sidebar;
    }
    SourceOutlineView& outline() { return *sidebar->outlineView(); }
    DisplayItem* selectedItem()
    {
        return sidebar->model()->itemForIndex(outline().indexAtRow(outline().selectedRow()));
    }
    void clickRow(DisplayItem* item)
    {
        outline().selectRow(outline().rowForIndex(sidebar->model()->indexForItem(item)), false);
    }

    TestStore store;
    StoreBuilder build {store.context()};
    QTemporaryDir folder;
    UserDefaults defaults {folder.filePath(QStringLiteral("defaults.conf"))};
    std::unique_ptr<KDLeftSidebarViewController> sidebar;
    int saves = 0;
    QList<Kanban*> shown;
    QList<ListItem*> revealed;
};

} // namespace

TEST_F(SidebarTest, SelectingABoardShowsItMarksItForExportRemembersItsRowAndSaves)
{
    Folder* work = build.addFolder(QStringLiteral("Work"));
    Kanban* plan = build.addBoard(QStringLiteral("Plan"), {}, work);
    Kanban* home = build.addBoard(QStringLiteral("Home"));
    work->setExpanded(true);
    FakeMainWindow window;
    makeSidebar();
    sidebar->setParent(&window);
    shown.clear();
    saves = 0;

    clickRow(plan);
    EXPECT_EQ(shown, QList<Kanban*> {plan});
    EXPECT_TRUE(plan->isExport());
    EXPECT_EQ(defaults.integerForKey(lastSelected), 1);
    EXPECT_EQ(saves, 1);
    EXPECT_EQ(window.currentDisplayItem(), plan);

    clickRow(home);
    EXPECT_EQ(defaults.integerForKey(lastSelected), 2);
    EXPECT_FALSE(plan->isExport());
    EXPECT_TRUE(home->isExport());

    // A folder is marked and saved, but the board stays and its row is still the one remembered.
    clickRow(work);
    EXPECT_EQ(shown, (QList<Kanban*> {plan, home}));
    EXPECT_TRUE(work->isExport());
    EXPECT_EQ(saves, 3);
    EXPECT_EQ(defaults.integerForKey(lastSelected), 2);
    sidebar->setParent(nullptr);
}

TEST_F(SidebarTest, FirstAppearanceRestoresOpenFoldersAndTheLastBoard)
{
    Folder* work = build.addFolder(QStringLiteral("Work"));
    Folder* inner = build.addFolder(QStringLiteral("Inner"), work);
    build.addBoard(QStringLiteral("Plan"), {}, work);
    Kanban* deep = build.addBoard(QStringLiteral("Deep"), {}, inner);
    work->setExpanded(true);
    inner->setExpanded(true);
    defaults.setValue(lastSelected, 2);
    makeSidebar();

    EXPECT_TRUE(outline().isExpanded(sidebar->model()->indexForItem(work)));
    EXPECT_TRUE(outline().isExpanded(sidebar->model()->indexForItem(inner)));
    EXPECT_EQ(selectedItem(), deep);
    EXPECT_EQ(shown, QList<Kanban*> {deep});
    EXPECT_TRUE(deep->isExport());

    // Only the first appearance restores.
    outline().clearSelection();
    sidebar->viewDidAppear();
    EXPECT_EQ(shown.size(), 1);
}

TEST_F(SidebarTest, TheBoardShownLastComesBackAfterFoldersOpenedAndClosed)
{
    Folder* archive = build.addFolder(QStringLiteral("Archive"));
    build.addBoard(QStringLiteral("Old"), {}, archive);
    build.addBoard(QStringLiteral("Older"), {}, archive);
    Folder* work = build.addFolder(QStringLiteral("Work"));
    Kanban* plan = build.addBoard(QStringLiteral("Plan"), {}, work);
    build.addBoard(QStringLiteral("Home"));
    archive->setExpanded(true);
    work->setExpanded(true);
    makeSidebar();
    clickRow(plan);
    ASSERT_EQ(defaults.integerForKey(lastSelected), 4);

    // The rows above move, and the board's own folder is closed before quitting.
    outline().collapse(sidebar->model()->indexForItem(archive));
    outline().collapse(sidebar->model()->indexForItem(work));
    sidebar.reset();
    shown.clear();
    makeSidebar();
    EXPECT_EQ(selectedItem(), plan);
    EXPECT_EQ(shown, QList<Kanban*> {plan});
    EXPECT_EQ(defaults.integerForKey(lastSelected), 2);

    // A board that is gone leaves the row to decide.
    store.context().deleteObject(plan);
    defaults.setValue(lastSelected, 0);
    sidebar.reset();
    makeSidebar();
    EXPECT_EQ(selectedItem(), archive);
}

TEST_F(SidebarTest, LaunchOnAFolderRowSelectsItAndShowsNoBoard)
{
    Folder* work = build.addFolder(QStringLiteral("Work"));
    build.addBoard(QStringLiteral("Plan"), {}, work);
    makeSidebar();
    EXPECT_EQ(selectedItem(), work);
    EXPECT_TRUE(shown.isEmpty());
    EXPECT_EQ(defaults.integerForKey(lastSelected), 0);
}

TEST_F(SidebarTest, AFolderOpenedInsideAClosedOneIsKeptClosed)
{
    Folder* outer = build.addFolder(QStringLiteral("Outer"));
    Folder* inner = build.addFolder(QStringLiteral("Inner"), outer);
    build.addBoard(QStringLiteral("Plan"), {}, inner);
    inner->setExpanded(true);
    makeSidebar();

    // Restoring opened it under its closed parent, which stores it closed.
    EXPECT_FALSE(inner->expanded());
    outline().expand(sidebar->model()->indexForItem(outer));
    EXPECT_TRUE(outer->expanded());
    outline().collapse(sidebar->model()->indexForItem(inner));
    outline().expand(sidebar->model()->indexForItem(inner));
    EXPECT_TRUE(inner->expanded());
    outline().collapse(sidebar->model()->indexForItem(outer));
    EXPECT_FALSE(outer->expanded());
    EXPECT_TRUE(inner->expanded());
}

TEST_F(SidebarTest, DeletingTheSelectedLastRowSelectsAndShowsTheRowAbove)
{
    Kanban* plan = build.addBoard(QStringLiteral("Plan"));
    Kanban* home = build.addBoard(QStringLiteral("Home"));
    makeSidebar();
    clickRow(home);
    shown.clear();

    store.context().deleteObject(home);
    QCoreApplication::processEvents();
    EXPECT_EQ(selectedItem(), plan);
    EXPECT_EQ(shown, QList<Kanban*> {plan});
    EXPECT_EQ(defaults.integerForKey(lastSelected), 0);
}

TEST_F(SidebarTest, DeletingASelectedMiddleRowSelectsTheNextRowQuietly)
{
    build.addBoard(QStringLiteral("Plan"));
    Kanban* ship = build.addBoard(QStringLiteral("Ship"));
    Kanban* home = build.addBoard(QStringLiteral("Home"));
    makeSidebar();
    clickRow(ship);
    shown.clear();

    store.context().deleteObject(ship);
    QCoreApplication::processEvents();
    EXPECT_EQ(selectedItem(), home);
    EXPECT_TRUE(shown.isEmpty());
    // The next click is a normal one.
    clickRow(build.root()->children().first());
    EXPECT_EQ(shown.size(), 1);
}

TEST_F(SidebarTest, RowsAboveTheSelectionComingAndGoingKeepTheSelectedItem)
{
    Kanban* plan = build.addBoard(QStringLiteral("Plan"));
    Kanban* home = build.addBoard(QStringLiteral("Home"));
    makeSidebar();
    clickRow(home);
    shown.clear();

    store.context().deleteObject(plan);
    build.addFolder(QStringLiteral("Work"))->setParent(build.root());
    build.root()->setChildren({build.root()->children().last(), home});
    QCoreApplication::processEvents();
    sidebar->refreshListWhileKeepingSelection();
    EXPECT_EQ(selectedItem(), home);
    EXPECT_TRUE(shown.isEmpty());
}

TEST_F(SidebarTest, ACardLinkSelectsItsBoardOpeningTheClosedFoldersOnTheWay)
{
    Folder* outer = build.addFolder(QStringLiteral("Outer"));
    Folder* inner = build.addFolder(QStringLiteral("Inner"), outer);
    build.addBoard(QStringLiteral("Plan"), {}, outer);
    Kanban* deep = build.addBoard(QStringLiteral("Deep"), {QStringLiteral("To Do")}, inner);
    Kanban* home = build.addBoard(QStringLiteral("Home"));
    ListItem* open = build.addCard(deep->column().first());
    ListItem* done = build.addCard(home->mainColumn());
    makeSidebar();
    shown.clear();

    NotificationCenter::shared().post(
        NotificationName::cardURLReceived, nullptr, {{QStringLiteral("listItem"), QVariant::fromValue(open)}});
    EXPECT_TRUE(outline().isExpanded(sidebar->model()->indexForItem(outer)));
    EXPECT_TRUE(outline().isExpanded(sidebar->model()->indexForItem(inner)));
    EXPECT_TRUE(inner->expanded());
    EXPECT_EQ(selectedItem(), deep);
    EXPECT_EQ(outline().selectionModel()->selectedRows().size(), 1);
    EXPECT_EQ(shown, QList<Kanban*> {deep});
    EXPECT_EQ(revealed, QList<ListItem*> {open});

    // A card of a done column belongs to the column's board.
    NotificationCenter::shared().post(
        NotificationName::cardURLReceived, nullptr, {{QStringLiteral("listItem"), QVariant::fromValue(done)}});
    EXPECT_EQ(selectedItem(), home);
    EXPECT_EQ(revealed, (QList<ListItem*> {open, done}));
}

TEST_F(SidebarTest, ACardLinkWithoutACardOrAColumnChangesNothing)
{
    Kanban* plan = build.addBoard(QStringLiteral("Plan"));
    ListItem* loose = build.addCard(plan->column().first());
    loose->setColumn(nullptr);
    makeSidebar();
    shown.clear();
    const int savesBefore = saves;

    NotificationCenter::shared().post(NotificationName::cardURLReceived, nullptr, {});
    NotificationCenter::shared().post(
        NotificationName::cardURLReceived, nullptr, {{QStringLiteral("listItem"), QStringLiteral("pelorins://x")}});
    NotificationCenter::shared().post(
        NotificationName::cardURLReceived, nullptr, {{QStringLiteral("listItem"), QVariant::fromValue(loose)}});
    EXPECT_TRUE(shown.isEmpty());
    EXPECT_TRUE(revealed.isEmpty());
    EXPECT_EQ(saves, savesBefore);
}

TEST_F(SidebarTest, WithoutARootTheTreeIsEmpty)
{
    KDLeftSidebarViewController empty(&store.context(), defaults, [] {});
    empty.viewDidAppear();
    EXPECT_EQ(empty.rootObject(), nullptr);
    EXPECT_EQ(empty.outlineView()->numberOfRows(), 0);

    // The first import makes the root: the refresh that follows it shows what came in.
    Kanban* imported = build.addBoard(QStringLiteral("Imported"));
    empty.refreshListWhileKeepingSelection();
    EXPECT_EQ(empty.rootObject(), build.root());
    EXPECT_EQ(empty.outlineView()->numberOfRows(), 1);
    EXPECT_EQ(empty.model()->itemForIndex(empty.outlineView()->indexAtRow(0)), imported);
}
