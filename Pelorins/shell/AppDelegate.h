#pragma once

#include "Pelorins/welcome/WelcomeDelegate.h"
#include "Platform/widgets/ActionResponder.h"

#include <QAction>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVariantMap>
#include <functional>
#include <memory>

class AlertPresenter;
class CalendarStore;
class CoreDataManager;
class PreferenceWindowController;
class QWidget;
class ReminderCenter;
class SingleInstance;
class SparkleHelper;
class StoreError;
class StoreWaitProgress;
class Updater;
class UserDefaults;

// The program's spine: it writes the first-launch defaults, sets up the store and brings it up to
// date, opens the main or the welcome window, turns card links into `cardURLReceived`, saves for
// every window and decides whether the program may quit. Every service comes in through
// `Services`, so tests can wire fakes; MainWindowAssembly wires the real ones.
class AppDelegate : public QObject, public ActionResponder, public WelcomeDelegate
{
    Q_OBJECT
public:
    enum class TerminateReply { terminateNow, terminateCancel };

    // A new main window, owned from then on by the delegate; null when none can be made.
    using MainWindowFactory = std::function<std::unique_ptr<QWidget>()>;
    // A new welcome window, kept by the delegate while it is open; null when none can be made.
    using WelcomeWindowFactory = std::function<std::unique_ptr<QWidget>(AppDelegate&)>;

    struct Services
    {
        UserDefaults& defaults;
        CoreDataManager& coreDataManager;
        CalendarStore& eventStore;
        Updater& updater;
        AlertPresenter& alertPresenter;
        MainWindowFactory mainWindowFactory;
        // Makes the welcome window, whose pages end by calling showMainWindow.
        WelcomeWindowFactory welcomeOpener;
        // Asks the desktop to open a web page; false when it could not.
        std::function<bool(const QUrl&)> urlOpener;
        // Where "Examples_short.Pelorins" and "Examples.Pelorins" are.
        QString examplesFolder;
        // Reports clicks on delivered reminders; may be null.
        ReminderCenter* reminderCenter = nullptr;
    };

    static constexpr const char* mainWindowIdentifier = "mainWindow";
    static constexpr const char* newMainWindowIdentifier = "newMainWindow";
    static constexpr const char* welcomeWindowIdentifier = "welcomeWindow";
    static constexpr const char* supportPageAddress = "https://morvance.com/pelorins/support";

    explicit AppDelegate(Services services, QObject* parent = nullptr);
    ~AppDelegate() override;

    // The first-launch value of every key the program keeps in the user defaults.
    const QVariantMap& cleanState() const { return m_cleanState; }
    UserDefaults& defaults() const { return m_services.defaults; }
    CoreDataManager& coreDataManager() const { return m_services.coreDataManager; }
    CalendarStore& eventStore() const { return m_services.eventStore; }

    // Links that arrive before the store is loaded wait for it.
    void applicationWillFinishLaunching();
    void applicationDidFinishLaunching();

    // A "pelorins://" link from the command line or from a later start of the program.
    void handleGetURLEvent(const QString& link);
    // Takes the links of later starts of the program, and brings the main window forward for them.
    void receiveLinksFrom(SingleInstance& instance);
    // A clicked reminder; only a text under "urlString" counts.
    void userNotificationCenterDidActivate(const QVariantMap& userInfo);
    // Posts `cardURLReceived` with the card the link names; anything else is ignored.
    void openCard(const QString& urlString);

    void showMainWindow(QObject* sender) override;
    void showWelcomeScreen(QObject* sender);
    void showPreferences(QObject* sender);
    void importExamples(bool isShort);

    // Saves the store's pending changes; a failure is shown to the user. False when it failed.
    bool saveAction(QObject* sender);
    TerminateReply applicationShouldTerminate();
    // The Quit command: quits once applicationShouldTerminate agrees.
    void terminate(QObject* sender);

    void resetButtonTutorials(QObject* sender);
    void openSupportPage(QObject* sender);
    // Asks the desktop to open the page; when it cannot, shows the address for the user to copy.
    void openWebPage(const QString& urlString);
    void checkForUpdates(QObject* sender);

    // Moves the preferences of the program's earlier name into place when only they exist.
    void renameOldPreferencesFile();
    // Deletes the cards whose deletion was kept undoable; the context is not saved.
    void deleteCardsMarkedToBeDeleted();

    // The one-time migrations; each saves at its end and is true when it fully succeeded.
    bool addMissingHistory();
    bool convertTagsToHashTags();
    bool updateNoteStylesToVersion3();
    bool applyStrikeThroughToDoneCards();

    QWidget* mainWindowController() const { return m_mainWindowController.get(); }
    QWidget* welcomeWindowController() const { return m_welcomeWindowController.get(); }
    QAction* checkUpdatesItem() const { return m_checkUpdatesItem; }
    bool isStoreLoaded() const { return m_storeLoaded; }

    bool respondsTo(const QString& action) const override;
    void perform(const QString& action, QObject* sender) override;

signals:
    // The program should end with this exit code.
    void terminationRequested(int exitCode);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void registerMissingDefaults();
    // Sets the store up, through to the first window; false when it failed at once.
    bool setUpStore();
    void storeDidLoad(bool firstSetupCompleted);
    void openFirstWindow(bool firstSetupCompleted);
    // Starts reading the cards of the boards not shown, once.
    void loadRestOfStore();
    void runOneTimeMigrations();
    void runMigration(const QString& flag, const std::function<bool()>& migration);
    void addUpdateItem();
    void addUpdateItemToHelpMenu(QWidget* window);
    void storeFailed(const StoreError& error);
    void presentError(const QString& error);
    // What is typed into a card that has not reached it yet.
    void commitEditedNotes();

    Services m_services;
    QVariantMap m_cleanState;
    std::unique_ptr<QWidget> m_mainWindowController;
    std::unique_ptr<QWidget> m_welcomeWindowController;
    std::unique_ptr<SparkleHelper> m_sparkleHelper;
    std::unique_ptr<PreferenceWindowController> m_preferenceWindowController;
    std::unique_ptr<StoreWaitProgress> m_storeWaitProgress;
    QPointer<QAction> m_checkUpdatesItem;
    bool m_storeLoaded = false;
    bool m_acceptsLinks = false;
    bool m_restOfStoreRequested = false;
    QStringList m_pendingLinks;
};
