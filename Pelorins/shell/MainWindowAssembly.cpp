#include "Pelorins/shell/MainWindowAssembly.h"

#include "Pelorins/archive/ImportExportViewController.h"
#include "Pelorins/board/BackgroundPicturePickerController.h"
#include "Pelorins/board/FilterViewController.h"
#include "Pelorins/board/InfoViewController.h"
#include "Pelorins/board/MacKanbanColumnsViewController.h"
#include "Pelorins/print/DialogPrintPanelPresenter.h"
#include "Pelorins/print/PrintInfo.h"
#include "Pelorins/print/PrintSplitViewController.h"
#include "Pelorins/print/TestPrintViewController.h"
#include "Pelorins/shell/AccessibleFactory.h"
#include "Pelorins/shell/AppDelegate.h"
#include "Pelorins/shell/MainSplitViewController.h"
#include "Pelorins/shell/MainWindowController.h"
#include "Pelorins/sidebar/KDLeftSidebarViewController.h"
#include "Pelorins/sidebar/ProjectRecoveryViewController.h"
#include "Pelorins/welcome/WelcomeWindowController.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/model/LocalizedString.h"
#include "PelorinsKit/store/CoreDataManager.h"
#include "PelorinsKit/store/StoreLoading.h"
#include "Platform/core/UndoManager.h"
#include "Platform/widgets/FocusFrameStyle.h"
#include "Platform/widgets/WindowPlacement.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenuBar>
#include <QPointer>

namespace {

QMenu* menuTitled(QMenuBar* bar, const QString& title)
{
    for (QAction* action : bar->actions()) {
        if (action->menu() && action->text() == title)
            return action->menu();
    }
    return bar->addMenu(title);
}

} // namespace

MainWindowAssembly::MainWindowAssembly(Services services, QObject* parent)
    : QObject(parent)
    , m_services(std::move(services))
    , m_printPanels(std::make_unique<DialogPrintPanelPresenter>())
{
    QCoreApplication::installTranslator(&m_texts);
    AccessibleFactory::install();
    FocusFrameStyle::install();
    m_delegate = std::make_unique<AppDelegate>(AppDelegate::Services {m_services.defaults, m_services.coreDataManager,
        m_services.eventStore, m_services.updater, m_services.alertPresenter, [this] { return makeMainWindow(); },
        [this](AppDelegate& appDelegate) -> std::unique_ptr<QWidget> {
            std::unique_ptr<WelcomeWindowController> welcome
                = WelcomeWindowController::make(appDelegate, m_services.defaults, m_welcomeClock);
            // On a first launch the welcome is the only window: it quits as the main window does.
            if (welcome)
                welcome->addAction(m_quitAction);
            return welcome;
        },
        m_services.urlOpener, m_services.examplesFolder, m_services.reminderCenter});
    m_router.setApplicationResponder(m_delegate.get());
    // Quitting is the application's, whichever of its windows is in front, and Ctrl+Q on every
    // desktop, also where the platform's theme binds no Quit key. One item serves every window,
    // so that the key is never claimed twice.
    m_quitAction = new QAction(local(QStringLiteral("Quit Pelorins")), this);
    m_quitAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    m_quitAction->setShortcutContext(Qt::ApplicationShortcut);
    m_router.connectAction(m_quitAction, QStringLiteral("terminate:"));
    qApp->installEventFilter(this);
}

MainWindowAssembly::~MainWindowAssembly() = default;

bool MainWindowAssembly::eventFilter(QObject* watched, QEvent* event)
{
    // A modal panel (a file panel, the print dialog, an alert) blocks shortcuts of the windows
    // behind it, so its Ctrl+Q arrives as a key nobody takes. Quitting asks as it always does; once
    // it goes ahead, every running event loop ends, the panel's too, which its caller reads as
    // cancelled. An alert of the quit itself never starts another.
    if (event->type() != QEvent::KeyPress || m_quitting || !watched->isWidgetType())
        return QObject::eventFilter(watched, event);
    QWidget* modal = QApplication::activeModalWidget();
    const auto* key = static_cast<QKeyEvent*>(event);
    if (!modal || m_quitAction->associatedObjects().contains(modal) || !m_quitAction->isEnabled()
        || QKeySequence(key->keyCombination()) != m_quitAction->shortcut()
        || static_cast<QWidget*>(watched)->window() != modal)
        return QObject::eventFilter(watched, event);
    m_quitting = true;
    m_quitAction->trigger();
    m_quitting = false;
    return true;
}

void MainWindowAssembly::launch(SingleInstance& instance, const QString& link)
{
    connect(m_delegate.get(), &AppDelegate::terminationRequested, this, [](int code) { QCoreApplication::exit(code); });
    m_delegate->receiveLinksFrom(instance);
    m_delegate->applicationWillFinishLaunching();
    if (!link.isEmpty())
        m_delegate->handleGetURLEvent(link);
    // After the event loop starts, so that a store failure can end it with its exit code.
    QMetaObject::invokeMethod(m_delegate.get(), &AppDelegate::applicationDidFinishLaunching, Qt::QueuedConnection);
}

std::unique_ptr<QWidget> MainWindowAssembly::makeMainWindow()
{
    // Each window keeps its own history.
    auto* undoManager = new UndoManager;
    auto window = std::make_unique<MainWindowController>(
        MainWindowController::Services {&m_router, undoManager, &m_services.filePanelPresenter, &m_services.defaults});
    undoManager->setParent(window.get());
    m_mainWindow = window.get();
    m_splitView = window->splitViewController();
    connectSplitView(*m_splitView, *window);

    m_board = makeBoard(*m_splitView, *undoManager);
    m_sidebar = makeSidebar(*m_splitView, *undoManager);
    connectSidebar(*m_sidebar, *m_splitView);
    connectBoard(*m_board, *m_sidebar, *window);
    m_splitView->setExampleImporter([this](bool isShort) { m_delegate->importExamples(isShort); });
    m_splitView->setImportExportSheetFactory([this](const std::optional<QString>& document, QWidget* parent) {
        auto* sheet = new ImportExportViewController({m_services.coreDataManager, m_services.filePanelPresenter,
                                                         [this] { return m_delegate->saveAction(m_delegate.get()); }},
            document, parent);
        // The sheet holds its main window still, menu bar and all: quitting stays in reach.
        sheet->addAction(m_quitAction);
        // The imported folder shows at once.
        QPointer<KDLeftSidebarViewController> sidebar = m_sidebar;
        connect(sheet, &QDialog::accepted, sheet, [sidebar] {
            if (sidebar)
                sidebar->refreshListWhileKeepingSelection();
        });
        return sheet;
    });

    m_splitView->setPrintSetupWindowFactory(
        [this](Kanban* kanban) -> QWidget* { return PrintSplitViewController::make(printServices(), kanban); });
    m_splitView->setTestPrintViewControllerFactory(
        [this] { return std::make_unique<TestPrintViewController>(printServices()); });

    addApplicationMenuItems(*window);
    window->showWindow();
    return window;
}

PrintServices MainWindowAssembly::printServices() const
{
    // The printers are asked for only once something is printed.
    return {PrintInfo::shared(), m_services.filePanelPresenter, *m_printPanels, m_services.alertPresenter};
}

MainWindowController* MainWindowAssembly::mainWindow() const
{
    return m_mainWindow;
}

MainSplitViewController* MainWindowAssembly::splitView() const
{
    return m_splitView;
}

KDLeftSidebarViewController* MainWindowAssembly::sidebar() const
{
    return m_sidebar;
}

MacKanbanColumnsViewController* MainWindowAssembly::board() const
{
    return m_board;
}

void MainWindowAssembly::connectSplitView(MainSplitViewController& splitView, MainWindowController& window)
{
    connect(&splitView, &MainSplitViewController::searchCleared, &window, &MainWindowController::clearSearchField);
    connect(&splitView, &MainSplitViewController::sidebarLayoutChanged, &window,
        &MainWindowController::updateSidebarButtonToolTip);
}

ProjectRecoveryViewController* MainWindowAssembly::projectRecovery() const
{
    return m_projectRecovery;
}

void MainWindowAssembly::showProjectRecovery(QWidget* parent)
{
    if (!m_projectRecovery) {
        m_projectRecovery = new ProjectRecoveryViewController(m_services.coreDataManager.context(), parent);
        m_projectRecovery->setWindowFlag(Qt::Window);
        m_projectRecovery->setAttribute(Qt::WA_DeleteOnClose);
        WindowPlacement::centre(*m_projectRecovery, parent);
    }
    m_projectRecovery->show();
    m_projectRecovery->raise();
    m_projectRecovery->activateWindow();
}

KDLeftSidebarViewController* MainWindowAssembly::makeSidebar(
    MainSplitViewController& splitView, UndoManager& undoManager)
{
    KDLeftSidebarViewController::Services services(m_services.coreDataManager.context(), m_services.defaults,
        [this] { m_delegate->saveAction(m_delegate.get()); });
    services.undoManager = &undoManager;
    services.alertPresenter = &m_services.alertPresenter;
    services.urlOpener = m_services.urlOpener;
    services.openSupportPage = [this] { m_delegate->openSupportPage(m_delegate.get()); };
    services.loading = m_services.coreDataManager.loading();
    auto* sidebar = new KDLeftSidebarViewController(std::move(services), &splitView);
    splitView.setSidebarViewController(sidebar);
    return sidebar;
}

void MainWindowAssembly::connectSidebar(KDLeftSidebarViewController& sidebar, MainSplitViewController& splitView)
{
    connect(&sidebar, &KDLeftSidebarViewController::boardShown, &splitView,
        [&splitView](Kanban* kanban) { splitView.showDisplayItem(kanban); });
    connect(&sidebar, &KDLeftSidebarViewController::searchFieldClearRequested, &splitView,
        &MainSplitViewController::clearSearchField);
}

MacKanbanColumnsViewController* MainWindowAssembly::makeBoard(
    MainSplitViewController& splitView, UndoManager& undoManager)
{
    MacKanbanColumnsViewController::Services services;
    services.context = m_services.coreDataManager.context();
    services.save = [this] { m_delegate->saveAction(m_delegate.get()); };
    services.undoManager = &undoManager;
    services.defaults = &m_services.defaults;
    services.systemEvents = m_services.systemEventMonitor;
    services.eventStore = &m_services.eventStore;
    services.reminderCenter = m_services.reminderCenter;
    services.router = &m_router;
    services.alertPresenter = &m_services.alertPresenter;
    services.reader = m_services.coreDataManager.jsonReader();
    if (StoreLoading* loading = m_services.coreDataManager.loading())
        services.prepareBoard = [loading = QPointer<StoreLoading>(loading)](Kanban* kanban) {
            if (loading)
                loading->loadBoard(kanban);
        };
    auto* board = new MacKanbanColumnsViewController(services);
    splitView.setKanbanColumnsViewController(board);
    return board;
}

void MainWindowAssembly::connectBoard(
    MacKanbanColumnsViewController& board, KDLeftSidebarViewController& sidebar, MainWindowController& window)
{
    connect(&sidebar, &KDLeftSidebarViewController::cardRevealRequested, &board,
        &MacKanbanColumnsViewController::showAndSelect);
    // The cards may have left the board shown, or come to it.
    connect(&sidebar, &KDLeftSidebarViewController::cardsMovedToBoard, &board,
        &MacKanbanColumnsViewController::reloadColumns);
    connect(
        &board, &MacKanbanColumnsViewController::tagFilterChanged, &window, &MainWindowController::setTagFilterActive);
    connect(&board, &MacKanbanColumnsViewController::kanbanReleased, &window,
        [&window] { window.setCurrentDisplayItem(nullptr); });
    // The tags button opens the filter of the board shown, which the board answers.
    window.setFilterPanelFactory([board = QPointer<MacKanbanColumnsViewController>(&board)](BoardPane*) -> QWidget* {
        return board ? new FilterViewController(board, board->notificationCenter()) : nullptr;
    });
    // The background button's info panel and the Debug menu's picker work on the board shown.
    const BackgroundChoices::Services choices {[this] { m_delegate->saveAction(m_delegate.get()); },
        &m_services.filePanelPresenter, &m_services.alertPresenter, &board.notificationCenter()};
    window.setInfoPanelFactory([window = QPointer<MainWindowController>(&window),
                                   board = QPointer<MacKanbanColumnsViewController>(&board), choices]() -> QWidget* {
        if (!window)
            return nullptr;
        return new InfoViewController({window.data(), choices, board.data()});
    });
    window.setPicturePickerFactory([board = QPointer<MacKanbanColumnsViewController>(&board), choices]() -> QWidget* {
        if (!board || !board->kanban())
            return nullptr;
        auto* picker = new BackgroundPicturePickerController(choices);
        picker->setKanban(board->kanban());
        return picker;
    });
}

// The program's own items beside the window's: saving, preferences, quitting and help.
void MainWindowAssembly::addApplicationMenuItems(MainWindowController& window)
{
    const auto addItem = [this](QMenu* menu, const QString& title, const QString& action, QKeySequence shortcut = {}) {
        QAction* item = menu->addAction(title);
        item->setShortcut(shortcut);
        m_router.connectAction(item, action);
        return item;
    };
    QMenu* file = menuTitled(window.menuBar(), local(QStringLiteral("&File")));
    file->addSeparator();
    addItem(file, local(QStringLiteral("Save")), QStringLiteral("saveAction:"), QKeySequence::Save);
    addItem(file, local(QStringLiteral("Preferences…")), QStringLiteral("showPreferences:"), QKeySequence::Preferences);
    file->addSeparator();
    file->addAction(m_quitAction);
    QMenu* help = menuTitled(window.menuBar(), local(QStringLiteral("&Help")));
    addItem(help, local(QStringLiteral("Welcome to Pelorins")), QStringLiteral("showWelcomeScreenWithSender:"));
    addItem(help, local(QStringLiteral("Pelorins Support")), QStringLiteral("openSupportPage:"));
    addItem(help, local(QStringLiteral("Reset Button Tutorials")), QStringLiteral("resetButtonTutorials:"));
    help->addSeparator();
    QWidget* parent = &window;
    connect(help->addAction(local(QStringLiteral("Project Recovery…"))), &QAction::triggered, this,
        [this, parent] { showProjectRecovery(parent); });
    m_router.trackMenu(file);
    m_router.trackMenu(help);
}
