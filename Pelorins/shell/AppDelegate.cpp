#include "Pelorins/shell/AppDelegate.h"

#include "Pelorins/card/ListItemCellView.h"
#include "Pelorins/card/NotesTextView.h"
#include "Pelorins/shell/DoneCardsMigrator.h"
#include "Pelorins/shell/PreferenceWindowController.h"
#include "Pelorins/shell/SparkleHelper.h"
#include "Pelorins/shell/StoreWaitProgress.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/model/LocalizedString.h"
#include "PelorinsKit/model/NotificationName.h"
#include "PelorinsKit/store/CoreDataManager.h"
#include "PelorinsKit/store/SharedMethods.h"
#include "PelorinsKit/store/StoreError.h"
#include "PelorinsKit/store/StoreLoading.h"
#include "Platform/core/ConsoleLog.h"
#include "Platform/core/NotificationCenter.h"
#include "Platform/core/UserDefaults.h"
#include "Platform/services/CalendarStore.h"
#include "Platform/services/ReminderCenter.h"
#include "Platform/services/SingleInstance.h"
#include "Platform/services/Updater.h"
#include "Platform/widgets/AlertPresenter.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QStandardPaths>
#include <QTimer>
#include <QWidget>
#include <algorithm>

namespace {

const QString numberOfLaunchesKey = QStringLiteral("numberOfLaunches");
const QString firstSetupCompletedKey = QStringLiteral("firstSetupCompleted");
const QString addedMissingHistoryKey = QStringLiteral("addedMissingHistory");
const QString doneCardsMigratedKey = QStringLiteral("doneCardsMigrated");
const QString convertedTagsToHashTagsKey = QStringLiteral("convertedTagsToHashTags");
const QString stylesUpdatedToVersion3Key = QStringLiteral("stylesUpdatedToVersion3");
const QString tutorialShownStep1Key = QStringLiteral("tutorialShownStep1");
const QString tutorialShownStep2Key = QStringLiteral("tutorialShownStep2");

const QString preferencesFileName = QStringLiteral("com.morvance.Pelorins.conf");
const QString oldPreferencesFileName = QStringLiteral("com.morvance.Quenfield.conf");

const QString checkUpdatesTitle = QStringLiteral("Check Updates…");
const QString checkForUpdatesAction = QStringLiteral("checkForUpdates:");
const QString showMainWindowAction = QStringLiteral("showMainWindowWithSender:");
const QString showWelcomeScreenAction = QStringLiteral("showWelcomeScreenWithSender:");
const QString showPreferencesAction = QStringLiteral("showPreferences:");
const QString saveActionName = QStringLiteral("saveAction:");
const QString terminateAction = QStringLiteral("terminate:");
const QString resetButtonTutorialsAction = QStringLiteral("resetButtonTutorials:");
const QString openSupportPageAction = QStringLiteral("openSupportPage:");

// Longer than any identifier the program makes; a longer link is not a card link.
constexpr int maximumIdentifierLength = 256;

QVariantMap makeCleanState()
{
    return {
        {QStringLiteral("showArchived"), true},
        {QStringLiteral("mergedTitleNote"), false},
        {convertedTagsToHashTagsKey, false},
        {QStringLiteral("assignedColoursToTags"), false},
        {numberOfLaunchesKey, 0},
        {QStringLiteral("lastSelectedSourceItem"), 0},
        {QStringLiteral("moveAllDoneCardsToMainColumn"), false},
        {QStringLiteral("markArchivedItemsAsDone"), false},
        {QStringLiteral("windowPositionSet"), false},
        {QStringLiteral("strikeThroughAppliedToArchivedCards"), false},
        {QStringLiteral("stylesUpdatedToVersion2"), false},
        {stylesUpdatedToVersion3Key, false},
        {addedMissingHistoryKey, false},
        {QStringLiteral("viewAsMultiColumn"), true},
        {firstSetupCompletedKey, false},
        {QStringLiteral("demoScrolledToDoneColumn"), false},
        {doneCardsMigratedKey, false},
        {QStringLiteral("dueHour"), 17},
        {QStringLiteral("dueMinute"), 0},
        {QStringLiteral("dueSoonDefinition"), 1},
        {QStringLiteral("feedbackState"), 0},
        {tutorialShownStep1Key, false},
        {tutorialShownStep2Key, false},
    };
}

// The card identifier of a "pelorins://ID" link ("pelorins:ID" and one trailing slash are
// tolerated); nothing for any other text.
std::optional<QString> cardIdentifier(const QString& urlString)
{
    const QUrl url(urlString.trimmed(), QUrl::StrictMode);
    if (!url.isValid() || url.scheme() != QLatin1String("pelorins") || url.hasQuery() || url.hasFragment()
        || !url.userInfo().isEmpty() || url.port() != -1)
        return std::nullopt;
    // The host is read from the text: QUrl lowers its case, and identifiers are upper case.
    QString identifier = url.host().isEmpty()
        ? url.path(QUrl::FullyDecoded)
        : QUrl::fromPercentEncoding(urlString.trimmed().section(QLatin1Char('/'), 2, 2).toUtf8()) + url.path();
    if (identifier.startsWith(QLatin1Char('/')))
        identifier.remove(0, 1);
    if (identifier.endsWith(QLatin1Char('/')))
        identifier.chop(1);
    if (identifier.isEmpty() || identifier.size() > maximumIdentifierLength || identifier.contains(QLatin1Char('/')))
        return std::nullopt;
    for (const QChar c : identifier) {
        if (c.isSpace() || !c.isPrint())
            return std::nullopt;
    }
    return identifier;
}

QString describe(const QVariant& value)
{
    return value.typeId() == QMetaType::Bool ? (value.toBool() ? QStringLiteral("true") : QStringLiteral("false"))
                                             : value.toString();
}

QMenu* helpMenuOf(QWidget* window)
{
    auto* mainWindow = qobject_cast<QMainWindow*>(window);
    QMenuBar* bar = mainWindow ? mainWindow->menuBar() : window->findChild<QMenuBar*>();
    if (!bar)
        return nullptr;
    for (QAction* action : bar->actions()) {
        if (action->menu() && QString(action->text()).remove(QLatin1Char('&')) == QLatin1String("Help"))
            return action->menu();
    }
    return nullptr;
}

// The actions the application answers itself, whichever window is in front.
using ApplicationAction = void (*)(AppDelegate&, QObject*);
const QHash<QString, ApplicationAction>& applicationActions()
{
    static const QHash<QString, ApplicationAction> actions {
        {showMainWindowAction, [](AppDelegate& app, QObject* sender) { app.showMainWindow(sender); }},
        {showWelcomeScreenAction, [](AppDelegate& app, QObject* sender) { app.showWelcomeScreen(sender); }},
        {showPreferencesAction, [](AppDelegate& app, QObject* sender) { app.showPreferences(sender); }},
        {saveActionName, [](AppDelegate& app, QObject* sender) { app.saveAction(sender); }},
        {terminateAction, [](AppDelegate& app, QObject* sender) { app.terminate(sender); }},
        {resetButtonTutorialsAction, [](AppDelegate& app, QObject* sender) { app.resetButtonTutorials(sender); }},
        {openSupportPageAction, [](AppDelegate& app, QObject* sender) { app.openSupportPage(sender); }},
        {checkForUpdatesAction, [](AppDelegate& app, QObject* sender) { app.checkForUpdates(sender); }},
    };
    return actions;
}

// Shows, raises and activates every top-level window with one of `identifiers`; false when
// there is none.
bool bringForwardWindowsNamed(const QStringList& identifiers)
{
    bool found = false;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (!identifiers.contains(window->objectName()))
            continue;
        window->show();
        window->raise();
        window->activateWindow();
        found = true;
    }
    return found;
}

// An alert the user can only acknowledge.
void tell(AlertPresenter& presenter, QWidget* parent, const QString& message, const QString& details,
    AlertPresenter::Style style = AlertPresenter::Style::Warning)
{
    AlertPresenter::Alert alert;
    alert.messageText = message;
    alert.informativeText = details;
    alert.buttonTitles = {local(QStringLiteral("OK"))};
    alert.style = style;
    presenter.runModal(alert, parent);
}

} // namespace

AppDelegate::AppDelegate(Services services, QObject* parent)
    : QObject(parent)
    , m_services(std::move(services))
    , m_cleanState(makeCleanState())
{
}

AppDelegate::~AppDelegate() = default;

void AppDelegate::applicationWillFinishLaunching()
{
    m_acceptsLinks = true;
}

void AppDelegate::applicationDidFinishLaunching()
{
    // Asking for access opens the calendar chooser; a new user is asked when linking a card.
    CalendarStore& eventStore = m_services.eventStore;
    if (eventStore.authorizationStatus() == CalendarStore::AuthorizationStatus::Authorized) {
        eventStore.requestAccess([](bool, const QString& error) {
            if (!error.isEmpty())
                ConsoleLog::write(QStringLiteral("error requesting access to event store ") + error);
        });
    }

    QStringList documents;
    for (const QString& folder : QStandardPaths::standardLocations(QStandardPaths::DocumentsLocation))
        documents << QUrl::fromLocalFile(folder).toString();
    ConsoleLog::write(
        QStringLiteral("Documents Directory [") + documents.join(QStringLiteral(", ")) + QLatin1Char(']'));

    renameOldPreferencesFile();

    if (m_services.reminderCenter) {
        connect(m_services.reminderCenter, &ReminderCenter::activated, this, &AppDelegate::openCard);
        // Reminders missed while the program was closed come now, once.
        m_services.reminderCenter->start();
    }

    registerMissingDefaults();

    UserDefaults& defaults = m_services.defaults;
    defaults.setValue(numberOfLaunchesKey, defaults.integerForKey(numberOfLaunchesKey) + 1);
    defaults.synchronize();

    if (setUpStore())
        addUpdateItem();
}

bool AppDelegate::setUpStore()
{
    const bool firstSetupCompleted = m_services.defaults.boolForKey(firstSetupCompletedKey);
    try {
        m_services.coreDataManager.setup([this, firstSetupCompleted] { storeDidLoad(firstSetupCompleted); },
            [this](const StoreError& error) { storeFailed(error); });
    } catch (const StoreError& error) {
        storeFailed(error);
        return false;
    }
    return true;
}

void AppDelegate::registerMissingDefaults()
{
    UserDefaults& defaults = m_services.defaults;
    for (auto it = m_cleanState.cbegin(); it != m_cleanState.cend(); ++it) {
        if (defaults.contains(it.key()))
            continue;
        ConsoleLog::write(QStringLiteral("setting ") + describe(it.value()) + QStringLiteral(" for key ") + it.key());
        defaults.setValue(it.key(), it.value());
    }
}

void AppDelegate::renameOldPreferencesFile()
{
    const QDir folder = QFileInfo(m_services.defaults.filePath()).absoluteDir();
    const QString current = folder.filePath(preferencesFileName);
    const QString old = folder.filePath(oldPreferencesFileName);
    if (QFileInfo::exists(current) || !QFileInfo::exists(old))
        return;
    QFile file(old);
    if (!file.rename(current)) {
        ConsoleLog::write(QStringLiteral("Renaming preferences error ") + file.errorString());
        return;
    }
    // Reads the moved file into the defaults already open on the new name.
    m_services.defaults.synchronize();
}

void AppDelegate::storeDidLoad(bool firstSetupCompleted)
{
    m_storeLoaded = true;
    if (StoreLoading* loading = m_services.coreDataManager.loading()) {
        if (!m_storeWaitProgress)
            m_storeWaitProgress = std::make_unique<StoreWaitProgress>();
        loading->setWaitReporter([progress = m_storeWaitProgress.get()](qint64 done, qint64 total) {
            progress->report(done, total);
        });
    }
    if (m_services.coreDataManager.isReadOnly()) {
        // Said once, here: each failed save after it goes to the console only.
        tell(m_services.alertPresenter, nullptr, local(QStringLiteral("Pelorins cannot save changes.")),
            local(QStringLiteral("%1 cannot be written: you can read, but changes are not kept."))
                .arg(QDir::toNativeSeparators(m_services.coreDataManager.applicationDocumentsDirectory())));
    }
    // The migrations need the loaded store, and the first window shows their result.
    runOneTimeMigrations();
    QTimer::singleShot(0, this, [this, firstSetupCompleted] { openFirstWindow(firstSetupCompleted); });
}

void AppDelegate::runOneTimeMigrations()
{
    // Each walks every card, and the history of each.
    const QStringList flags {addedMissingHistoryKey, doneCardsMigratedKey, convertedTagsToHashTagsKey,
        stylesUpdatedToVersion3Key};
    const bool anyDue = std::any_of(
        flags.cbegin(), flags.cend(), [this](const QString& flag) { return !m_services.defaults.boolForKey(flag); });
    if (StoreLoading* loading = m_services.coreDataManager.loading(); anyDue && loading && !loading->loadWholeStore(true))
        return;
    runMigration(addedMissingHistoryKey, [this] { return addMissingHistory(); });
    runMigration(doneCardsMigratedKey, [this] {
        return DoneCardsMigrator::migrateDoneCards(coreDataManager().context(), [this] { return saveAction(nullptr); });
    });
    runMigration(convertedTagsToHashTagsKey, [this] { return convertTagsToHashTags(); });
    runMigration(stylesUpdatedToVersion3Key, [this] {
        // Restyling replaces the strikethrough's neighbours, so it comes first.
        const bool restyled = updateNoteStylesToVersion3();
        return applyStrikeThroughToDoneCards() && restyled;
    });
}

void AppDelegate::runMigration(const QString& flag, const std::function<bool()>& migration)
{
    if (m_services.defaults.boolForKey(flag))
        return;
    // A migration that failed runs again at the next launch.
    if (migration())
        m_services.defaults.setValue(flag, true);
}

void AppDelegate::openFirstWindow(bool firstSetupCompleted)
{
    if (firstSetupCompleted) {
        showMainWindow(this);
    } else {
        // The examples go in first, so that whatever window opens shows them.
        if (!m_services.coreDataManager.getRootObject(false))
            importExamples(true);
        showWelcomeScreen(this);
    }
    const QStringList links = std::exchange(m_pendingLinks, {});
    for (const QString& link : links)
        openCard(link);
    // The rest of the store comes in once the main window has painted (see eventFilter).
    if (!m_mainWindowController)
        loadRestOfStore();
}

void AppDelegate::loadRestOfStore()
{
    if (std::exchange(m_restOfStoreRequested, true))
        return;
    if (StoreLoading* loading = m_services.coreDataManager.loading())
        loading->start();
}

void AppDelegate::storeFailed(const StoreError& error)
{
    ConsoleLog::write(error.message());
    AlertPresenter::Alert alert;
    alert.messageText = local(QStringLiteral("Pelorins cannot open its data."));
    alert.informativeText = error.message();
    alert.buttonTitles = {local(QStringLiteral("Quit"))};
    alert.style = AlertPresenter::Style::Critical;
    const bool inUse = error.reason() == StoreError::Reason::InUse;
    if (inUse) {
        // The file is fine: the user can end the other program and go on.
        alert.informativeText
            = local(QStringLiteral("%1 is in use by another program. Quit it, then choose Try Again."))
                  .arg(QDir::toNativeSeparators(m_services.coreDataManager.storePath()));
        alert.buttonTitles = {local(QStringLiteral("Try Again")), local(QStringLiteral("Quit"))};
    }
    if (m_services.alertPresenter.runModal(alert, nullptr) == 0 && inUse) {
        // Later, so that every try starts afresh rather than inside the one before.
        QTimer::singleShot(0, this, [this] {
            if (setUpStore())
                addUpdateItem();
        });
        return;
    }
    emit terminationRequested(1);
}

void AppDelegate::addUpdateItem()
{
    if (!m_sparkleHelper)
        m_sparkleHelper = std::make_unique<SparkleHelper>(m_services.defaults);
    m_services.updater.setDelegate(m_sparkleHelper.get());
    if (m_checkUpdatesItem)
        return;
    m_checkUpdatesItem = new QAction(checkUpdatesTitle, this);
    m_checkUpdatesItem->setMenuRole(QAction::NoRole);
    connect(m_checkUpdatesItem, &QAction::triggered, this, [this] { checkForUpdates(m_checkUpdatesItem); });
    if (m_mainWindowController)
        addUpdateItemToHelpMenu(m_mainWindowController.get());
}

void AppDelegate::addUpdateItemToHelpMenu(QWidget* window)
{
    QMenu* help = m_checkUpdatesItem ? helpMenuOf(window) : nullptr;
    if (!help || help->actions().contains(m_checkUpdatesItem))
        return;
    const QList<QAction*> items = help->actions();
    help->insertAction(items.size() > 1 ? items.at(1) : nullptr, m_checkUpdatesItem);
}

void AppDelegate::checkForUpdates(QObject*)
{
    const Updater::Message message = m_services.updater.checkForUpdates();
    tell(m_services.alertPresenter, m_mainWindowController.get(), message.title, message.text,
        AlertPresenter::Style::Informational);
}

void AppDelegate::handleGetURLEvent(const QString& link)
{
    if (!m_acceptsLinks)
        return;
    if (!m_storeLoaded) {
        m_pendingLinks << link;
        return;
    }
    openCard(link);
}

void AppDelegate::receiveLinksFrom(SingleInstance& instance)
{
    connect(&instance, &SingleInstance::activationRequested, this, [this] {
        // Before the store is loaded, the first window is still to come.
        if (m_storeLoaded)
            showMainWindow(this);
    });
    connect(&instance, &SingleInstance::linkReceived, this, &AppDelegate::handleGetURLEvent);
}

void AppDelegate::userNotificationCenterDidActivate(const QVariantMap& userInfo)
{
    const QVariant urlString = userInfo.value(QStringLiteral("urlString"));
    if (urlString.typeId() == QMetaType::QString)
        openCard(urlString.toString());
}

void AppDelegate::openCard(const QString& urlString)
{
    ManagedObjectContext* context = m_services.coreDataManager.context();
    const std::optional<QString> identifier = cardIdentifier(urlString);
    if (!context || !identifier)
        return;
    // The card may be on any board.
    if (StoreLoading* loading = m_services.coreDataManager.loading(); loading && !loading->loadWholeStore())
        return;
    // Links may pass through programs that change the case of what follows the scheme.
    FetchRequest request(QStringLiteral("ListItem"), [&](const ManagedObject* object) {
        const auto* card = static_cast<const ListItem*>(object);
        return card->uniqueIdentifier().compare(*identifier, Qt::CaseInsensitive) == 0;
    });
    request.fetchLimit = 1;
    const QList<ListItem*> cards = context->fetchAs<ListItem>(request);
    if (cards.isEmpty())
        return;
    NotificationCenter::shared().post(
        NotificationName::cardURLReceived, this, {{QStringLiteral("listItem"), QVariant::fromValue(cards.first())}});
}

void AppDelegate::showMainWindow(QObject*)
{
    if (bringForwardWindowsNamed({QLatin1String(mainWindowIdentifier), QLatin1String(newMainWindowIdentifier)}))
        return;

    m_mainWindowController = m_services.mainWindowFactory ? m_services.mainWindowFactory() : nullptr;
    if (!m_mainWindowController)
        return;
    m_mainWindowController->installEventFilter(this);
    addUpdateItemToHelpMenu(m_mainWindowController.get());
    m_mainWindowController->show();
}

void AppDelegate::showWelcomeScreen(QObject*)
{
    if (bringForwardWindowsNamed({QLatin1String(welcomeWindowIdentifier)}))
        return;
    std::unique_ptr<QWidget> window = m_services.welcomeOpener ? m_services.welcomeOpener(*this) : nullptr;
    if (!window) {
        // A welcome that cannot be shown never leaves the user without a window.
        showMainWindow(this);
        return;
    }
    m_welcomeWindowController = std::move(window);
    m_welcomeWindowController->installEventFilter(this);
    // In front and taking the keys, as the main window does when it opens.
    m_welcomeWindowController->show();
    m_welcomeWindowController->raise();
    m_welcomeWindowController->activateWindow();
}

void AppDelegate::showPreferences(QObject*)
{
    if (!m_preferenceWindowController)
        m_preferenceWindowController = std::make_unique<PreferenceWindowController>(m_services.defaults);
    m_preferenceWindowController->showWindow();
}

void AppDelegate::importExamples(bool isShort)
{
    const QString name = isShort ? QStringLiteral("Examples_short.Pelorins") : QStringLiteral("Examples.Pelorins");
    const QString path = QDir(m_services.examplesFolder).filePath(name);
    if (m_services.examplesFolder.isEmpty() || !QFileInfo::exists(path))
        return;
    m_services.coreDataManager.importFrom(QUrl::fromLocalFile(path));
}

void AppDelegate::commitEditedNotes()
{
    // The notes being typed reach their card, and end their typing step, so that what follows
    // the save is undone apart.
    if (auto* editor = qobject_cast<NotesTextView*>(QApplication::focusWidget())) {
        if (ListItemCellView* cell = editor->parentListItemCellView()) {
            cell->closeTypingStep();
            cell->commitNotes();
        }
    }
}

bool AppDelegate::saveAction(QObject*)
{
    commitEditedNotes();
    ManagedObjectContext* context = m_services.coreDataManager.context();
    if (!context) {
        presentError(QStringLiteral("The store is not loaded."));
        return false;
    }
    if (!context->hasChanges())
        return true;
    QString error;
    if (context->save(&error))
        return true;
    // A store that may only be read was announced at start; an alert at every edit would keep
    // the user from reading.
    if (m_services.coreDataManager.isReadOnly())
        ConsoleLog::write(QStringLiteral("Error saving context: ") + error);
    else
        presentError(error);
    return false;
}

void AppDelegate::presentError(const QString& error)
{
    tell(m_services.alertPresenter, m_mainWindowController.get(),
        local(QStringLiteral("Your changes could not be saved.")), error);
}

AppDelegate::TerminateReply AppDelegate::applicationShouldTerminate()
{
    ManagedObjectContext* context = m_services.coreDataManager.context();
    if (!context)
        return TerminateReply::terminateNow;
    commitEditedNotes();

    // The user's own changes are saved first. Only once quitting is certain are pictures and
    // cards deleted for good: a cancelled quit must leave every undoable deletion undoable.
    if (context->hasChanges()) {
        QString error;
        if (!context->save(&error)) {
            if (!m_services.coreDataManager.isReadOnly())
                presentError(error);
            AlertPresenter::Alert alert;
            alert.messageText = local(QStringLiteral("Could not save changes while quitting. Quit anyway?"));
            alert.informativeText = local(
                QStringLiteral("Quitting now will lose any changes you have made since the last successful save"));
            alert.buttonTitles = {local(QStringLiteral("Quit anyway")), local(QStringLiteral("Cancel"))};
            alert.destructiveButton = 0;
            const int answer = m_services.alertPresenter.runModal(alert, m_mainWindowController.get());
            return answer == 0 ? TerminateReply::terminateNow : TerminateReply::terminateCancel;
        }
    }

    // The clean-up decides over every card of the store; without all of them it is left for
    // the next quit.
    if (StoreLoading* loading = m_services.coreDataManager.loading(); loading && !loading->loadWholeStore())
        return TerminateReply::terminateNow;
    SharedMethods(m_services.coreDataManager).cleanUpImageAttachments();
    deleteCardsMarkedToBeDeleted();
    if (context->hasChanges()) {
        // What is left unsaved is only the clean-up, which the next quit does again.
        QString error;
        if (!context->save(&error))
            ConsoleLog::write(QStringLiteral("Error saving clean-up while quitting: ") + error);
    }
    return TerminateReply::terminateNow;
}

void AppDelegate::deleteCardsMarkedToBeDeleted()
{
    ManagedObjectContext* context = m_services.coreDataManager.context();
    if (!context)
        return;
    if (StoreLoading* loading = m_services.coreDataManager.loading(); loading && !loading->loadWholeStore())
        return;
    QString error;
    const QList<ManagedObject*> cards = context->fetch(
        FetchRequest(QStringLiteral("ListItem"),
            [](const ManagedObject* object) { return static_cast<const ListItem*>(object)->toBeDeleted(); }),
        &error);
    if (!error.isEmpty()) {
        ConsoleLog::write(QStringLiteral("fetch error ") + error);
        return;
    }
    for (ManagedObject* card : cards)
        context->deleteObject(card);
}

void AppDelegate::terminate(QObject*)
{
    if (applicationShouldTerminate() == TerminateReply::terminateNow)
        emit terminationRequested(0);
}

void AppDelegate::resetButtonTutorials(QObject*)
{
    m_services.defaults.setValue(tutorialShownStep1Key, false);
    m_services.defaults.setValue(tutorialShownStep2Key, false);
    m_services.defaults.synchronize();
}

void AppDelegate::openSupportPage(QObject*)
{
    openWebPage(QLatin1String(supportPageAddress));
}

void AppDelegate::openWebPage(const QString& urlString)
{
    const QUrl url(urlString, QUrl::StrictMode);
    if (!url.isValid() || url.isRelative() || !m_services.urlOpener)
        return;
    if (m_services.urlOpener(url)) {
        ConsoleLog::write(QStringLiteral("opened ") + url.toString());
        return;
    }
    // Without a browser the user still gets the address, to open it elsewhere.
    tell(m_services.alertPresenter, m_mainWindowController.get(),
        local(QStringLiteral("The page could not be opened.")),
        local(QStringLiteral("Open this address in a web browser:")) + QLatin1Char('\n') + url.toString());
}

bool AppDelegate::respondsTo(const QString& action) const
{
    return applicationActions().contains(action);
}

void AppDelegate::perform(const QString& action, QObject* sender)
{
    if (const auto found = applicationActions().constFind(action); found != applicationActions().cend())
        (*found)(*this, sender);
}

bool AppDelegate::eventFilter(QObject* watched, QEvent* event)
{
    // After the main window's first paint, whose pass paints the board too.
    if (event->type() == QEvent::Paint && watched == m_mainWindowController.get() && !m_restOfStoreRequested)
        QTimer::singleShot(0, this, &AppDelegate::loadRestOfStore);
    // However the welcome closes, by its last click or by its title bar, the main window takes
    // over: with no menu to reach otherwise, the program would run on without a window.
    if (event->type() == QEvent::Close && m_welcomeWindowController && watched == m_welcomeWindowController.get()) {
        showMainWindow(this);
        m_welcomeWindowController.release()->deleteLater();
        return false;
    }
    // Closing the main window quits, as the Quit command does, and is refused with it.
    if (event->type() == QEvent::Close && watched == m_mainWindowController.get()) {
        if (applicationShouldTerminate() == TerminateReply::terminateCancel) {
            event->ignore();
            return true;
        }
        emit terminationRequested(0);
    }
    return QObject::eventFilter(watched, event);
}
