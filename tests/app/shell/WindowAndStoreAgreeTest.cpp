#include "Pelorins/board/MacKanbanColumnsViewController.h"
#include "Pelorins/column/KanbanColumnContainerView.h"
#include "Pelorins/column/MacKanbanColumnController.h"
#include "PelorinsKit/model/DoneDate.h"
#include "PelorinsKit/model/Folder.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/model/ListItem.h"
#include "Platform/core/UndoManager.h"
#include "support/MainWindowFixture.h"
#include "support/QStringPrinting.h"

#include <QDateTime>
#include <QStringList>

namespace {

// What a user sees, undoes and finds again after a restart agree: the window never shows a
// deleted board, and a change is saved whole.
class WindowAndStoreAgreeTest : public MainWindowFixture
{
protected:
    // What a restart finds in the store file, read by a second manager: the titles of its boards
    // ("Kanban") or the first lines of its cards not deleted ("ListItem"), sorted.
    QStringList storedTitles(const QString& entityName)
    {
        CoreDataManager restarted(std::make_shared<CoreDataMigrator>());
        restarted.setup([] {}, [](const StoreError&) {});
        if (!restarted.context())
            return {QStringLiteral("(store not loaded)")};
        QStringList titles;
        for (ManagedObject* object : restarted.context()->fetch(FetchRequest(entityName))) {
            if (auto* kanban = dynamic_cast<Kanban*>(object))
                titles.append(kanban->title());
            else if (auto* card = dynamic_cast<ListItem*>(object); card && !card->toBeDeleted())
                titles.append(card->firstLineOfNotes());
        }
        titles.sort();
        return titles;
    }
    // Whether the board pane shows any column.
    bool showsColumns()
    {
        for (MacKanbanColumnController* column : assembly->board()->columnControllers())
            if (column->containerView()->isVisibleTo(assembly->board()))
                return true;
        return false;
    }
};

} // namespace

// The board on screen goes with its row or with the folder around it: the pane lets go of it,
// so nothing typed lands in a deleted card, and its undo brings the board back to its row.
TEST_F(WindowAndStoreAgreeTest, ADeletedBoardLeavesTheWindow)
{
    StoreBuilder builder(*manager.context());
    Folder* work = builder.addFolder(QStringLiteral("Work"));
    Kanban* garden = builder.addBoard(QStringLiteral("Garden"), {QStringLiteral("Seeds")}, work);
    builder.addFolder(QStringLiteral("Personal"));
    builder.addCard(chores->column().first());
    builder.addCard(garden->column().first());
    ASSERT_TRUE(manager.saveContext());
    MainWindowController& window = openWindow();
    KDLeftSidebarViewController* sidebar = assembly->sidebar();
    sidebar->outlineView()->expand(sidebar->model()->indexForItem(work));

    // Chores has the folder Work after it, Garden has Personal after its folder: a folder row
    // takes the selection each time.
    const QList<std::pair<Kanban*, DisplayItem*>> deletions {{chores, chores}, {garden, work}};
    for (const auto& [shown, deleted] : deletions) {
        SCOPED_TRACE(shown->title().toStdString());
        selectInSidebar(shown);
        ASSERT_EQ(assembly->board()->kanban(), shown);
        ASSERT_TRUE(showsColumns());

        alerts.enqueueAnswer(0);
        sidebar->confirmDelete({deleted});
        QApplication::processEvents();
        ASSERT_TRUE(shown->isDeleted());
        SourceOutlineView* outline = sidebar->outlineView();
        EXPECT_TRUE(dynamic_cast<Folder*>(sidebar->model()->itemForIndex(outline->indexAtRow(outline->selectedRow()))));
        EXPECT_EQ(assembly->board()->kanban(), nullptr);
        EXPECT_FALSE(showsColumns());
        EXPECT_EQ(window.windowTitle(), QStringLiteral("Pelorins"));
        EXPECT_FALSE(manager.context()->hasChanges());

        // The board comes back to its row; the folder row stays the selection, so the pane stays
        // empty until the board is chosen again, and then shows the board as it was.
        window.undoManager()->undo();
        QApplication::processEvents();
        EXPECT_EQ(assembly->board()->kanban(), nullptr);
        EXPECT_FALSE(showsColumns());
        EXPECT_EQ(storedTitles(QStringLiteral("Kanban")), (QStringList {"Chores", "Garden", "Plans"}));
        Kanban* back = nullptr;
        for (Kanban* kanban : manager.context()->fetchAs<Kanban>(FetchRequest(QStringLiteral("Kanban"))))
            if (kanban->title() == shown->title())
                back = kanban;
        ASSERT_NE(back, nullptr);
        if (auto* folder = dynamic_cast<Folder*>(back->parent()))
            sidebar->outlineView()->expand(sidebar->model()->indexForItem(folder));
        selectInSidebar(back);
        EXPECT_EQ(assembly->board()->kanban(), back);
        EXPECT_TRUE(showsColumns());
        EXPECT_EQ(window.windowTitle(), back->title());
    }
}

// Several items deleted together, the board on screen among them: one change, saved once after
// every item is gone, whatever the day groups of the boards hold.
TEST_F(WindowAndStoreAgreeTest, DeletingSeveralItemsWithTheShownBoardSavesOnce)
{
    StoreBuilder builder(*manager.context());
    const QDateTime day = QDateTime::currentDateTime().addDays(-3);
    for (Kanban* kanban : {plans, chores})
        builder.addDoneCard(kanban, builder.addDoneGroup(kanban, day));
    Folder* personal = builder.addFolder(QStringLiteral("Personal"));
    Kanban* moving = builder.addBoard(QStringLiteral("Moving House"), {QStringLiteral("Before")}, personal);
    builder.addDoneCard(moving, builder.addDoneGroup(moving, day));
    ASSERT_TRUE(manager.saveContext());
    MainWindowController& window = openWindow();
    assembly->sidebar()->outlineView()->expand(assembly->sidebar()->model()->indexForItem(personal));
    selectInSidebar(chores);
    ASSERT_EQ(assembly->board()->kanban(), chores);
    SourceOutlineView* outline = assembly->sidebar()->outlineView();
    outline->selectRow(outline->rowForIndex(assembly->sidebar()->model()->indexForItem(moving)), true);
    ASSERT_EQ(outline->selectedRows().size(), 2);

    alerts.enqueueAnswer(0);
    assembly->sidebar()->deleteSelectedItems();
    QApplication::processEvents();
    // The confirmation is the one alert: no save failed on the way.
    ASSERT_EQ(alerts.alerts().size(), 1);
    EXPECT_TRUE(chores->isDeleted());
    EXPECT_TRUE(moving->isDeleted());
    EXPECT_FALSE(manager.context()->hasChanges());
    EXPECT_EQ(storedTitles(QStringLiteral("Kanban")), QStringList {"Plans"});
    EXPECT_EQ(window.undoManager()->undoActionName(), QStringLiteral("Delete Item"));

    window.undoManager()->undo();
    QApplication::processEvents();
    EXPECT_EQ(alerts.alerts().size(), 1);
    EXPECT_EQ(storedTitles(QStringLiteral("Kanban")), (QStringList {"Chores", "Moving House", "Plans"}));
}
