#include "Pelorins/board/BoardPane.h"
#include "Pelorins/card/ListItemCellView.h"
#include "Pelorins/card/NotesTextView.h"
#include "Pelorins/common/ControllerIntegratedView.h"
#include "Pelorins/common/MainWindowActions.h"
#include "Pelorins/shell/MainSplitViewController.h"
#include "Pelorins/shell/MainWindowAssembly.h"
#include "Pelorins/shell/MainWindowController.h"
#include "Pelorins/sidebar/SidebarEditing.h"
#include "Pelorins/sidebar/SidebarPane.h"
#include "PelorinsKit/model/Folder.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/Tag.h"
#include "Platform/core/ConsoleLog.h"
#include "Platform/core/UndoManager.h"
#include "Platform/core/UserDefaults.h"
#include "Platform/widgets/ActionResponder.h"
#include "Platform/widgets/ActionRouter.h"
#include "Platform/widgets/ScriptedFilePanelPresenter.h"
#include "support/FakeBoardPane.h"
#include "support/StoreBuilder.h"
#include "support/TestStore.h"

#include <QAction>
#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QPrinter>
#include <QScreen>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>
#include <memory>

namespace A = MainWindowActions;

namespace {

// Runs the event loop for `milliseconds`, timers included.
void wait(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

// Writes "name:action" into a shared log for the actions it answers.
class Responder : public ActionResponder
{
public:
    Responder(QString name, QStringList* log)
        : m_name(std::move(name))
        , m_log(log)
    {
    }
    bool respondsTo(const QString& action) const override { return action == QLatin1String("copy:"); }
    void perform(const QString& action, QObject*) override { m_log->append(m_name + ":" + action); }

private:
    QString m_name;
    QStringList* m_log;
};

class Editor : public QTextEdit, public Responder
{
public:
    Editor(QWidget* parent, QStringList* log)
        : QTextEdit(parent)
        , Responder(QStringLiteral("editor"), log)
    {
    }
};

class FakeSidebar : public SidebarPane, public SidebarEditing
{
public:
    QWidget* view() override { return widget; }
    void addFolder() override { calls.append("addFolder"); }
    void addKanban() override { calls.append("addKanban"); }
    void duplicateItem() override { calls.append("duplicate"); }
    void refreshListWhileKeepingSelection() override { calls.append("refresh"); }

    QPointer<QWidget> widget = new QWidget;
    QStringList calls;
};

class Application : public Responder
{
public:
    using Responder::Responder;
};

struct MainWindowFixture : ::testing::Test
{
    QTemporaryDir folder;
    UserDefaults defaults {folder.filePath("defaults.conf")};
    ActionRouter router;
    UndoManager undoManager;
    ScriptedFilePanelPresenter filePanels;
    TestStore store;
    StoreBuilder builder {store.context()};
    std::unique_ptr<MainWindowController> window;
    FakeBoardPane* board = nullptr;

    void SetUp() override
    {
        ASSERT_TRUE(store.isOpen()) << store.error().toStdString();
        window = makeWindow();
    }

    // The window with its content connected as the program connects them.
    std::unique_ptr<MainWindowController> makeWindow()
    {
        auto made = std::make_unique<MainWindowController>(
            MainWindowController::Services {&router, &undoManager, &filePanels, &defaults});
        MainWindowAssembly::connectSplitView(*made->splitViewController(), *made);
        return made;
    }

    // Sends from inside the window, whatever has the focus.
    bool send(const QString& action, QObject* sender = nullptr)
    {
        return router.send(action, sender, window->splitViewController());
    }

    void showActive()
    {
        window->showWindow();
        QApplication::setActiveWindow(window.get());
        wait(50);
    }

    // Installs a board pane (owned by the test, its view by the window) showing `kanban`.
    std::unique_ptr<FakeBoardPane> installBoard(Kanban* kanban)
    {
        auto pane = std::make_unique<FakeBoardPane>(&router);
        pane->setKanban(kanban);
        window->splitViewController()->setKanbanColumnsViewController(pane.get());
        board = pane.get();
        router.validateActions();
        return pane;
    }
};

TEST_F(MainWindowFixture, Routing_GoesFromFocusedEditorThroughColumnBoardSplitViewAndWindowToApplication)
{
    QStringList log;
    Responder columnController("column", &log);
    Responder boardController("board", &log);
    Application application("application", &log);
    router.setApplicationResponder(&application);
    const auto pane = installBoard(builder.addBoard("Plans"));
    board->root->setViewController(&boardController);
    auto* column = new ControllerIntegratedView(&router, board->root);
    column->setViewController(&columnController);
    auto* editor = new Editor(column, &log);

    window->showWindow();
    QApplication::setActiveWindow(window.get());
    wait(50);
    editor->setFocus();
    QApplication::processEvents();
    ASSERT_EQ(QApplication::focusWidget(), editor);

    const QList<ActionResponder*> expected {
        editor, &columnController, &boardController, window->splitViewController(), window.get(), &application};
    EXPECT_EQ(router.chain(), expected);
    EXPECT_TRUE(router.send("copy:", nullptr));
    EXPECT_EQ(log, QStringList {"editor:copy:"});
    EXPECT_EQ(router.targetFor(A::insertNewSectionAfter), window->splitViewController());
    EXPECT_EQ(router.targetFor(A::searchKanban), window.get());

    // Setting the same controller again changes nothing; clearing it takes it out.
    column->setViewController(&columnController);
    EXPECT_EQ(router.chain(), expected);
    column->setViewController(nullptr);
    EXPECT_FALSE(router.chain().contains(&columnController));
    EXPECT_EQ(column->viewController(), nullptr);

    // A controller that goes away leaves the view without one.
    {
        Responder shortLived("short", &log);
        column->setViewController(&shortLived);
        EXPECT_EQ(column->viewController(), &shortLived);
    }
    EXPECT_EQ(column->viewController(), nullptr);
}

// The split view may outlive a pane's view or be destroyed with it still inside: either way it
// stops using the pane once the view is gone.
TEST_F(MainWindowFixture, APaneWhoseViewIsDestroyed_IsGoneFromTheSplitView)
{
    const auto pane = installBoard(builder.addBoard("Plans"));
    MainSplitViewController* split = window->splitViewController();
    ASSERT_EQ(split->kanbanColumnsViewController(), pane.get());
    ASSERT_TRUE(split->validate(A::insertNewSectionAfter, nullptr));

    delete pane->root;
    EXPECT_EQ(split->kanbanColumnsViewController(), nullptr);
    EXPECT_FALSE(split->validate(A::insertNewSectionAfter, nullptr));
    split->perform(A::insertNewSectionAfter, nullptr);
    EXPECT_TRUE(pane->inserted.isEmpty());

    // Destroyed with the window, the view goes while the split view is half destroyed.
    const auto later = installBoard(builder.addBoard("Later"));
    window.reset();
}

TEST_F(MainWindowFixture, Menus_EnableActionsOnlyWhereSomethingServesThem)
{
    auto enabled = [this](const QString& action) {
        router.validateActions();
        return window->menuAction(action)->isEnabled();
    };
    showActive();
    // No sidebar, no board, no sheets yet.
    for (const QString& action : {QString(A::insertNewSectionAfter), QString(A::insertNewSectionBefore),
             QString(A::viewAsSingleColumn), QString(A::jumpToBookmarkedSection), QString(A::addKanbanSelected),
             QString(A::showHideSidebar), QString(A::showImport), QString(A::showExport),
             QString(A::showHidePrintSetup), QString(A::addExampleProjects), QString(A::showTagsView),
             QStringLiteral("zoomMenuSelected:2"), QStringLiteral("undo:")})
        EXPECT_FALSE(enabled(action)) << action.toStdString();
    EXPECT_FALSE(window->sidebarButton()->isEnabled());
    EXPECT_TRUE(enabled(A::searchKanban));

    const auto pane = installBoard(builder.addBoard("Plans"));
    EXPECT_TRUE(enabled(A::insertNewSectionBefore));
    EXPECT_TRUE(enabled(QStringLiteral("zoomMenuSelected:2")));
    // Only the layout switch that would change something.
    EXPECT_TRUE(enabled(A::viewAsSingleColumn));
    EXPECT_FALSE(enabled(A::viewAsMultipleColumns));
    EXPECT_TRUE(send(A::viewAsSingleColumn));
    EXPECT_EQ(board->layoutToggles, 1);
    EXPECT_FALSE(enabled(A::viewAsSingleColumn));
    EXPECT_FALSE(send(A::viewAsSingleColumn));
    EXPECT_EQ(board->layoutToggles, 1);

    FakeSidebar sidebar;
    window->splitViewController()->setSidebarViewController(&sidebar);
    EXPECT_TRUE(enabled(A::addKanbanSelected));
    EXPECT_TRUE(window->sidebarButton()->isEnabled());
    EXPECT_FALSE(enabled(A::addExampleProjects));
    window->splitViewController()->setExampleImporter([](bool) {});
    EXPECT_TRUE(enabled(A::addExampleProjects));

    // The Edit menu follows the window's history.
    undoManager.registerUndo(&undoManager, [] {});
    undoManager.setActionName("Mark Done");
    QApplication::processEvents();
    EXPECT_TRUE(enabled(QStringLiteral("undo:")));
    EXPECT_EQ(window->menuAction(QStringLiteral("undo:"))->text(), QStringLiteral("Undo Mark Done"));
}

TEST_F(MainWindowFixture, DebugMenu_OnlyWithTheEnvironmentSwitch)
{
    EXPECT_EQ(window->menuAction(A::getResponderChain), nullptr);
    qputenv("PELORINS_DEBUG_MENU", "1");
    const auto debugWindow = makeWindow();
    qunsetenv("PELORINS_DEBUG_MENU");
    ASSERT_NE(debugWindow->menuAction(A::getResponderChain), nullptr);

    ASSERT_NE(debugWindow->menuAction(A::printSelected), nullptr);
    for (const QString& action : NotesTextView::debugActions)
        EXPECT_NE(debugWindow->menuAction(action), nullptr) << action.toStdString();

    ConsoleLog::Capture capture;
    debugWindow->perform(A::getResponderChain, nullptr);
    ASSERT_FALSE(capture.lines().isEmpty());
    EXPECT_TRUE(capture.lines().first().startsWith("newFirstResponder "));
}

TEST_F(MainWindowFixture, TestPage_PrintsWithoutTouchingTheBoard)
{
    const auto pane = installBoard(builder.addBoard("Plans"));
    const auto childrenBefore = board->root->children().size();
    QPrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(folder.filePath("test page.pdf"));
    ConsoleLog::Capture capture;
    MainSplitViewController::printTestPage(printer);
    ASSERT_EQ(capture.lines().size(), 1);
    EXPECT_TRUE(capture.lines().first().startsWith("print selected printInfo "));
    EXPECT_EQ(printer.pageLayout().margins(QPageLayout::Point).top(), 60);
    QFile pdf(folder.filePath("test page.pdf"));
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    EXPECT_TRUE(pdf.read(5) == "%PDF-");
    EXPECT_EQ(board->root->children().size(), childrenBefore);
}

TEST(MainWindowFrame, FirstFrameIsAtMost1200By720AndCentred)
{
    const struct
    {
        QRect screen;
        QRect frame;
    } cases[] = {
        {{0, 0, 1440, 900}, {120, 90, 1200, 720}},
        {{0, 0, 1024, 600}, {0, 0, 1024, 600}},
        {{0, 0, 1200, 720}, {0, 0, 1200, 720}},
        // A second screen to the right keeps the window on it.
        {{1440, 0, 1920, 1080}, {1440 + 360, 180, 1200, 720}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MainWindowController::initialFrame(c.screen), c.frame) << c.screen.width();
}

TEST(MainWindowFrame, TheFirstFrameWidensForItsBoardAsFarAsTheScreenAllows)
{
    const struct
    {
        QRect frame;
        int missing;
        QRect screen;
        QRect widened;
    } cases[] = {
        {{200, 90, 1200, 720}, 265, {0, 0, 1600, 900}, {67, 90, 1465, 720}},
        {{120, 90, 1200, 720}, 265, {0, 0, 1440, 900}, {0, 90, 1440, 720}},
        {{120, 90, 1200, 720}, 0, {0, 0, 1440, 900}, {120, 90, 1200, 720}},
        {{1440 + 360, 180, 1200, 720}, 300, {1440, 0, 1920, 1080}, {1440 + 210, 180, 1500, 720}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MainWindowController::widenedFrame(c.frame, c.missing, c.screen), c.widened) << c.missing;
}

TEST_F(MainWindowFixture, Frame_FirstLaunchCentresLaterLaunchesKeepTheSavedFrame)
{
    window->showWindow();
    const QRect screen = window->screen()->availableGeometry();
    EXPECT_EQ(window->geometry(), MainWindowController::initialFrame(screen));
    EXPECT_TRUE(defaults.boolForKey("windowPositionSet"));

    window->setGeometry(30, 40, 640, 480);
    window->close();
    window = makeWindow();
    window->showWindow();
    EXPECT_EQ(window->geometry(), QRect(30, 40, 640, 480));
}

TEST_F(MainWindowFixture, Search_AppliesAfterThePauseAndClearsAtOnce)
{
    const auto pane = installBoard(builder.addBoard("Plans"));
    QLineEdit* field = window->searchField();
    field->insert("ab");
    wait(300);
    field->insert("c");
    wait(550);
    // 0.85 s after the first key, but only 0.55 s after the last.
    EXPECT_EQ(board->searchTerm(), std::nullopt);
    EXPECT_EQ(board->reloads, 0);
    wait(650);
    EXPECT_EQ(board->searchTerm(), QStringLiteral("abc"));
    EXPECT_EQ(board->appliedSearch, QStringLiteral("abc"));
    EXPECT_EQ(board->reloads, 1);

    field->clear();
    EXPECT_EQ(board->searchTerm(), QString());
    EXPECT_EQ(board->reloads, 2);
    wait(900);
    EXPECT_EQ(board->reloads, 2);
}

TEST_F(MainWindowFixture, Search_EmptyingAnEmptyFieldStartsNoSearch)
{
    const auto pane = installBoard(builder.addBoard("Plans"));
    window->searchField()->setText("x");
    window->searchField()->clear();
    EXPECT_EQ(board->searchTerm(), std::nullopt);
    EXPECT_EQ(board->reloads, 0);
}

TEST_F(MainWindowFixture, ClearSearchField_EmptiesFieldAndBoardWithoutALateSearch)
{
    const auto pane = installBoard(builder.addBoard("Plans"));
    window->searchField()->setText("old");
    wait(900);
    window->searchField()->setText("older");
    window->clearSearchField();
    EXPECT_EQ(window->searchField()->text(), QString());
    EXPECT_EQ(board->searchTerm(), std::nullopt);
    EXPECT_EQ(board->appliedSearch, std::nullopt);
    wait(900);
    EXPECT_EQ(board->searchTerm(), std::nullopt);
}

TEST_F(MainWindowFixture, ShowDisplayItem_SameBoardKeepsSearchAndFilterAnotherBoardClearsThem)
{
    Kanban* plans = builder.addBoard("Plans");
    Kanban* chores = builder.addBoard("Chores");
    Tag* urgent = builder.addTag(plans, "urgent");
    const auto pane = installBoard(nullptr);
    MainSplitViewController* split = window->splitViewController();
    split->showDisplayItem(plans);
    EXPECT_EQ(board->loads, 1);
    EXPECT_EQ(board->splitView, split);

    window->searchField()->setText("milk");
    wait(900);
    board->setTagFilter(QList<Tag*> {urgent});
    const int reloads = board->reloads;

    split->showDisplayItem(plans);
    EXPECT_EQ(board->loads, 1);
    EXPECT_EQ(board->reloads, reloads);
    EXPECT_EQ(board->searchTerm(), QStringLiteral("milk"));
    EXPECT_EQ(window->searchField()->text(), QStringLiteral("milk"));
    EXPECT_EQ(board->tagFilter(), QList<Tag*> {urgent});

    split->showDisplayItem(chores);
    EXPECT_EQ(board->kanban(), chores);
    EXPECT_EQ(board->loads, 2);
    EXPECT_EQ(board->searchTerm(), std::nullopt);
    EXPECT_EQ(window->searchField()->text(), QString());
    EXPECT_EQ(board->tagFilter(), std::nullopt);

    // A folder, or no item, changes nothing.
    split->showDisplayItem(builder.addFolder("Home"));
    split->showDisplayItem(nullptr);
    EXPECT_EQ(board->kanban(), chores);
}

TEST_F(MainWindowFixture, ShowDisplayItem_AnotherBoardEmptiesTheSearchFieldEvenWithoutABoardView)
{
    window->searchField()->setText("milk");
    window->splitViewController()->showDisplayItem(builder.addBoard("Chores"));
    EXPECT_EQ(window->searchField()->text(), QString());
}

TEST_F(MainWindowFixture, SetCurrentDisplayItem_ClearsTheOldExportMarkAndRetitles)
{
    Kanban* plans = builder.addBoard("Plans");
    Kanban* chores = builder.addBoard("Chores");
    plans->setExport(true);
    window->setCurrentDisplayItem(plans);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Plans"));
    EXPECT_TRUE(plans->isExport());
    chores->setExport(true);
    window->setCurrentDisplayItem(chores);
    EXPECT_FALSE(plans->isExport());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Chores"));
    window->setCurrentDisplayItem(chores);
    EXPECT_FALSE(chores->isExport());
    EXPECT_EQ(window->currentDisplayItem(), chores);
}

TEST(InsertSection, IndexTable)
{
    const struct
    {
        int stages;
        QSet<int> selected;
        bool before;
        int index;
    } cases[] = {
        {5, {}, false, 5},
        {5, {}, true, 5},
        {0, {}, true, 0},
        {5, {1, 3}, false, 4},
        {5, {1, 3}, true, 1},
        {5, {0}, true, 0},
        {5, {4}, false, 5},
        // The done column (section 5 of 5 stages) never counts.
        {5, {5}, false, 5},
        {5, {2, 5}, true, 2},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MainSplitViewController::insertionIndex(c.stages, c.selected, c.before), c.index)
            << c.stages << " stages, before " << c.before;
}

TEST_F(MainWindowFixture, InsertSection_BeforeAndAfterTheSelectedColumns)
{
    const auto pane = installBoard(builder.addBoard("Plans", {"A", "B", "C", "D", "E"}));
    board->selected = {1, 3};
    EXPECT_TRUE(send(A::insertNewSectionBefore));
    EXPECT_TRUE(send(A::insertNewSectionAfter));
    const QList<std::pair<int, bool>> expected {{1, false}, {4, false}};
    EXPECT_EQ(board->inserted, expected);
}

TEST_F(MainWindowFixture, Zoom_MenuItemsSetTheirMagnification)
{
    const auto pane = installBoard(builder.addBoard("Plans"));
    showActive();
    const QList<std::pair<int, qreal>> cases {{1, 0.75}, {2, 0.5}, {0, 1.0}};
    for (const auto& [tag, magnification] : cases) {
        window->menuAction(QStringLiteral("zoomMenuSelected:%1").arg(tag))->trigger();
        EXPECT_EQ(board->magnification, magnification) << tag;
    }
    EXPECT_EQ(MainWindowController::magnificationForZoomTag(7), 1.0);
}

TEST_F(MainWindowFixture, Sidebar_ToggleAndAddingShowsACollapsedSidebar)
{
    FakeSidebar sidebar;
    MainSplitViewController* split = window->splitViewController();
    split->setSidebarViewController(&sidebar);
    showActive();
    ASSERT_FALSE(split->isSidebarCollapsed());
    EXPECT_EQ(window->sidebarButton()->toolTip(), QStringLiteral("Hide Sidebar"));

    window->sidebarButton()->click();
    EXPECT_TRUE(split->isSidebarCollapsed());
    EXPECT_EQ(window->sidebarButton()->toolTip(), QStringLiteral("Show Sidebar"));

    EXPECT_TRUE(send(A::addKanbanSelected));
    EXPECT_FALSE(split->isSidebarCollapsed());
    EXPECT_TRUE(send(A::addFolderSelected));
    EXPECT_FALSE(split->isSidebarCollapsed());
    EXPECT_EQ(sidebar.calls, (QStringList {"addKanban", "addFolder"}));

    split->setExampleImporter(
        [&sidebar](bool shortExamples) { sidebar.calls.append(shortExamples ? "short examples" : "long examples"); });
    window->sidebarButton()->click();
    EXPECT_TRUE(send(A::addExampleProjects));
    EXPECT_FALSE(split->isSidebarCollapsed());
    EXPECT_EQ(sidebar.calls.mid(2), (QStringList {"long examples", "refresh"}));
}

TEST_F(MainWindowFixture, Import_CancelShowsNoSheetAChosenDocumentShowsTheImportSheet)
{
    QList<std::optional<QString>> sheets;
    window->splitViewController()->setImportExportSheetFactory(
        [&sheets](const std::optional<QString>& url, QWidget* parent) {
            sheets.append(url);
            return new QWidget(parent, Qt::Window);
        });
    window->showWindow();
    filePanels.enqueueOpenAnswer(std::nullopt);
    filePanels.enqueueOpenAnswer(QStringLiteral("/tmp/board.Pelorins"));
    EXPECT_TRUE(send(A::showImport));
    EXPECT_TRUE(sheets.isEmpty());
    EXPECT_TRUE(send(A::showImport));
    EXPECT_TRUE(send(A::showExport));
    const QList<std::optional<QString>> expected {QStringLiteral("/tmp/board.Pelorins"), std::nullopt};
    EXPECT_EQ(sheets, expected);
    ASSERT_EQ(filePanels.openPanels().size(), 2);
    EXPECT_EQ(filePanels.openPanels().first().message, QStringLiteral("Please select a Pelorin file to import"));
    EXPECT_EQ(filePanels.openPanels().first().allowedFileTypes, (QStringList {"Pelorins", "Quenfield"}));
}

TEST_F(MainWindowFixture, TagsButton_OpensThePanelAndShowsTheBoardsFilterState)
{
    const auto pane = installBoard(builder.addBoard("Plans"));
    QList<BoardPane*> panelBoards;
    window->setFilterPanelFactory([&panelBoards](BoardPane* boardPane) {
        panelBoards.append(boardPane);
        return new QWidget;
    });
    showActive();
    ASSERT_TRUE(window->tagsButton()->isEnabled());
    window->setTagFilterActive(true);
    window->tagsButton()->click();
    EXPECT_EQ(panelBoards, QList<BoardPane*> {board});
    // The click opens the panel; only the board's filter lights the button.
    EXPECT_TRUE(window->tagsButton()->isChecked());
    window->setTagFilterActive(false);
    window->tagsButton()->click();
    EXPECT_FALSE(window->tagsButton()->isChecked());
    EXPECT_EQ(panelBoards.size(), 2);
}

TEST_F(MainWindowFixture, PrintSetup_TitlesTheWindowAfterTheBoard)
{
    const auto pane = installBoard(builder.addBoard("Plans"));
    QList<Kanban*> boards;
    window->splitViewController()->setPrintSetupWindowFactory([&boards](Kanban* kanban) {
        boards.append(kanban);
        auto* printWindow = new QWidget(nullptr, Qt::Window);
        printWindow->setAttribute(Qt::WA_DeleteOnClose);
        return printWindow;
    });
    EXPECT_TRUE(send(A::showHidePrintSetup));
    ASSERT_EQ(boards, QList<Kanban*> {board->kanban()});
    QWidget* printWindow = window->splitViewController()->printSetupWindow();
    ASSERT_NE(printWindow, nullptr);
    EXPECT_EQ(printWindow->windowTitle(), QStringLiteral("Print Setup - Plans"));
    EXPECT_TRUE(printWindow->isVisible());
    printWindow->close();
}

TEST_F(MainWindowFixture, TestPrint_IsMadeWhenFirstShownThenKept)
{
    int made = 0;
    window->splitViewController()->setTestPrintViewControllerFactory([&made] {
        ++made;
        return std::make_unique<QWidget>();
    });
    EXPECT_EQ(made, 0);
    EXPECT_TRUE(send(A::showTestPrint));
    QWidget* testPrint = window->splitViewController()->testPrintViewController();
    ASSERT_NE(testPrint, nullptr);
    EXPECT_TRUE(testPrint->isVisible());
    testPrint->hide();
    EXPECT_TRUE(send(A::showTestPrint));
    EXPECT_EQ(made, 1);
    EXPECT_TRUE(testPrint->isVisible());
}

} // namespace

TEST_F(MainWindowFixture, Sidebar_ViewMadeAsTheSplitViewsChildBecomesTheLeftPane)
{
    MainSplitViewController* split = window->splitViewController();
    FakeSidebar sidebar;
    sidebar.widget->setParent(split);
    split->setSidebarViewController(&sidebar);
    EXPECT_EQ(split->count(), 2);
    EXPECT_EQ(split->widget(0), sidebar.widget.data());
}

TEST_F(MainWindowFixture, Sidebar_AddingAndCopyingNeedASidebarThatOffersThem)
{
    struct ViewOnlySidebar : SidebarPane
    {
        QWidget* view() override { return widget; }
        void refreshListWhileKeepingSelection() override { }
        QPointer<QWidget> widget = new QWidget;
    } sidebar;
    window->splitViewController()->setSidebarViewController(&sidebar);
    EXPECT_TRUE(send(A::showHideSidebar));
    EXPECT_FALSE(send(A::addFolderSelected));
    EXPECT_FALSE(send(A::duplicateSelected));
}
