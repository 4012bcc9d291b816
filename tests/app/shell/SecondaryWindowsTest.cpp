#include "Pelorins/archive/ImportExportViewController.h"
#include "Pelorins/board/FilterViewController.h"
#include "Pelorins/board/InfoViewController.h"
#include "Pelorins/board/MacKanbanColumnsViewController.h"
#include "Pelorins/card/DateDisplayButton.h"
#include "Pelorins/card/DatePickerViewController.h"
#include "Pelorins/card/ListItemCellView.h"
#include "Pelorins/column/MacKanbanColumnController.h"
#include "Pelorins/common/MainWindowActions.h"
#include "Pelorins/print/PrintPreviewViewController.h"
#include "Pelorins/print/PrintSplitViewController.h"
#include "Pelorins/shell/AppDelegate.h"
#include "Pelorins/shell/MainSplitViewController.h"
#include "Pelorins/shell/MainWindowAssembly.h"
#include "Pelorins/shell/MainWindowController.h"
#include "Pelorins/sidebar/KDLeftSidebarViewController.h"
#include "Pelorins/sidebar/ProjectRecoveryViewController.h"
#include "Pelorins/sidebar/SourceOutlineView.h"
#include "Pelorins/sidebar/SourceTreeModel.h"
#include "Pelorins/welcome/WelcomeWindowController.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/notes/NoteTextConventions.h"
#include "PelorinsKit/store/CoreDataManager.h"
#include "PelorinsKit/store/CoreDataMigrator.h"
#include "Platform/core/DataFolders.h"
#include "Platform/core/UserDefaults.h"
#include "Platform/services/PackageManagerUpdater.h"
#include "Platform/widgets/ScriptedAlertPresenter.h"
#include "Platform/widgets/FileDialogPanelPresenter.h"
#include "Platform/widgets/RowText.h"
#include "Platform/widgets/ScriptedFilePanelPresenter.h"
#include "support/FakeCalendarStore.h"
#include "support/QStringPrinting.h"
#include "support/StoreBuilder.h"

#include <QApplication>
#include <QFileDialog>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <gtest/gtest.h>

static void initResources()
{
    Q_INIT_RESOURCE(PelorinsResources);
}

namespace A = MainWindowActions;

namespace {

// The program assembled over a store of one board with a card due tomorrow, its main window
// open on that board. The store is the test's to close, after the program, as the program's
// own store is closed after everything else when it ends.
class SecondaryWindows : public ::testing::Test
{
public:
    void SetUp() override
    {
        initResources();
        m_windowsBefore = topLevelWindows();
        DataFolders::setBaseFolderForTesting(m_folder.filePath(QStringLiteral("data")));
        manager->setup([] {}, [](const StoreError&) {});
        ASSERT_NE(manager->context(), nullptr);
        StoreBuilder builder(*manager->context());
        board = builder.addBoard(QStringLiteral("Plans"), {QStringLiteral("To Do"), QStringLiteral("Doing")});
        card = builder.addCard(board->column().first());
        card->setAttributedNotes(AttributedString(QStringLiteral("Call the printer #urgent"), normalAttributes()));
        card->setDueDate(QDateTime::currentDateTimeUtc().addDays(1));
        builder.addTag(board, QStringLiteral("urgent"));
        ASSERT_TRUE(manager->saveContext());
        // The steps of the first launch are over: the welcome opens only from Help.
        defaults.setValue(QStringLiteral("firstSetupCompleted"), true);
        assembly = std::make_unique<MainWindowAssembly>(MainWindowAssembly::Services {defaults, *manager, calendar,
            updater, alerts, filePanels, [](const QUrl&) { return true; }, QStringLiteral(":/examples")});
        QObject::connect(&assembly->appDelegate(), &AppDelegate::terminationRequested,
            [this](int code) { exitCodes << code; });
    }
    void TearDown() override
    {
        assembly.reset();
        manager.reset();
        DataFolders::setBaseFolderForTesting(QString());
    }

    static QSet<QWidget*> topLevelWindows()
    {
        const QWidgetList windows = QApplication::topLevelWidgets();
        return QSet<QWidget*>(windows.cbegin(), windows.cend());
    }
    // The windows made since the test began that are still there, by class.
    QStringList windowsLeft() const
    {
        QStringList left;
        for (QWidget* window : topLevelWindows() - m_windowsBefore)
            left << QString::fromLatin1(window->metaObject()->className());
        left.sort();
        return left;
    }

    MainWindowController& openMainWindow()
    {
        assembly->appDelegate().showMainWindow(nullptr);
        MainWindowController* window = assembly->mainWindow();
        EXPECT_NE(window, nullptr);
        QApplication::setActiveWindow(window);
        KDLeftSidebarViewController* sidebar = assembly->sidebar();
        SourceOutlineView* outline = sidebar->outlineView();
        outline->selectRow(outline->rowForIndex(sidebar->model()->indexForItem(board)), false);
        QApplication::processEvents();
        assembly->router().validateActions();
        return *window;
    }
    // Chooses the window's menu item that sends `action`, as a user does.
    static void choose(MainWindowController& window, const QString& action)
    {
        QAction* item = window.menuAction(action);
        ASSERT_NE(item, nullptr) << action.toStdString();
        ASSERT_TRUE(item->isEnabled()) << action.toStdString();
        item->trigger();
        QApplication::processEvents();
    }
    static QAction* menuItemTitled(MainWindowController& window, const QString& title)
    {
        for (QAction* menu : window.menuBar()->actions()) {
            for (QAction* item : menu->menu() ? menu->menu()->actions() : QList<QAction*>()) {
                if (item->text() == title)
                    return item;
            }
        }
        return nullptr;
    }

    QTemporaryDir m_folder;
    QSet<QWidget*> m_windowsBefore;
    UserDefaults defaults {m_folder.filePath(QStringLiteral("prefs.conf"))};
    std::unique_ptr<CoreDataManager> manager = std::make_unique<CoreDataManager>(std::make_shared<CoreDataMigrator>());
    FakeCalendarStore calendar;
    PackageManagerUpdater updater;
    ScriptedAlertPresenter alerts;
    ScriptedFilePanelPresenter filePanels;
    std::unique_ptr<MainWindowAssembly> assembly;
    QList<int> exitCodes;
    Kanban* board = nullptr;
    ListItem* card = nullptr;
};

// Opens one secondary window of the main window and answers it.
struct Opening
{
    const char* name;
    std::function<QWidget*(SecondaryWindows&, MainWindowController&)> open;
};

class EverySecondaryWindow : public SecondaryWindows, public ::testing::WithParamInterface<Opening>
{
};

std::string describe(const QRect& rect)
{
    return QStringLiteral("(%1, %2) %3 x %4").arg(rect.x()).arg(rect.y()).arg(rect.width()).arg(rect.height()).toStdString();
}

template<typename Window>
Window* topLevel()
{
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (auto* found = qobject_cast<Window*>(window); found && found->isVisible())
            return found;
    }
    return nullptr;
}

const Opening openings[] = {
    {"Preferences",
        [](SecondaryWindows&, MainWindowController& window) -> QWidget* {
            SecondaryWindows::menuItemTitled(window, QStringLiteral("Preferences…"))->trigger();
            for (QWidget* top : QApplication::topLevelWidgets()) {
                if (top->objectName() == QLatin1String("preferencesWindow"))
                    return top;
            }
            return nullptr;
        }},
    {"PrintSetup",
        [](SecondaryWindows&, MainWindowController& window) -> QWidget* {
            SecondaryWindows::choose(window, A::showHidePrintSetup);
            auto* print = qobject_cast<PrintSplitViewController*>(window.splitViewController()->printSetupWindow());
            return print && print->previewViewController()->kanban() ? print : nullptr;
        }},
    {"InfoPanel",
        [](SecondaryWindows&, MainWindowController& window) -> QWidget* {
            QTest::mouseClick(window.backgroundButton(), Qt::LeftButton);
            return window.findChild<InfoViewController*>();
        }},
    {"TagPopover",
        [](SecondaryWindows&, MainWindowController& window) -> QWidget* {
            QTest::mouseClick(window.tagsButton(), Qt::LeftButton);
            return window.findChild<FilterViewController*>();
        }},
    {"DueDatePopover",
        [](SecondaryWindows& test, MainWindowController&) -> QWidget* {
            MacKanbanColumnController* column = test.assembly->board()->columnControllerFor(0);
            ListItemCellView* cell = column ? column->cellShowing(test.card) : nullptr;
            if (!cell)
                return nullptr;
            QTest::mouseClick(cell->showDateButton(), Qt::LeftButton);
            return cell->datePicker();
        }},
    {"Export",
        [](SecondaryWindows&, MainWindowController& window) -> QWidget* {
            SecondaryWindows::choose(window, A::showExport);
            return window.findChild<ImportExportViewController*>();
        }},
    {"Import",
        [](SecondaryWindows& test, MainWindowController& window) -> QWidget* {
            test.filePanels.enqueueOpenAnswer(
                QStringLiteral(PELORINS_TESTS_DIR "/kit/archive/data/CompatibilityArchive"));
            SecondaryWindows::choose(window, A::showImport);
            return window.findChild<ImportExportViewController*>();
        }},
    {"ProjectRecovery",
        [](SecondaryWindows& test, MainWindowController& window) -> QWidget* {
            test.menuItemTitled(window, QStringLiteral("Project Recovery…"))->trigger();
            return test.assembly->projectRecovery();
        }},
    {"WelcomeFromHelp",
        [](SecondaryWindows& test, MainWindowController& window) -> QWidget* {
            test.menuItemTitled(window, QStringLiteral("Welcome to Pelorins"))->trigger();
            return topLevel<WelcomeWindowController>();
        }},
};

} // namespace

// Quitting ends the program as it does: the program's parts go first, then the store. No window
// or handler may be left to reach the store, or to make anything, once the store goes.
TEST_P(EverySecondaryWindow, QuittingWithItOpenLetsGoOfTheStoreFirst)
{
    MainWindowController& window = openMainWindow();
    QWidget* opened = GetParam().open(*this, window);
    ASSERT_NE(opened, nullptr);
    EXPECT_TRUE(opened->isVisible());

    assembly->appDelegate().terminate(nullptr);
    EXPECT_EQ(exitCodes, QList<int> {0});
    assembly.reset();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(windowsLeft(), QStringList());
    manager.reset();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(windowsLeft(), QStringList());
}

INSTANTIATE_TEST_SUITE_P(, EverySecondaryWindow, ::testing::ValuesIn(openings),
    [](const ::testing::TestParamInfo<Opening>& info) { return std::string(info.param.name); });

// Every window, title bar included, inside the screen less its panels; the print window fills
// it, the list of boards is centred over the main window. Run once more on a virtual display, and
// on a small one under a window manager with a panel.
TEST_P(EverySecondaryWindow, OpensWhollyInsideTheScreensAvailableArea)
{
    MainWindowController& main = openMainWindow();
    // As a user sees it: the main window on screen, framed and fitted to the screen, before any
    // window is opened from it.
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    const QRect available = main.screen()->availableGeometry();
    ASSERT_TRUE(QTest::qWaitFor([&] { return available.contains(main.frameGeometry()); }, 5000))
        << "the main window at " << describe(main.frameGeometry()) << " on " << describe(available);
    QWidget* opened = GetParam().open(*this, main);
    ASSERT_NE(opened, nullptr);
    QWidget* window = opened->window();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    EXPECT_TRUE(available.contains(window->frameGeometry()))
        << window->metaObject()->className() << " at " << describe(window->frameGeometry()) << " on "
        << describe(available);
    if (qobject_cast<PrintSplitViewController*>(window)) {
        EXPECT_EQ(window->frameGeometry(), available);
    }
    if (qobject_cast<ProjectRecoveryViewController*>(window)) {
        const QPoint offset = window->frameGeometry().center() - main.frameGeometry().center();
        // Moved no further than the screen's edge needs.
        const QRect centred(main.frameGeometry().center() - QPoint(window->frameGeometry().width() / 2,
                                                                window->frameGeometry().height() / 2),
            window->frameGeometry().size());
        if (available.contains(centred)) {
            EXPECT_LE(offset.manhattanLength(), 2) << offset.x() << "," << offset.y();
        }
    }
}

TEST_F(SecondaryWindows, ExportAndImportAreDialogsThatHoldTheMainWindowStill)
{
    MainWindowController& window = openMainWindow();
    choose(window, A::showExport);
    auto* sheet = window.findChild<ImportExportViewController*>();
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->windowType(), Qt::Dialog);
    EXPECT_EQ(sheet->windowModality(), Qt::WindowModal);
    EXPECT_EQ(sheet->parentWidget(), &window);
    EXPECT_EQ(QApplication::activeModalWidget(), sheet);
    sheet->reject();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    filePanels.enqueueOpenAnswer(QStringLiteral(PELORINS_TESTS_DIR "/kit/archive/data/CompatibilityArchive"));
    choose(window, A::showImport);
    sheet = window.findChild<ImportExportViewController*>();
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->windowType(), Qt::Dialog);
    EXPECT_EQ(sheet->windowModality(), Qt::WindowModal);
    EXPECT_EQ(QApplication::activeModalWidget(), sheet);
    // The window held still, its menu bar too: quitting is still in reach.
    QApplication::setActiveWindow(sheet);
    QTest::keyClick(sheet, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(exitCodes, QList<int> {0});
}

TEST_F(SecondaryWindows, CtrlQQuitsFromTheWelcome)
{
    // The first launch: the welcome is the only window.
    assembly->appDelegate().showWelcomeScreen(nullptr);
    auto* welcome = qobject_cast<WelcomeWindowController*>(assembly->appDelegate().welcomeWindowController());
    ASSERT_NE(welcome, nullptr);
    ASSERT_EQ(assembly->mainWindow(), nullptr);
    QApplication::setActiveWindow(welcome);
    QTest::keyClick(welcome, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(exitCodes, QList<int> {0});

    // Opened again from Help over the main window: the key is one item's, never two.
    welcome->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    MainWindowController& window = openMainWindow();
    menuItemTitled(window, QStringLiteral("Welcome to Pelorins"))->trigger();
    welcome = topLevel<WelcomeWindowController>();
    ASSERT_NE(welcome, nullptr);
    QApplication::setActiveWindow(welcome);
    QTest::keyClick(welcome, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(exitCodes, (QList<int> {0, 0}));
}

// A modal file panel holds back the keys of every window behind it; Ctrl+Q in it quits all the
// same, and the panel ends as cancelled, in the program's event loop as the program runs it.
TEST_F(SecondaryWindows, CtrlQQuitsWhileAFilePanelIsOpen)
{
    MainWindowController& window = openMainWindow();
    QObject::connect(&assembly->appDelegate(), &AppDelegate::terminationRequested,
        [](int code) { QCoreApplication::exit(code); });
    FileDialogPanelPresenter panels(defaults);
    std::optional<std::optional<QString>> chosen;
    bool filePanel = false;
    QTimer::singleShot(0, [&] {
        QTimer::singleShot(0, [&] {
            QWidget* panel = QApplication::activeModalWidget();
            if (!panel)
                return;
            filePanel = qobject_cast<QFileDialog*>(panel) != nullptr;
            QApplication::setActiveWindow(panel);
            QTest::keyClick(panel->focusWidget() ? panel->focusWidget() : panel, Qt::Key_Q, Qt::ControlModifier);
        });
        chosen = panels.runSavePanel({{QStringLiteral("pdf")}, QStringLiteral("saveAsPDF")}, &window);
    });
    // A key that did nothing ends the loops too, with another code.
    QTimer giveUp;
    giveUp.setSingleShot(true);
    QObject::connect(&giveUp, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    giveUp.start(15000);
    EXPECT_EQ(QCoreApplication::exec(), 0);
    EXPECT_TRUE(filePanel);
    EXPECT_EQ(exitCodes, QList<int> {0});
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(*chosen, std::nullopt);
}

// A title of a megabyte: each row gets a little more than it can show, the editor the whole.
TEST_F(SecondaryWindows, ALongTitleReachesEveryRowCut)
{
    const QString title = QStringLiteral("Spring ") + QString(1 << 20, QLatin1Char('x'));
    board->setTitle(title);
    ASSERT_TRUE(manager->saveContext());
    const auto cut = [](const QVariant& shown) {
        const QString text = shown.toString();
        return text.startsWith(QStringLiteral("Spring xxx")) && text.size() <= RowText::maximumLength + 1;
    };
    MainWindowController& window = openMainWindow();
    SourceTreeModel* sidebar = assembly->sidebar()->model();
    const QModelIndex row = sidebar->indexForItem(board);
    EXPECT_TRUE(cut(sidebar->data(row, Qt::DisplayRole)));
    EXPECT_TRUE(cut(sidebar->data(row, Qt::ToolTipRole)));
    EXPECT_EQ(sidebar->data(row, Qt::EditRole).toString(), title);
    EXPECT_TRUE(cut(window.windowTitle()));
    choose(window, A::showHidePrintSetup);
    EXPECT_TRUE(cut(window.splitViewController()->printSetupWindow()->windowTitle().mid(14)));

    // Exported, then read back in the import sheet's preview.
    choose(window, A::showExport);
    auto* sheet = window.findChild<ImportExportViewController*>();
    ASSERT_NE(sheet, nullptr);
    QAbstractItemModel* rows = sheet->outlineView()->model();
    EXPECT_TRUE(cut(rows->data(rows->index(0, 0), Qt::DisplayRole)));
    const QString package = m_folder.filePath(QStringLiteral("Spring.Pelorins"));
    filePanels.enqueueSaveAnswer(package);
    QPointer<ImportExportViewController> exporting = sheet;
    sheet->mainButton()->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !exporting || !exporting->isVisible(); }, 20000));
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    filePanels.enqueueOpenAnswer(package);
    choose(window, A::showImport);
    sheet = window.findChild<ImportExportViewController*>();
    ASSERT_NE(sheet, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([sheet] { return !sheet->isReading(); }, 20000));
    QApplication::processEvents();
    rows = sheet->outlineView()->model();
    ASSERT_EQ(rows->rowCount(), 1);
    EXPECT_TRUE(cut(rows->data(rows->index(0, 0), Qt::DisplayRole)));
}
