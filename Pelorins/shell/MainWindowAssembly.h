#pragma once

#include "Pelorins/print/PrintServices.h"
#include "Pelorins/shell/EnglishTexts.h"
#include "Platform/widgets/ActionRouter.h"
#include "Platform/widgets/layers/SteadyLayerClock.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <functional>
#include <memory>

class AlertPresenter;
class QAction;
class AppDelegate;
class CalendarStore;
class CoreDataManager;
class FilePanelPresenter;
class KDLeftSidebarViewController;
class MacKanbanColumnsViewController;
class MainSplitViewController;
class MainWindowController;
class PrintPanelPresenter;
class ProjectRecoveryViewController;
class QWidget;
class ReminderCenter;
class SingleInstance;
class SystemEventMonitor;
class UndoManager;
class Updater;
class UserDefaults;

// Builds the program from the services it is given: its English texts, the application delegate,
// and each main window with its panes, menu items and the connections between them. Panes never
// reach one another through their window: every connection between siblings is made here, and a
// new pane gets its own make… and connect… step in `makeMainWindow`.
class MainWindowAssembly : public QObject
{
    Q_OBJECT
public:
    struct Services
    {
        UserDefaults& defaults;
        CoreDataManager& coreDataManager;
        CalendarStore& eventStore;
        Updater& updater;
        AlertPresenter& alertPresenter;
        FilePanelPresenter& filePanelPresenter;
        // Asks the desktop to open a web page; false when it could not.
        std::function<bool(const QUrl&)> urlOpener;
        // Where the example archives are.
        QString examplesFolder;
        // Reports clicks on delivered reminders; may be null.
        ReminderCenter* reminderCenter = nullptr;
        // Sleep, wake, clock and time-zone changes, for the board's timers; may be null.
        SystemEventMonitor* systemEventMonitor = nullptr;
    };

    explicit MainWindowAssembly(Services services, QObject* parent = nullptr);
    ~MainWindowAssembly() override;

    // Ctrl+Q in a modal panel or alert, which holds back every other window's keys, quits too.
    bool eventFilter(QObject* watched, QEvent* event) override;

    AppDelegate& appDelegate() const { return *m_delegate; }
    ActionRouter& router() { return m_router; }

    // Starts the program: later starts hand their links over from now on, `link` (a card link
    // from the command line, or empty) opens once the store is loaded, launching finishes once
    // the event loop runs, and the program ends when the delegate says so.
    void launch(SingleInstance& instance, const QString& link);

    // A new main window with its panes and menu items, connected; the delegate owns it.
    std::unique_ptr<QWidget> makeMainWindow();

    // The parts of the main window made last; null once they are gone.
    MainWindowController* mainWindow() const;
    MainSplitViewController* splitView() const;
    KDLeftSidebarViewController* sidebar() const;
    MacKanbanColumnsViewController* board() const;

    // The project recovery window opened last; null once it is closed.
    ProjectRecoveryViewController* projectRecovery() const;

    // Opens the window that lists every board of the store, or brings it forward.
    void showProjectRecovery(QWidget* parent);

    // What the window shows of its content: the search field follows the board's search and the
    // sidebar button's tooltip the sidebar.
    static void connectSplitView(MainSplitViewController& splitView, MainWindowController& window);

private:
    PrintServices printServices() const;
    KDLeftSidebarViewController* makeSidebar(MainSplitViewController& splitView, UndoManager& undoManager);
    void connectSidebar(KDLeftSidebarViewController& sidebar, MainSplitViewController& splitView);
    MacKanbanColumnsViewController* makeBoard(MainSplitViewController& splitView, UndoManager& undoManager);
    void connectBoard(
        MacKanbanColumnsViewController& board, KDLeftSidebarViewController& sidebar, MainWindowController& window);
    void addApplicationMenuItems(MainWindowController& window);

    Services m_services;
    EnglishTexts m_texts;
    ActionRouter m_router;
    // The welcome's animations run on the system's steady time.
    SteadyLayerClock m_welcomeClock;
    std::unique_ptr<AppDelegate> m_delegate;
    std::unique_ptr<PrintPanelPresenter> m_printPanels;
    QAction* m_quitAction = nullptr;
    bool m_quitting = false;
    QPointer<MainWindowController> m_mainWindow;
    QPointer<MainSplitViewController> m_splitView;
    QPointer<KDLeftSidebarViewController> m_sidebar;
    QPointer<ProjectRecoveryViewController> m_projectRecovery;
    QPointer<MacKanbanColumnsViewController> m_board;
};
