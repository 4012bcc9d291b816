#include "Pelorins/board/MacKanbanColumnsViewController.h"
#include "Pelorins/card/ListItemCellView.h"
#include "Pelorins/card/NotesTextView.h"
#include "Pelorins/column/ColumnCollectionView.h"
#include "Pelorins/column/KanbanColumnContainerView.h"
#include "Pelorins/column/MacKanbanColumnController.h"
#include "PelorinsKit/board/KanbanColumnListItemsMover.h"
#include "PelorinsKit/model/DoneDate.h"
#include "PelorinsKit/model/Folder.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/model/Root.h"
#include "Platform/core/UndoManager.h"
#include "support/MainWindowFixture.h"
#include "support/QStringPrinting.h"

#include <QDateTime>
#include <QMimeData>
#include <QStringList>
#include <QTest>
#include <memory>

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
    // The same after the program saved, as it does on quitting. The framework's own saves, of
    // moves and marks, go to the program's shared store, which a test has not loaded.
    QStringList storedCardsOnQuitting()
    {
        assembly->appDelegate().saveAction(nullptr);
        return storedTitles(QStringLiteral("ListItem"));
    }
    Kanban* boardTitled(const QString& title)
    {
        for (Kanban* kanban : manager.context()->fetchAs<Kanban>(FetchRequest(QStringLiteral("Kanban"))))
            if (kanban->title() == title)
                return kanban;
        return nullptr;
    }
    static ListItem* cardTitled(const KanbanColumn* stage, const QString& title)
    {
        for (ListItem* card : stage->item())
            if (card->firstLineOfNotes() == title)
                return card;
        return nullptr;
    }
    // Undoes and redoes a road of steps on two boards, with the first board shown for the undoing
    // or with the second one left shown.
    void walkUndoAndRedo(bool undoOnAnotherBoard);
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

// The road across boards: a card marked done on one board, a card added and typed into and a card
// dragged on another, all undone, then all redone. Every step comes back, and the store holds
// what the window shows.
void WindowAndStoreAgreeTest::walkUndoAndRedo(bool undoOnAnotherBoard)
{
    assembly->appDelegate().importExamples(true);
    MainWindowController& window = openWindow();
    MacKanbanColumnsViewController* board = assembly->board();
    board->animator().setFinishesAtOnce(true);
    UndoManager& history = *window.undoManager();
    Kanban* welcome = boardTitled(QStringLiteral("Welcome to Pelorins"));
    Kanban* home = boardTitled(QStringLiteral("Home"));
    ASSERT_TRUE(welcome && home);
    ASSERT_EQ(home->column().size(), 2);
    KanbanColumn* thisWeek = home->column().at(0);
    KanbanColumn* later = home->column().at(1);
    const QStringList before = storedCardsOnQuitting();

    selectInSidebar(welcome);
    QApplication::processEvents();
    ListItem* links = cardTitled(welcome->column().at(2), QStringLiteral("Links"));
    ASSERT_NE(links, nullptr);
    board->flipDoneStatesOf({links});
    QApplication::processEvents();
    ASSERT_EQ(history.undoActionName(), QStringLiteral("Mark Done"));

    selectInSidebar(home);
    QApplication::processEvents();
    board->columnControllerFor(1)->addNewItem(1);
    QApplication::processEvents();
    // The new card's notes take the focus once it is in place.
    ASSERT_TRUE(QTest::qWaitFor([] { return qobject_cast<NotesTextView*>(QApplication::focusWidget()); }, 5000));
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("Across boards"));
    QApplication::processEvents();
    ASSERT_EQ(history.undoActionName(), QStringLiteral("Typing"));
    ASSERT_NE(cardTitled(later, QStringLiteral("Across boards")), nullptr);
    ListItem* hallway = cardTitled(later, QStringLiteral("Paint the hallway"));
    ASSERT_EQ(later->item().indexOf(hallway), 0);
    board->columnControllerFor(0)->itemsMover()->moveItems({{0, 0}}, {0, 0}, board->columnControllerFor(1));
    QApplication::processEvents();
    ASSERT_EQ(history.undoActionName(), QStringLiteral("Move Card"));
    ASSERT_EQ(storedCardsOnQuitting().size(), before.size() + 1);

    selectInSidebar(undoOnAnotherBoard ? welcome : home);
    QApplication::processEvents();
    const QStringList steps {"Move Card", "Typing", "Add Card", "Mark Done"};
    for (const QString& step : steps) {
        ASSERT_EQ(history.undoActionName(), step);
        history.undo();
        QApplication::processEvents();
        EXPECT_EQ(history.redoActionName(), step);
    }
    EXPECT_FALSE(history.canUndo());
    EXPECT_EQ(cardTitled(thisWeek, QStringLiteral("Paint the hallway")), nullptr);
    EXPECT_EQ(later->item().size(), 1);
    EXPECT_FALSE(links->done());
    EXPECT_EQ(storedCardsOnQuitting(), before);

    for (qsizetype i = steps.size() - 1; i >= 0; --i) {
        ASSERT_EQ(history.redoActionName(), steps.at(i));
        history.redo();
        QApplication::processEvents();
        EXPECT_EQ(history.undoActionName(), steps.at(i));
    }
    EXPECT_FALSE(history.canRedo());
    EXPECT_TRUE(links->done());
    ASSERT_NE(cardTitled(thisWeek, QStringLiteral("Paint the hallway")), nullptr);
    ListItem* across = cardTitled(later, QStringLiteral("Across boards"));
    ASSERT_NE(across, nullptr);
    EXPECT_EQ(later->item(), QList<ListItem*> {across});
    QStringList after = before;
    after.append(QStringLiteral("Across boards"));
    after.sort();
    EXPECT_EQ(storedCardsOnQuitting(), after);

    // Shown again, the board has the card where the store has it.
    selectInSidebar(home);
    QApplication::processEvents();
    EXPECT_EQ(board->columnControllerFor(1)->itemFor({0, 0}), across);
}

TEST_F(WindowAndStoreAgreeTest, UndoAndRedoWorkWhileAnotherBoardIsShown)
{
    walkUndoAndRedo(true);
}

TEST_F(WindowAndStoreAgreeTest, UndoAndRedoWorkOnTheBoardShown)
{
    walkUndoAndRedo(false);
}

// Cards dropped on a board's row in the sidebar move into that board: the board on screen shows
// them gone, with the day they were done on, or arrived, at once.
TEST_F(WindowAndStoreAgreeTest, CardsDroppedOnASidebarRowLeaveOrReachTheBoardOnScreen)
{
    StoreBuilder builder(*manager.context());
    Kanban* garden = builder.addBoard(QStringLiteral("Garden"), {QStringLiteral("Seeds"), QStringLiteral("Sown")});
    ListItem* sown = builder.addCard(garden->column().at(1));
    ListItem* done
        = builder.addDoneCard(garden, builder.addDoneGroup(garden, QDateTime::currentDateTime().addDays(-3)));
    ASSERT_TRUE(manager.saveContext());
    openWindow();
    selectInSidebar(garden);
    QApplication::processEvents();
    MacKanbanColumnsViewController* board = assembly->board();
    MacKanbanColumnController* doneColumn = board->columnControllerFor(2);
    ASSERT_NE(doneColumn->cellShowing(done), nullptr);
    const int daysShown = doneColumn->collectionView()->numberOfSections();
    const auto drop = [this](MacKanbanColumnController* column, ListItem* card, Kanban* on) {
        const std::optional<IndexPath> path = column->indexPathFor(card);
        ASSERT_TRUE(path);
        std::unique_ptr<QMimeData> data(column->mimeDataForItems(nullptr, {*path}));
        ASSERT_TRUE(assembly->sidebar()->acceptDrop(data.get(), nullptr, on, -1));
        QApplication::processEvents();
    };

    drop(doneColumn, done, chores);
    EXPECT_EQ(done->column(), chores->column().first());
    EXPECT_EQ(doneColumn->cellShowing(done), nullptr);
    EXPECT_EQ(doneColumn->collectionView()->numberOfSections(), daysShown - 1);

    drop(board->columnControllerFor(1), sown, garden);
    EXPECT_EQ(sown->column(), garden->column().at(0));
    EXPECT_NE(board->columnControllerFor(0)->cellShowing(sown), nullptr);
    EXPECT_EQ(board->columnControllerFor(1)->cellShowing(sown), nullptr);
    EXPECT_FALSE(manager.context()->hasChanges());
}
