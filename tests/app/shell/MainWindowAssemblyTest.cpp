#include "Pelorins/common/MainWindowActions.h"
#include "Pelorins/shell/MainWindowAssembly.h"
#include "Pelorins/archive/ImportExportViewController.h"
#include "Pelorins/board/EditingTextField.h"
#include "Pelorins/board/FilterViewController.h"
#include "Pelorins/board/MacKanbanColumnsViewController.h"
#include "Pelorins/card/CardNotesUndo.h"
#include "Pelorins/card/ListItemCellView.h"
#include "Pelorins/card/NotesTextView.h"
#include "Pelorins/column/ColumnCollectionView.h"
#include "Pelorins/column/KanbanColumnContainerView.h"
#include "Pelorins/column/KanbanColumnScrollview.h"
#include "Pelorins/column/ListItemHeaderCellView.h"
#include "Pelorins/column/MacKanbanColumnController.h"
#include "Pelorins/shell/AppDelegate.h"
#include "Pelorins/shell/MainSplitViewController.h"
#include "Pelorins/shell/MainWindowController.h"
#include "Pelorins/sidebar/KDLeftSidebarViewController.h"
#include "Pelorins/sidebar/ProjectRecoveryViewController.h"
#include "Pelorins/sidebar/SourceOutlineView.h"
#include "Pelorins/sidebar/SourceTreeModel.h"
#include "PelorinsKit/board/DoneItemsMover.h"
#include "PelorinsKit/board/KanbanColumnListItemsMover.h"
#include "PelorinsKit/model/DoneDate.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/model/NotificationName.h"
#include "PelorinsKit/model/Root.h"
#include "PelorinsKit/model/Tag.h"
#include "PelorinsKit/notes/NoteTextConventions.h"
#include "PelorinsKit/store/CoreDataManager.h"
#include "PelorinsKit/store/CoreDataMigrator.h"
#include "Platform/core/DataFolders.h"
#include "Platform/core/NotificationCenter.h"
#include "Platform/core/UndoManager.h"
#include "Platform/core/UserDefaults.h"
#include "Platform/services/PackageManagerUpdater.h"
#include "Platform/widgets/ScriptedAlertPresenter.h"
#include "Platform/widgets/ScriptedFilePanelPresenter.h"
#include "support/FakeBoardPane.h"
#include "support/FakeCalendarStore.h"
#include "support/MainWindowFixture.h"
#include "support/QStringPrinting.h"
#include "support/StoreBuilder.h"

#include <QApplication>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

namespace A = MainWindowActions;

namespace {

class MainWindowAssemblyTest : public MainWindowFixture
{
protected:
    // Opens the preferences from the File menu and puts them in front of the main window.
    QWidget& openPreferences(MainWindowController& window)
    {
        menuItem(window, QStringLiteral("Preferences…"))->trigger();
        QWidget* preferences = nullptr;
        for (QWidget* topLevel : QApplication::topLevelWidgets()) {
            if (topLevel->objectName() == QLatin1String("preferencesWindow"))
                preferences = topLevel;
        }
        EXPECT_NE(preferences, nullptr);
        QApplication::setActiveWindow(preferences);
        QApplication::processEvents();
        return *preferences;
    }
};

} // namespace

TEST_F(MainWindowAssemblyTest, TheWindowHoldsTheSidebarAndItsOwnHistory)
{
    MainWindowController& window = openWindow();
    EXPECT_EQ(assembly->appDelegate().mainWindowController(), &window);
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.undoManager()->parent(), &window);
    EXPECT_EQ(assembly->router().applicationResponder(), &assembly->appDelegate());

    MainSplitViewController* split = assembly->splitView();
    ASSERT_EQ(split, window.splitViewController());
    ASSERT_NE(assembly->sidebar(), nullptr);
    EXPECT_EQ(split->sidebarViewController(), assembly->sidebar());
    EXPECT_EQ(split->widget(0), assembly->sidebar());
    EXPECT_EQ(assembly->sidebar()->rootObject(), manager.getRootObject(false));
}

// On a first launch the window takes the width that shows the sidebar and every column of the
// board it opens with, as far as the screen's free area allows, its frame and title bar inside
// that area (the ctest case FirstWindow.OnVirtualDisplay runs this on a screen wide enough,
// FirstWindow.UnderWindowManager on a small one with a frame around the window and a panel).
TEST_F(MainWindowAssemblyTest, TheFirstWindowShowsTheWholeFirstBoardWhereTheScreenAllows)
{
    StoreBuilder builder(*manager.context());
    Kanban* first = builder.addBoard(
        QStringLiteral("Aardvark"), {QStringLiteral("To Do"), QStringLiteral("Doing"), QStringLiteral("Waiting")});
    ASSERT_TRUE(manager.saveContext());
    defaults.setValue(KDLeftSidebarViewController::lastSelectedBoardIdentifierKey, first->uniqueIdentifier());
    MainWindowController& window = openWindow();
    QApplication::processEvents();
    MacKanbanColumnsViewController* board = assembly->board();
    ASSERT_TRUE(board->kanban());
    ASSERT_EQ(board->kanban()->title(), QStringLiteral("Aardvark"));
    const QRect screen = window.screen()->availableGeometry();
    // The desktop's frame is known once the window is on screen; the window fits itself to it then.
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_TRUE(QTest::qWaitFor([&] { return screen.contains(window.frameGeometry()); }, 5000))
        << "inside the screen's free area: " << window.frameGeometry().x() << ", " << window.frameGeometry().y() << " "
        << window.frameGeometry().width() << " x " << window.frameGeometry().height();
    const int needed = window.width() - board->width() + board->wholeBoardWidth();
    if (needed <= screen.width()) {
        EXPECT_EQ(board->scrollView()->horizontalScrollBar()->maximum(), 0) << "every column shows";
        EXPECT_EQ(board->scrollView()->viewport()->width(), board->wholeBoardWidth());
        EXPECT_GE(window.width(), 1200);
    } else {
        EXPECT_EQ(window.frameGeometry().width(), screen.width()) << "as wide as the screen allows";
    }
}

TEST_F(MainWindowAssemblyTest, ABoardChosenInTheSidebarReachesTheBoardPaneAndIsSaved)
{
    MainWindowController& window = openWindow();
    FakeBoardPane board(&assembly->router());
    assembly->splitView()->setKanbanColumnsViewController(&board);

    selectInSidebar(chores);
    EXPECT_EQ(board.kanban(), chores);
    EXPECT_EQ(board.splitView, assembly->splitView());
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Chores"));
    // The export mark that showing sets is saved through the delegate.
    EXPECT_TRUE(chores->isExport());
    EXPECT_FALSE(manager.context()->hasChanges());

    // Another board empties the window's search field along with the board's search.
    window.searchField()->setText(QStringLiteral("milk"));
    board.setSearchTerm(QStringLiteral("milk"));
    selectInSidebar(plans);
    EXPECT_EQ(board.kanban(), plans);
    EXPECT_EQ(window.searchField()->text(), QString());
    EXPECT_EQ(board.searchTerm(), std::nullopt);
}

TEST_F(MainWindowAssemblyTest, TheBoardShowsTheChosenBoardAndRevealsALinkedCard)
{
    StoreBuilder builder(*manager.context());
    ListItem* card = builder.addCard(plans->column().first());
    Tag* tag = builder.addTag(chores, QStringLiteral("urgent"));
    MainWindowController& window = openWindow();
    MacKanbanColumnsViewController* board = assembly->board();
    ASSERT_NE(board, nullptr);
    EXPECT_EQ(assembly->splitView()->kanbanColumnsViewController(), board);
    EXPECT_EQ(assembly->splitView()->widget(1), board);

    selectInSidebar(chores);
    ASSERT_EQ(board->kanban(), chores);
    EXPECT_EQ(board->columnControllers().size(), chores->column().size() + 1);
    board->setTagFilter(QList<Tag*> {tag});
    EXPECT_TRUE(window.tagsButton()->isChecked());

    // A card link shows the card's board, which selects the card.
    NotificationCenter::shared().post(
        NotificationName::cardURLReceived, nullptr, {{QStringLiteral("listItem"), QVariant::fromValue(card)}});
    EXPECT_EQ(board->kanban(), plans);
    EXPECT_FALSE(window.tagsButton()->isChecked());
    EXPECT_EQ(board->columnControllerFor(0)->collectionView()->selectionIndexPaths(), (QSet<IndexPath> {{0, 0}}));
}

// A board driven through the window: the View menu's layouts and zoom, Ctrl+J, the search field.
TEST_F(MainWindowAssemblyTest, TheWindowsMenusKeysAndSearchFieldActOnTheShownBoard)
{
    StoreBuilder builder(*manager.context());
    Kanban* garden = builder.addBoard(QStringLiteral("Garden"),
        {QStringLiteral("Seeds"), QStringLiteral("Sown"), QStringLiteral("Sprouted"), QStringLiteral("Planted"),
            QStringLiteral("Grown"), QStringLiteral("Picked")});
    for (KanbanColumn* stage : garden->column()) {
        for (const QString& plant : {QStringLiteral("tomato"), QStringLiteral("bean")}) {
            ListItem* card = builder.addCard(stage);
            card->setAttributedNotes(AttributedString(stage->title() + u' ' + plant, normalAttributes()));
        }
    }
    garden->column().at(5)->setBookmarked(true);
    MainWindowController& window = openWindow();
    window.resize(1200, 800);
    MacKanbanColumnsViewController* board = assembly->board();
    board->animator().setFinishesAtOnce(true);
    selectInSidebar(garden);
    QApplication::processEvents();
    ASSERT_TRUE(board->viewAsMultiColumn());
    const auto visibleColumns = [board] {
        int visible = 0;
        for (MacKanbanColumnController* column : board->columnControllers())
            visible += column->containerView()->isVisibleTo(board);
        return visible;
    };
    EXPECT_EQ(visibleColumns(), 7);

    choose(window, QStringLiteral("View as Single Column"));
    EXPECT_FALSE(board->viewAsMultiColumn());
    EXPECT_EQ(visibleColumns(), 1);
    EXPECT_EQ(board->scrollView()->width(), 300);
    choose(window, QStringLiteral("View as Multiple Columns"));
    EXPECT_TRUE(board->viewAsMultiColumn());
    EXPECT_EQ(visibleColumns(), 7);

    // Ctrl+J brings the bookmarked stage, past the window's right edge, into view.
    QScrollBar* sideways = board->scrollView()->horizontalScrollBar();
    sideways->setValue(0);
    const QRect picked = board->columnControllerFor(5)->containerView()->geometry();
    ASSERT_GT(picked.right(), board->scrollView()->viewport()->width());
    QTest::keyClick(&window, Qt::Key_J, Qt::ControlModifier);
    QApplication::processEvents();
    EXPECT_GE(picked.left(), sideways->value());
    EXPECT_LE(picked.right(), sideways->value() + board->scrollView()->viewport()->width());

    // The search applies after the typing pause and counts what it keeps.
    const auto countOf
        = [board](int section) { return board->columnControllerFor(section)->topHeaderView()->rightLabel(); };
    EXPECT_EQ(countOf(0), QStringLiteral("2 cards"));
    QTest::keyClicks(window.searchField(), QStringLiteral("tomato"));
    EXPECT_EQ(board->searchTerm(), std::nullopt);
    EXPECT_TRUE(QTest::qWaitFor([&] { return countOf(0) == QStringLiteral("1/2 cards"); }, 30000));
    EXPECT_EQ(countOf(4), QStringLiteral("1/2 cards"));
    window.searchField()->clear();
    EXPECT_EQ(countOf(0), QStringLiteral("2 cards"));

    choose(window, QStringLiteral("75%"));
    for (MacKanbanColumnController* column : board->columnControllers())
        EXPECT_EQ(column->scrollView()->magnification(), 0.75);
    board->layoutDocumentIfNeeded();
    EXPECT_EQ(board->columnControllerFor(1)->containerView()->geometry(),
        QRect(225, 0, 225, board->documentView()->height()));
    choose(window, QStringLiteral("100%"));
    EXPECT_EQ(board->columnControllerFor(0)->scrollView()->magnification(), 1.0);
}

TEST_F(MainWindowAssemblyTest, TheSidebarButtonsTooltipFollowsTheSidebar)
{
    MainWindowController& window = openWindow();
    MainSplitViewController* split = assembly->splitView();
    ASSERT_FALSE(split->isSidebarCollapsed());
    EXPECT_EQ(window.sidebarButton()->toolTip(), QStringLiteral("Hide Sidebar"));
    window.sidebarButton()->click();
    EXPECT_TRUE(split->isSidebarCollapsed());
    EXPECT_EQ(window.sidebarButton()->toolTip(), QStringLiteral("Show Sidebar"));
    split->toggleSidebar();
    EXPECT_EQ(window.sidebarButton()->toolTip(), QStringLiteral("Hide Sidebar"));
}

TEST_F(MainWindowAssemblyTest, ExampleProjectsAreImportedIntoTheSidebar)
{
    MainWindowController& window = openWindow();
    const int rowsBefore = assembly->sidebar()->outlineView()->numberOfRows();
    ASSERT_TRUE(assembly->router().send(A::addExampleProjects, nullptr, assembly->splitView()));
    EXPECT_GT(manager.getRootObject(false)->children().size(), 2);
    EXPECT_GT(assembly->sidebar()->outlineView()->numberOfRows(), rowsBefore);
    EXPECT_TRUE(window.isVisible());
}

TEST_F(MainWindowAssemblyTest, AnArchiveImportedFromTheFileMenuShowsInTheSidebar)
{
    MainWindowController& window = openWindow();
    const int rowsBefore = assembly->sidebar()->outlineView()->numberOfRows();
    filePanels.enqueueOpenAnswer(
        QStringLiteral(PELORINS_TESTS_DIR "/kit/archive/data/CompatibilityArchive/archive.Pelorins"));
    choose(window, QStringLiteral("Import…"));
    auto* sheet = window.findChild<ImportExportViewController*>();
    ASSERT_NE(sheet, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([sheet] { return !sheet->isReading(); }, 20000));
    QApplication::processEvents();
    sheet->mainButton()->click();
    EXPECT_EQ(manager.getRootObject(false)->children().size(), 3);
    EXPECT_GT(assembly->sidebar()->outlineView()->numberOfRows(), rowsBefore);
}

TEST_F(MainWindowAssemblyTest, TheProgramsMenuItemsReachTheDelegate)
{
    MainWindowController& window = openWindow();
    for (const char* title : {"Save", "Preferences…", "Quit Pelorins", "Pelorins Support", "Reset Button Tutorials"})
        ASSERT_NE(menuItem(window, QString::fromUtf8(title)), nullptr) << title;

    menuItem(window, QStringLiteral("Pelorins Support"))->trigger();
    EXPECT_EQ(openedPages, QList<QUrl> {QUrl(QLatin1String(AppDelegate::supportPageAddress))});

    defaults.setValue(QStringLiteral("tutorialShownStep1"), true);
    menuItem(window, QStringLiteral("Reset Button Tutorials"))->trigger();
    EXPECT_FALSE(defaults.boolForKey(QStringLiteral("tutorialShownStep1")));

    plans->setTitle(QStringLiteral("Plans for May"));
    menuItem(window, QStringLiteral("Save"))->trigger();
    EXPECT_FALSE(manager.context()->hasChanges());

    EXPECT_TRUE(openPreferences(window).isVisible());

    QList<int> exitCodes;
    QObject::connect(
        &assembly->appDelegate(), &AppDelegate::terminationRequested, [&](int code) { exitCodes << code; });
    menuItem(window, QStringLiteral("Quit Pelorins"))->trigger();
    EXPECT_EQ(exitCodes, QList<int> {0});
}

TEST_F(MainWindowAssemblyTest, QuitAndCloseWindowWorkWhileThePreferencesAreInFront)
{
    MainWindowController& window = openWindow();
    QList<int> exitCodes;
    QObject::connect(
        &assembly->appDelegate(), &AppDelegate::terminationRequested, [&](int code) { exitCodes << code; });

    QWidget& preferences = openPreferences(window);
    ASSERT_EQ(QApplication::activeWindow(), &preferences);
    QTest::keyClick(&preferences, Qt::Key_W, Qt::ControlModifier);
    EXPECT_FALSE(preferences.isVisible());
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(exitCodes.isEmpty());

    openPreferences(window);
    QTest::keyClick(&preferences, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(exitCodes, QList<int> {0});
}

TEST_F(MainWindowAssemblyTest, TheMainWindowsButtonsAndMenusActOnItWhileThePreferencesAreInFront)
{
    MainWindowController& window = openWindow();
    MainSplitViewController* split = assembly->splitView();
    openPreferences(window);
    ASSERT_FALSE(split->isSidebarCollapsed());

    window.sidebarButton()->click();
    EXPECT_TRUE(split->isSidebarCollapsed());
    window.menuAction(A::showHideSidebar)->trigger();
    EXPECT_FALSE(split->isSidebarCollapsed());
}

TEST_F(MainWindowAssemblyTest, TheSidebarAsksThroughTheAlertsAndUndoesThroughTheWindow)
{
    MainWindowController& window = openWindow();
    KDLeftSidebarViewController* sidebar = assembly->sidebar();
    alerts.enqueueAnswer(0);
    sidebar->confirmDelete({plans});
    ASSERT_EQ(alerts.alerts().size(), 1);
    EXPECT_TRUE(plans->isDeleted());
    EXPECT_FALSE(manager.context()->hasChanges());
    QApplication::processEvents();
    ASSERT_EQ(window.undoManager()->undoActionName(), QStringLiteral("Delete Item"));
    window.undoManager()->undo();
    EXPECT_EQ(manager.getRootObject(false)->children().size(), 2);
    EXPECT_EQ(manager.getRootObject(false)->children().first()->stringValue(QStringLiteral("title")),
        QStringLiteral("Plans"));
}

// Steps filed before the board went name its tombstones: undoing them after the deletion's own
// undo has remade the board leaves the remade board, and the store, as they are.
TEST_F(MainWindowAssemblyTest, CardStepsOfABoardDeletedSinceDoNothing)
{
    StoreBuilder builder(*manager.context());
    Kanban* garden = builder.addBoard(QStringLiteral("Garden"), {QStringLiteral("Seeds"), QStringLiteral("Sown")});
    QList<ListItem*> cards;
    for (int i = 0; i < 4; ++i)
        cards.append(builder.addCard(garden->column().at(0)));
    ASSERT_TRUE(manager.saveContext());
    MainWindowController& window = openWindow();
    MacKanbanColumnsViewController* board = assembly->board();
    selectInSidebar(garden);
    QApplication::processEvents();
    ASSERT_EQ(board->kanban(), garden);

    board->columnControllerFor(1)->itemsMover()->moveItems({{0, 0}}, {0, 0}, board->columnControllerFor(0));
    QApplication::processEvents();
    board->doneItemsMover()->moveDoneItems({cards.at(1)}, std::nullopt);
    QApplication::processEvents();
    board->columnControllerFor(0)->itemsMover()->rearrangeItems({{0, 0}}, {0, 2});
    QApplication::processEvents();
    CardNotesUndo::registerSnapshot(board, cards.at(3), AttributedString(), QStringLiteral("Typing"));
    QApplication::processEvents();
    ASSERT_EQ(garden->column().at(0)->item(), (QList<ListItem*> {cards.at(3), cards.at(2)}));
    ASSERT_EQ(garden->column().at(1)->item(), (QList<ListItem*> {cards.at(0)}));
    ASSERT_TRUE(cards.at(1)->parentDoneGroup());

    alerts.enqueueAnswer(0);
    assembly->sidebar()->confirmDelete({garden});
    ASSERT_TRUE(garden->isDeleted());
    QApplication::processEvents();

    UndoManager& history = *window.undoManager();
    history.undo();
    Kanban* remade = nullptr;
    for (DisplayItem* item : manager.getRootObject(false)->children())
        if (item->stringValue(QStringLiteral("title")) == QLatin1String("Garden"))
            remade = dynamic_cast<Kanban*>(item);
    ASSERT_NE(remade, nullptr);
    ASSERT_EQ(remade->column().size(), 2);
    const auto layout = [remade] {
        QList<qsizetype> counts;
        for (KanbanColumn* stage : remade->column())
            counts.append(stage->item().size());
        for (DoneDate* group : remade->doneDates())
            counts.append(group->items().size());
        return counts;
    };
    const QList<qsizetype> before = layout();
    EXPECT_EQ(before, (QList<qsizetype> {2, 1, 1}));
    ASSERT_TRUE(manager.saveContext());

    while (history.canUndo())
        history.undo();
    QApplication::processEvents();
    EXPECT_FALSE(remade->isDeleted());
    EXPECT_EQ(layout(), before);
    EXPECT_EQ(manager.context()->insertedObjects(), QList<ManagedObject*>());
    EXPECT_FALSE(manager.context()->hasChanges());
    // Nothing filed a step back either: the deletion is the one thing to redo.
    history.redo();
    QApplication::processEvents();
    EXPECT_TRUE(remade->isDeleted());
    EXPECT_FALSE(history.canRedo());
    EXPECT_EQ(manager.context()->insertedObjects(), QList<ManagedObject*>());
}

TEST_F(MainWindowAssemblyTest, HelpOpensTheListOfEveryBoardOnce)
{
    MainWindowController& window = openWindow();
    QAction* recovery = menuItem(window, QStringLiteral("Project Recovery…"));
    ASSERT_NE(recovery, nullptr);
    recovery->trigger();
    ProjectRecoveryViewController* list = assembly->projectRecovery();
    ASSERT_NE(list, nullptr);
    EXPECT_TRUE(list->isVisible());
    EXPECT_EQ(list->projects(), (QList<Kanban*> {plans, chores}));
    recovery->trigger();
    EXPECT_EQ(assembly->projectRecovery(), list);
    list->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(assembly->projectRecovery(), nullptr);
}

namespace {

// Right-clicks the row and clicks the menu item named `identifier` in the menu that opens.
void chooseFromRowMenu(SourceOutlineView& outline, const QModelIndex& row, const QString& identifier)
{
    QMenu* menu = outline.menu();
    bool chosen = false;
    QTimer::singleShot(0, menu, [menu, identifier, &chosen] {
        for (QAction* item : menu->actions()) {
            if (item->objectName() == identifier && menu->isVisible()) {
                QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
                chosen = true;
            }
        }
        if (!chosen)
            menu->close();
    });
    const QPoint position = outline.visualRect(row).center();
    QContextMenuEvent click(QContextMenuEvent::Mouse, position, outline.viewport()->mapToGlobal(position));
    QApplication::sendEvent(outline.viewport(), &click);
    EXPECT_TRUE(chosen) << identifier.toStdString();
}

} // namespace

// Focus and shortcuts come back to the window after its menu closes only on a display: this runs
// once more under xvfb-run with QT_QPA_PLATFORM=xcb.
TEST_F(MainWindowAssemblyTest, ABoardDuplicatedRenamedAndDeletedFromItsMenuComesBackWithCtrlZ)
{
    if (QGuiApplication::platformName() == QLatin1String("offscreen"))
        GTEST_SKIP() << "needs a display: run under xvfb-run with QT_QPA_PLATFORM=xcb";
    MainWindowController& window = openWindow();
    KDLeftSidebarViewController* sidebar = assembly->sidebar();
    SourceOutlineView& outline = *sidebar->outlineView();
    Root* root = manager.getRootObject(false);
    const auto titles = [root] {
        QStringList list;
        for (const DisplayItem* item : root->children())
            list.append(item->stringValue(QStringLiteral("title")));
        return list;
    };

    // The copy lands right below, selected, with its title being edited; typing renames it.
    chooseFromRowMenu(outline, sidebar->model()->indexForItem(plans), QStringLiteral("Duplicate…"));
    EXPECT_EQ(titles(), (QStringList {"Plans", "Plans copy", "Chores"}));
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->text(), QStringLiteral("Plans copy"));
    QTest::keyClicks(editor, QStringLiteral("Trips (2025)"));
    QTest::keyClick(editor, Qt::Key_Return);
    QApplication::processEvents();
    EXPECT_EQ(titles(), (QStringList {"Plans", "Trips (2025)", "Chores"}));

    // Delete asks first; Cancel keeps the board.
    const QModelIndex trips = sidebar->model()->indexForItem(root->children().at(1));
    alerts.enqueueAnswer(1);
    chooseFromRowMenu(outline, trips, QStringLiteral("Delete"));
    EXPECT_EQ(titles().size(), 3);
    alerts.enqueueAnswer(0);
    chooseFromRowMenu(outline, trips, QStringLiteral("Delete"));
    EXPECT_EQ(titles(), (QStringList {"Plans", "Chores"}));
    QApplication::processEvents();

    QTest::keyClick(&window, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(titles(), (QStringList {"Plans", "Trips (2025)", "Chores"}));
    auto* back = dynamic_cast<Kanban*>(root->children().at(1));
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->column().size(), plans->column().size());
    QTest::keySequence(&window, QKeySequence::Redo);
    EXPECT_EQ(titles(), (QStringList {"Plans", "Chores"}));
}

// The tags button opens the board's filter: ticking a tag filters the board and lights the button,
// its editor merges one tag into another after asking, and Ctrl+Z brings the tag and notes back.
TEST_F(MainWindowAssemblyTest, TheTagsButtonOpensTheFilterOfTheShownBoard)
{
    StoreBuilder builder(*manager.context());
    Tag* tips = builder.addTag(chores, QStringLiteral("tips"));
    Tag* today = builder.addTag(chores, QStringLiteral("today"));
    tips->setColour(3);
    ListItem* tipCard = builder.addCard(chores->column().first(), {tips});
    tipCard->setAttributedNotes(AttributedString(QStringLiteral("read #tips"), normalAttributes()));
    ListItem* todayCard = builder.addCard(chores->column().first(), {today});
    todayCard->setAttributedNotes(AttributedString(QStringLiteral("call #today"), normalAttributes()));
    MainWindowController& window = openWindow();
    selectInSidebar(chores);
    assembly->router().validateActions();
    ASSERT_TRUE(window.tagsButton()->isEnabled());

    QTest::mouseClick(window.tagsButton(), Qt::LeftButton);
    auto* filter = window.findChild<FilterViewController*>();
    ASSERT_NE(filter, nullptr);
    filter->animator().setFinishesAtOnce(true);
    ASSERT_EQ(filter->checkButtons().size(), 2);
    EXPECT_EQ(filter->checkButtons().first()->text(), QStringLiteral("#tips"));
    QTest::mouseClick(filter->checkButtons().first(), Qt::LeftButton, {}, QPoint(8, 10));
    EXPECT_EQ(assembly->board()->tagFilter(), (QList<Tag*> {tips}));
    EXPECT_TRUE(window.tagsButton()->isChecked());

    QTest::mouseClick(filter->editButton(), Qt::LeftButton);
    alerts.enqueueAnswer(0);
    EditingTextField* field = filter->textFields().first();
    field->setFocus();
    field->selectAll();
    QTest::keyClicks(field, QStringLiteral("today"));
    QTest::keyClick(field, Qt::Key_Return);
    ASSERT_EQ(alerts.alerts().size(), 1);
    EXPECT_TRUE(tips->isDeleted());
    EXPECT_EQ(tipCard->attributedNotes()->string(), QStringLiteral("read #today"));
    EXPECT_EQ(tipCard->tags(), (QList<Tag*> {today}));
    EXPECT_EQ(assembly->board()->tagFilter(), (QList<Tag*> {today}));
    EXPECT_EQ(filter->checkButtons().size(), 1);
    QApplication::processEvents();

    window.undoManager()->undo();
    ASSERT_EQ(chores->tags().size(), 2);
    EXPECT_EQ(chores->tags().first()->name(), QStringLiteral("tips"));
    EXPECT_EQ(chores->tags().first()->colour(), 3);
    EXPECT_EQ(tipCard->attributedNotes()->string(), QStringLiteral("read #tips"));
    EXPECT_EQ(filter->checkButtons().size(), 2);
}

// What is typed reaches the store file while typing goes on, as a restart would read it, and a
// typing run stays one step to undo however many saves it spans.
TEST_F(MainWindowAssemblyTest, TypingIsStoredAsItGoesOnAndUndoneAsOneStep)
{
    StoreBuilder builder(*manager.context());
    Kanban* garden = builder.addBoard(QStringLiteral("Garden"), {QStringLiteral("Seeds")});
    ListItem* card = builder.addCard(garden->column().at(0));
    card->setAttributedNotes(AttributedString(QStringLiteral("Sow")));
    ASSERT_TRUE(manager.saveContext());
    MainWindowController& window = openWindow();
    selectInSidebar(garden);
    QApplication::processEvents();
    ListItemCellView* cell = assembly->board()->columnControllerFor(0)->cellShowing(card);
    ASSERT_NE(cell, nullptr);
    NotesTextView* editor = cell->noteTextView();
    editor->setFocus(Qt::MouseFocusReason);
    QTest::keyClick(editor, Qt::Key_End);
    UndoManager& history = *window.undoManager();
    ASSERT_FALSE(history.canUndo());
    const auto stored = [] {
        CoreDataManager restarted(std::make_shared<CoreDataMigrator>());
        restarted.setup([] {}, [](const StoreError&) {});
        for (ManagedObject* object : restarted.context()->fetch(FetchRequest(QStringLiteral("ListItem"))))
            if (auto* found = dynamic_cast<ListItem*>(object))
                return found->firstLineOfNotes();
        return QString();
    };

    // A key every 200 ms for three seconds: the saves that typing brings keep the step open.
    for (int key = 0; key < 15; ++key) {
        QTest::keyClick(editor, Qt::Key_A);
        QTest::qWait(200);
    }
    EXPECT_TRUE(stored().startsWith(QStringLiteral("Sowa"))) << "saved while typing goes on";
    QTRY_COMPARE_WITH_TIMEOUT(stored(), QStringLiteral("Sow") + QString(15, QLatin1Char('a')), 5000);
    ASSERT_EQ(history.undoActionName(), QStringLiteral("Typing"));
    history.undo();
    EXPECT_EQ(editor->string(), QStringLiteral("Sow")) << "the whole run is one step";
    EXPECT_FALSE(history.canUndo());
}
