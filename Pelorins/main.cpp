// The one place that wires the program's real services.

#include "Pelorins/shell/AppDelegate.h"
#include "Pelorins/sidebar/KDLeftSidebarViewController.h"
#include "Pelorins/shell/MainSplitViewController.h"
#include "Pelorins/shell/MainWindowController.h"
#include "PelorinsKit/store/CoreDataManager.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/LocalizedString.h"
#include "Platform/core/UndoManager.h"
#include "Platform/core/UserDefaults.h"
#include "Platform/services/DBusReminderCenter.h"
#include "Platform/services/PackageManagerUpdater.h"
#include "Platform/services/SingleInstance.h"
#include "Platform/services/VdirCalendarStore.h"
#include "Platform/widgets/ActionRouter.h"
#include "Platform/widgets/FileDialogPanelPresenter.h"
#include "Platform/widgets/MessageBoxAlertPresenter.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMainWindow>
#include <QMenuBar>

namespace {

// The card link the desktop passes for a "pelorins:" address; empty when there is none.
QString cardLinkArgument(const QStringList& arguments)
{
    for (const QString& argument : arguments.mid(1)) {
        if (argument.startsWith(QLatin1String("pelorins:"), Qt::CaseInsensitive))
            return argument;
    }
    return {};
}

QMenu* menuTitled(QMenuBar* bar, const QString& title)
{
    for (QAction* action : bar->actions()) {
        if (action->menu() && action->text() == title)
            return action->menu();
    }
    return bar->addMenu(title);
}

// The program's own items beside the window's: saving, preferences, quitting and help.
void addApplicationMenuItems(QMainWindow& window, ActionRouter& router)
{
    const auto addItem = [&](QMenu* menu, const QString& title, const QString& action, QKeySequence shortcut = {}) {
        QAction* item = menu->addAction(title);
        item->setShortcut(shortcut);
        router.connectAction(item, action);
    };
    QMenu* file = menuTitled(window.menuBar(), local(QStringLiteral("&File")));
    file->addSeparator();
    addItem(file, local(QStringLiteral("Save")), QStringLiteral("saveAction:"), QKeySequence::Save);
    addItem(file, local(QStringLiteral("Preferences…")), QStringLiteral("showPreferences:"), QKeySequence::Preferences);
    file->addSeparator();
    addItem(file, local(QStringLiteral("Quit Pelorins")), QStringLiteral("terminate:"), QKeySequence::Quit);
    QMenu* help = menuTitled(window.menuBar(), local(QStringLiteral("&Help")));
    addItem(help, local(QStringLiteral("Pelorins Support")), QStringLiteral("openSupportPage:"));
    addItem(help, local(QStringLiteral("Reset Button Tutorials")), QStringLiteral("resetButtonTutorials:"));
    router.trackMenu(file);
    router.trackMenu(help);
}

std::unique_ptr<QWidget> makeMainWindow(
    ActionRouter& router, FilePanelPresenter& filePanelPresenter, UserDefaults& defaults, AppDelegate& delegate)
{
    // Each window keeps its own history.
    auto* undoManager = new UndoManager;
    auto window = std::make_unique<MainWindowController>(
        MainWindowController::Services {&router, undoManager, &filePanelPresenter, &defaults});
    undoManager->setParent(window.get());

    MainSplitViewController* split = window->splitViewController();
    auto* sidebar = new KDLeftSidebarViewController(
        CoreDataManager::shared().context(), defaults, [&delegate] { delegate.saveAction(&delegate); }, split);
    split->setSidebarViewController(sidebar);
    QObject::connect(sidebar, &KDLeftSidebarViewController::boardShown, split,
        [split](Kanban* kanban) { split->showDisplayItem(kanban); });
    split->setExampleImporter([&delegate](bool isShort) { delegate.importExamples(isShort); });
    addApplicationMenuItems(*window, router);
    window->showWindow();
    return window;
}

std::optional<QStringList> chooseCalendarFolder()
{
    const QString folder
        = QFileDialog::getExistingDirectory(nullptr, local(QStringLiteral("Choose a Calendar Folder")));
    if (folder.isEmpty())
        return std::nullopt;
    return QStringList {folder};
}

} // namespace

int main(int argc, char** argv)
{
    Q_INIT_RESOURCE(PelorinsResources);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pelorins"));
    QApplication::setOrganizationDomain(QStringLiteral("morvance.com"));
    QApplication::setDesktopFileName(QStringLiteral("pelorins"));

    // A later start hands its card link to the running program and ends here.
    SingleInstance instance;
    if (instance.start(cardLinkArgument(QApplication::arguments())) == SingleInstance::Role::Secondary)
        return 0;

    UserDefaults& defaults = UserDefaults::standard();
    VdirCalendarStore eventStore(defaults, chooseCalendarFolder);
    PackageManagerUpdater updater(defaults);
    MessageBoxAlertPresenter alertPresenter;
    FileDialogPanelPresenter filePanelPresenter;
    DBusReminderCenter reminderCenter;
    ActionRouter router;

    // The main window is made by the delegate, and its sidebar saves through the delegate.
    AppDelegate* delegatePointer = nullptr;
    AppDelegate delegate({defaults, CoreDataManager::shared(), eventStore, updater, alertPresenter,
        [&] { return makeMainWindow(router, filePanelPresenter, defaults, *delegatePointer); },
        // The welcome pages are not built yet: the first launch goes straight to the main window.
        [](AppDelegate& appDelegate) { appDelegate.showMainWindow(&appDelegate); },
        [](const QUrl& url) { return QDesktopServices::openUrl(url); }, QStringLiteral(":/examples"), &reminderCenter});
    delegatePointer = &delegate;
    router.setApplicationResponder(&delegate);
    QObject::connect(
        &delegate, &AppDelegate::terminationRequested, &app, [](int code) { QCoreApplication::exit(code); });
    delegate.receiveLinksFrom(instance);

    delegate.applicationWillFinishLaunching();
    const QString link = cardLinkArgument(QApplication::arguments());
    if (!link.isEmpty())
        delegate.handleGetURLEvent(link);
    // After the event loop starts, so that a store failure can end it with its exit code.
    QMetaObject::invokeMethod(&delegate, &AppDelegate::applicationDidFinishLaunching, Qt::QueuedConnection);
    return app.exec();
}
