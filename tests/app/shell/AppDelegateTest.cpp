#include "Pelorins/shell/AppDelegate.h"
#include "PelorinsKit/model/DoneDate.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/model/NotificationName.h"
#include "PelorinsKit/model/Root.h"
#include "PelorinsKit/store/CoreDataManager.h"
#include "PelorinsKit/store/CoreDataMigrator.h"
#include "PelorinsKit/store/StoreLoading.h"
#include "Platform/core/ConsoleLog.h"
#include "Platform/core/DataFolders.h"
#include "Platform/core/NotificationCenter.h"
#include "Platform/core/UserDefaults.h"
#include "Platform/services/DBusReminderCenter.h"
#include "Platform/services/PackageManagerUpdater.h"
#include "Platform/services/ReminderCenter.h"
#include "Platform/services/SingleInstance.h"
#include "Platform/services/UpdaterDelegate.h"
#include "Platform/widgets/ScriptedAlertPresenter.h"
#include "support/AsOrdinaryUser.h"
#include "support/FakeCalendarStore.h"
#include "support/FakeNotificationService.h"
#include "support/PrivateSessionBus.h"
#include "support/StoreBuilder.h"
#include "support/StoreLockHolder.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QMainWindow>
#include <QMenuBar>
#include <QTemporaryDir>
#include <future>
#include <gtest/gtest.h>

// Resources are initialised outside any namespace.
static void initResources()
{
    Q_INIT_RESOURCE(PelorinsResources);
}

namespace {

bool spinUntil(const std::function<bool()>& condition, int timeoutMs = 5000)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!condition() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return condition();
}

// A reminder service whose clicks the test makes.
class ClickableReminderCenter : public ReminderCenter
{
public:
    void click(const QString& urlString) { emit activated(urlString); }
    void deliver(const Reminder&) override { }
};

// One run of the program over folders that outlive it, so that a test can launch again.
class ProgramRun
{
public:
    // Reminders go to `reminderCenter` when given, else to a center whose clicks the test makes.
    ProgramRun(const QString& configFile, const QString& examplesFolder, ReminderCenter* reminderCenter = nullptr)
        : defaults(configFile)
        , manager(std::make_shared<CoreDataMigrator>())
    {
        AppDelegate::Services services {defaults, manager, calendar, updater, alerts,
            [this]() -> std::unique_ptr<QWidget> {
                ++mainWindowsMade;
                auto window = std::make_unique<QMainWindow>();
                window->setObjectName(QLatin1String(AppDelegate::mainWindowIdentifier));
                QMenu* help = window->menuBar()->addMenu(QStringLiteral("&Help"));
                help->addAction(QStringLiteral("Pelorins Support"));
                help->addAction(QStringLiteral("Reset Button Tutorials"));
                return window;
            },
            [this](AppDelegate&) -> std::unique_ptr<QWidget> {
                ++welcomeScreensOpened;
                auto window = std::make_unique<QWidget>();
                window->setObjectName(QLatin1String(AppDelegate::welcomeWindowIdentifier));
                return window;
            },
            [this](const QUrl& url) {
                openedPages << url;
                return browserOpens;
            },
            examplesFolder, reminderCenter ? reminderCenter : &reminders};
        delegate = std::make_unique<AppDelegate>(std::move(services));
    }

    // Launches and waits until the first window has been asked for.
    void launch()
    {
        delegate->applicationWillFinishLaunching();
        delegate->applicationDidFinishLaunching();
        spinUntil([&] { return mainWindowsMade + welcomeScreensOpened > 0; });
        QCoreApplication::processEvents();
    }

    ManagedObjectContext& context() { return *manager.context(); }

    UserDefaults defaults;
    CoreDataManager manager;
    FakeCalendarStore calendar;
    PackageManagerUpdater updater;
    ScriptedAlertPresenter alerts;
    ClickableReminderCenter reminders;
    std::unique_ptr<AppDelegate> delegate;
    int mainWindowsMade = 0;
    int welcomeScreensOpened = 0;
    QList<QUrl> openedPages;
    bool browserOpens = true;
};

class AppDelegateTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        initResources();
        DataFolders::setBaseFolderForTesting(m_folder.filePath(QStringLiteral("data")));
        QDir().mkpath(m_folder.filePath(QStringLiteral("config")));
    }
    void TearDown() override { DataFolders::setBaseFolderForTesting(QString()); }

    QString configFile() const { return m_folder.filePath(QStringLiteral("config/com.morvance.Pelorins.conf")); }
    std::unique_ptr<ProgramRun> newRun(
        const QString& examples = QStringLiteral(":/examples"), ReminderCenter* reminderCenter = nullptr)
    {
        return std::make_unique<ProgramRun>(configFile(), examples, reminderCenter);
    }
    // A launched run whose store holds one board, as a user's second launch finds it.
    std::unique_ptr<ProgramRun> launchedWithBoard(Kanban** board = nullptr, ReminderCenter* reminderCenter = nullptr)
    {
        auto run = newRun(QString(), reminderCenter);
        run->defaults.setValue(QStringLiteral("firstSetupCompleted"), true);
        run->launch();
        StoreBuilder builder(run->context());
        Kanban* made = builder.addBoard(QStringLiteral("Plans"), {QStringLiteral("To Do"), QStringLiteral("Doing")});
        if (board)
            *board = made;
        EXPECT_TRUE(run->manager.saveContext());
        return run;
    }

    QTemporaryDir m_folder;
};

QList<int> exitCodesOf(AppDelegate& delegate, const std::function<void()>& action)
{
    QList<int> codes;
    const QMetaObject::Connection connection
        = QObject::connect(&delegate, &AppDelegate::terminationRequested, [&](int code) { codes << code; });
    action();
    QObject::disconnect(connection);
    return codes;
}

QStringList boardTitles(Root* root)
{
    QStringList titles;
    for (DisplayItem* child : root->children())
        if (auto* board = dynamic_cast<Kanban*>(child))
            titles << board->title();
    return titles;
}

TEST_F(AppDelegateTest, FirstLaunchWritesTheDefaultsImportsTheShortExamplesAndOpensTheWelcomeScreen)
{
    auto run = newRun();
    ConsoleLog::Capture capture;
    run->launch();

    EXPECT_EQ(run->delegate->cleanState().size(), 23);
    int settingLines = 0;
    for (auto it = run->delegate->cleanState().cbegin(); it != run->delegate->cleanState().cend(); ++it)
        EXPECT_TRUE(run->defaults.contains(it.key())) << it.key().toStdString();
    for (const QString& line : capture.lines())
        settingLines += line.startsWith(QLatin1String("setting ")) ? 1 : 0;
    EXPECT_EQ(settingLines, 23);
    EXPECT_TRUE(capture.contains(QStringLiteral("setting 17 for key dueHour")));
    EXPECT_TRUE(capture.contains(QStringLiteral("setting true for key viewAsMultiColumn")));
    EXPECT_EQ(run->defaults.integerForKey(QStringLiteral("numberOfLaunches")), 1);

    EXPECT_EQ(run->welcomeScreensOpened, 1);
    EXPECT_EQ(run->mainWindowsMade, 0);
    Root* root = run->manager.getRootObject(false);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(boardTitles(root), (QStringList {QStringLiteral("Welcome to Pelorins"), QStringLiteral("Home")}));
    EXPECT_FALSE(run->context().hasChanges());

    for (const char* flag :
        {"addedMissingHistory", "doneCardsMigrated", "convertedTagsToHashTags", "stylesUpdatedToVersion3"})
        EXPECT_TRUE(run->defaults.boolForKey(QLatin1String(flag))) << flag;
    // Nothing is put to the user, and an updater that asks is told not to on the very first launch.
    EXPECT_TRUE(run->alerts.alerts().isEmpty());
    ASSERT_NE(run->updater.delegate(), nullptr);
    EXPECT_FALSE(run->updater.delegate()->updaterShouldPromptForPermissionToCheckForUpdates());
    ASSERT_NE(run->delegate->checkUpdatesItem(), nullptr);
    EXPECT_EQ(run->delegate->checkUpdatesItem()->text(), QStringLiteral("Check Updates…"));
}

TEST_F(AppDelegateTest, SecondLaunchOpensTheMainWindowImportsNothingAndAsksNothing)
{
    {
        auto first = newRun();
        first->launch();
        // The board view sets this once it has shown a board.
        first->defaults.setValue(QStringLiteral("firstSetupCompleted"), true);
        first->defaults.synchronize();
    }
    auto second = newRun();
    second->launch();

    EXPECT_EQ(second->defaults.integerForKey(QStringLiteral("numberOfLaunches")), 2);
    EXPECT_EQ(second->mainWindowsMade, 1);
    EXPECT_EQ(second->welcomeScreensOpened, 0);
    EXPECT_EQ(boardTitles(second->manager.getRootObject(false)).size(), 2);
    // Updates come through the package manager: no notice stands between the user and the window.
    EXPECT_TRUE(second->alerts.alerts().isEmpty());
    EXPECT_TRUE(second->updater.delegate()->updaterShouldPromptForPermissionToCheckForUpdates());

    QMainWindow* window = qobject_cast<QMainWindow*>(second->delegate->mainWindowController());
    ASSERT_NE(window, nullptr);
    const QList<QAction*> help = window->menuBar()->actions().first()->menu()->actions();
    ASSERT_EQ(help.size(), 3);
    EXPECT_EQ(help.at(1), second->delegate->checkUpdatesItem());

    // Showing it again brings the open window forward instead of making another.
    second->delegate->showMainWindow(nullptr);
    EXPECT_EQ(second->mainWindowsMade, 1);
    EXPECT_EQ(second->delegate->mainWindowController(), window);
}

TEST_F(AppDelegateTest, AFirstLaunchOverAStoreWithBoardsImportsNoExamples)
{
    launchedWithBoard();
    auto run = newRun();
    run->defaults.setValue(QStringLiteral("firstSetupCompleted"), false);
    run->launch();
    EXPECT_EQ(run->welcomeScreensOpened, 1);
    EXPECT_EQ(boardTitles(run->manager.getRootObject(false)), QStringList {QStringLiteral("Plans")});
}

TEST_F(AppDelegateTest, ValuesAlreadyStoredAreNeverOverwrittenWhateverTheirType)
{
    auto run = newRun();
    const QVariantMap stored {
        {QStringLiteral("showArchived"), false},
        {QStringLiteral("dueHour"), 9},
        {QStringLiteral("lastSelectedSourceItem"), QStringLiteral("not a number")},
        {QStringLiteral("feedbackState"), QStringList {QStringLiteral("a"), QStringLiteral("b")}},
        {QStringLiteral("dueSoonDefinition"), 2.5},
        {QStringLiteral("numberOfLaunches"), 5},
    };
    for (auto it = stored.cbegin(); it != stored.cend(); ++it)
        run->defaults.setValue(it.key(), it.value());
    run->launch();

    EXPECT_FALSE(run->defaults.boolForKey(QStringLiteral("showArchived")));
    EXPECT_EQ(run->defaults.integerForKey(QStringLiteral("dueHour")), 9);
    EXPECT_EQ(run->defaults.stringForKey(QStringLiteral("lastSelectedSourceItem")), QStringLiteral("not a number"));
    EXPECT_EQ(run->defaults.value(QStringLiteral("feedbackState")).toStringList(),
        (QStringList {QStringLiteral("a"), QStringLiteral("b")}));
    EXPECT_DOUBLE_EQ(run->defaults.doubleForKey(QStringLiteral("dueSoonDefinition")), 2.5);
    EXPECT_EQ(run->defaults.integerForKey(QStringLiteral("numberOfLaunches")), 6);
}

TEST_F(AppDelegateTest, OldPreferencesMoveOnlyWhenTheyAloneExist)
{
    struct Case
    {
        bool oldExists;
        bool newExists;
        bool moved;
    };
    const auto write = [](const QString& path, const QByteArray& text) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    };
    int index = 0;
    for (const Case& c : {Case {true, false, true}, Case {true, true, false}, Case {false, true, false}}) {
        // A folder per case: preference files are cached by path within a process.
        const QDir folder(m_folder.filePath(QStringLiteral("case%1").arg(++index)));
        ASSERT_TRUE(folder.mkpath(QStringLiteral(".")));
        const QString oldPath = folder.filePath(QStringLiteral("com.morvance.Quenfield.conf"));
        const QString newPath = folder.filePath(QStringLiteral("com.morvance.Pelorins.conf"));
        if (c.oldExists)
            write(oldPath, "[General]\nowner=old\n");
        if (c.newExists)
            write(newPath, "[General]\nowner=new\n");
        ProgramRun run(newPath, QString());
        run.delegate->renameOldPreferencesFile();

        EXPECT_EQ(QFile::exists(oldPath), c.oldExists && !c.moved);
        EXPECT_EQ(run.defaults.stringForKey(QStringLiteral("owner")),
            c.moved || !c.newExists ? QStringLiteral("old") : QStringLiteral("new"));
    }
}

TEST_F(AppDelegateTest, CardLinksPostTheCardAndAnythingElseIsIgnored)
{
    Kanban* board = nullptr;
    auto run = launchedWithBoard(&board);
    StoreBuilder builder(run->context());
    ListItem* card = builder.addCard(board->column().first());
    card->setUniqueIdentifier(QStringLiteral("6F7A8B9C-0D1E-4F6A-8B7C-8D9E0F1A2B3C"));
    const QString id = card->uniqueIdentifier();

    QObject owner;
    QList<ListItem*> posted;
    NotificationCenter::shared().addObserver(
        &owner, NotificationName::cardURLReceived, [&](const NotificationCenter::Notification& notice) {
            EXPECT_EQ(notice.object, run->delegate.get());
            posted << notice.userInfo.value(QStringLiteral("listItem")).value<ListItem*>();
        });

    const struct
    {
        QString link;
        bool opens;
    } cases[] = {
        {QStringLiteral("pelorins://") + id, true},
        {QStringLiteral("pelorins://") + id + QLatin1Char('/'), true},
        {QStringLiteral("PELORINS://") + id.toLower(), true},
        {QStringLiteral("pelorins:") + id, true},
        {QStringLiteral("pelorins://00000000-0000-4000-8000-000000000000"), false},
        {QStringLiteral("https://") + id, false},
        {QStringLiteral("/tmp/") + id, false},
        {QStringLiteral("pelorins://") + id + QStringLiteral("/extra"), false},
        {QStringLiteral("pelorins://") + id + QStringLiteral("?x=1"), false},
        {QStringLiteral("pelorins://"), false},
        {QStringLiteral("pelorins://%20") + id, false},
        {QString(), false},
    };
    for (const auto& c : cases) {
        posted.clear();
        run->delegate->openCard(c.link);
        EXPECT_EQ(posted, c.opens ? QList<ListItem*> {card} : QList<ListItem*> {}) << c.link.toStdString();
    }

    // A clicked reminder takes the same road; only a text under "urlString" counts.
    posted.clear();
    run->reminders.click(QStringLiteral("pelorins://") + id);
    run->delegate->userNotificationCenterDidActivate(
        {{QStringLiteral("urlString"), QStringLiteral("pelorins://") + id}});
    run->delegate->userNotificationCenterDidActivate({{QStringLiteral("urlString"), 42}});
    run->delegate->userNotificationCenterDidActivate({});
    EXPECT_EQ(posted, (QList<ListItem*> {card, card}));
}

TEST_F(AppDelegateTest, AReminderShownOverTheBusOpensItsCardOnceAndNothingAfterTheCardIsDeleted)
{
    PrivateSessionBus bus;
    if (!bus.isRunning())
        GTEST_SKIP() << "no dbus-daemon";
    FakeNotificationService service(bus.connect(QStringLiteral("service")));
    DBusReminderCenter center(bus.connect(QStringLiteral("program")));
    QDateTime now(QDate(2026, 3, 2), QTime(9, 0), Qt::UTC);
    center.setClock([&] { return now; });
    Kanban* board = nullptr;
    auto run = launchedWithBoard(&board, &center);
    StoreBuilder builder(run->context());
    ListItem* kept = builder.addCard(board->column().first());
    ListItem* deleted = builder.addCard(board->column().first());
    QList<ListItem*> posted;
    QObject owner;
    NotificationCenter::shared().addObserver(
        &owner, NotificationName::cardURLReceived, [&](const NotificationCenter::Notification& notice) {
            posted << notice.userInfo.value(QStringLiteral("listItem")).value<ListItem*>();
        });
    for (ListItem* card : {kept, deleted}) {
        const QString link = card->itemURLString();
        center.scheduleReminder(Reminder {link, QStringLiteral("Pay <rent>"), QStringLiteral("due on: 2/3/26"),
            QStringLiteral("Home & Work"), now.addSecs(30), {{QStringLiteral("urlString"), link}}});
    }

    now = now.addSecs(60);
    center.tick();
    ASSERT_TRUE(spinUntil([&] { return service.shown.size() == 2; }));
    EXPECT_EQ(service.shown[0].summary, QStringLiteral("Pay <rent>"));
    EXPECT_EQ(service.shown[0].body, QStringLiteral("due on: 2/3/26\nHome &amp; Work"));
    // Let the program receive the identifiers before the user clicks.
    spinUntil([] { return false; }, 100);

    service.click(service.shown[0].id);
    service.click(service.shown[0].id);
    ASSERT_TRUE(spinUntil([&] { return !posted.isEmpty(); }));
    spinUntil([] { return false; }, 200);
    EXPECT_EQ(posted, QList<ListItem*> {kept}) << "one card, once";

    run->context().deleteObject(deleted);
    ASSERT_TRUE(run->manager.saveContext());
    service.click(service.shown[1].id);
    spinUntil([] { return false; }, 200);
    EXPECT_EQ(posted, QList<ListItem*> {kept});
}

TEST_F(AppDelegateTest, ALinkGivenAtStartIsOpenedOnceTheStoreIsLoaded)
{
    QString id;
    {
        Kanban* board = nullptr;
        auto earlier = launchedWithBoard(&board);
        id = StoreBuilder(earlier->context()).addCard(board->column().first())->uniqueIdentifier();
        ASSERT_TRUE(earlier->manager.saveContext());
    }
    auto run = newRun();
    QObject owner;
    int posted = 0;
    NotificationCenter::shared().addObserver(
        &owner, NotificationName::cardURLReceived, [&](const NotificationCenter::Notification&) { ++posted; });
    run->delegate->applicationWillFinishLaunching();
    run->delegate->handleGetURLEvent(QStringLiteral("pelorins://") + id);
    EXPECT_EQ(posted, 0);
    run->delegate->applicationDidFinishLaunching();
    ASSERT_TRUE(spinUntil([&] { return posted == 1; }));
    EXPECT_EQ(run->mainWindowsMade, 1);
}

TEST_F(AppDelegateTest, ASecondStartHandsItsLinkToTheRunningProgram)
{
    Kanban* board = nullptr;
    auto run = launchedWithBoard(&board);
    const QString id = StoreBuilder(run->context()).addCard(board->column().first())->uniqueIdentifier();
    const QString serverName = m_folder.filePath(QStringLiteral("pelorins.socket"));
    SingleInstance running(serverName);
    ASSERT_EQ(running.start(QString()), SingleInstance::Role::Primary);
    run->delegate->receiveLinksFrom(running);

    QObject owner;
    QList<ListItem*> posted;
    NotificationCenter::shared().addObserver(
        &owner, NotificationName::cardURLReceived, [&](const NotificationCenter::Notification& notice) {
            posted << notice.userInfo.value(QStringLiteral("listItem")).value<ListItem*>();
        });
    auto second = std::async(std::launch::async,
        [serverName, id] { return SingleInstance(serverName).start(QStringLiteral("pelorins://") + id); });
    ASSERT_TRUE(spinUntil([&] { return second.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }));
    EXPECT_EQ(second.get(), SingleInstance::Role::Secondary);
    ASSERT_TRUE(spinUntil([&] { return !posted.isEmpty(); }));
    EXPECT_EQ(posted.first()->uniqueIdentifier(), id);
    EXPECT_EQ(run->mainWindowsMade, 1);
}

TEST_F(AppDelegateTest, QuittingWithNoChangesStillDeletesMarkedCardsAndSaves)
{
    Kanban* board = nullptr;
    auto run = launchedWithBoard(&board);
    StoreBuilder builder(run->context());
    ListItem* kept = builder.addCard(board->column().first());
    ListItem* marked = builder.addCard(board->column().first());
    marked->setToBeDeleted(true);
    ASSERT_TRUE(run->manager.saveContext());
    const QString keptId = kept->uniqueIdentifier();

    EXPECT_EQ(run->delegate->applicationShouldTerminate(), AppDelegate::TerminateReply::terminateNow);
    EXPECT_TRUE(marked->isDeleted());
    EXPECT_FALSE(run->context().hasChanges());
    EXPECT_TRUE(run->alerts.alerts().isEmpty());

    run.reset();
    auto next = newRun();
    next->launch();
    const QList<ListItem*> cards = next->context().fetchAs<ListItem>(FetchRequest(QStringLiteral("ListItem")));
    ASSERT_EQ(cards.size(), 1);
    EXPECT_EQ(cards.first()->uniqueIdentifier(), keptId);
}

TEST_F(AppDelegateTest, LinksRemindersAndQuittingReachCardsOfBoardsNotReadYet)
{
    Kanban* board = nullptr;
    auto first = launchedWithBoard(&board);
    StoreBuilder builder(first->context());
    KanbanColumn* later = builder.addBoard(QStringLiteral("Later"))->column().first();
    ListItem* linked = builder.addCard(later);
    builder.addCard(later)->setToBeDeleted(true);
    const QString link = linked->itemURLString();
    ASSERT_TRUE(first->manager.saveContext());
    first.reset();

    // Each in a program just started: its window is up, the thread reading the rest of the store
    // has started, and no card of another board is in yet.
    const auto started = [&] {
        auto run = newRun(QString());
        run->launch();
        run->manager.loading()->start();
        EXPECT_FALSE(run->manager.loading()->isWholeStoreLoaded());
        return run;
    };
    QObject owner;
    QStringList posted;
    NotificationCenter::shared().addObserver(
        &owner, NotificationName::cardURLReceived, [&](const NotificationCenter::Notification& notice) {
            posted << notice.userInfo.value(QStringLiteral("listItem")).value<ListItem*>()->itemURLString();
        });
    started()->delegate->openCard(link);
    started()->reminders.click(link);
    EXPECT_EQ(posted, QStringList({link, link}));

    auto quitting = started();
    EXPECT_EQ(quitting->delegate->applicationShouldTerminate(), AppDelegate::TerminateReply::terminateNow);
    quitting.reset();
    auto after = newRun(QString());
    after->launch();
    const QList<ListItem*> cards = after->context().fetchAs<ListItem>(FetchRequest(QStringLiteral("ListItem")));
    ASSERT_EQ(cards.size(), 1);
    EXPECT_EQ(cards.first()->itemURLString(), link);
}

TEST_F(AppDelegateTest, WhenSavingFailsTheUserChoosesBetweenQuittingAnywayAndCancelling)
{
    Kanban* board = nullptr;
    auto run = launchedWithBoard(&board);
    ListItem* marked = StoreBuilder(run->context()).addCard(board->column().first());
    marked->setToBeDeleted(true);
    ASSERT_TRUE(run->manager.saveContext());
    // A day group without its day cannot be saved.
    run->context().insertNewObject(QStringLiteral("DoneDate"));

    run->alerts.enqueueAnswer(0); // the save error
    run->alerts.enqueueAnswer(1); // "Cancel"
    EXPECT_EQ(run->delegate->applicationShouldTerminate(), AppDelegate::TerminateReply::terminateCancel);
    ASSERT_EQ(run->alerts.alerts().size(), 2);
    const AlertPresenter::Alert& question = run->alerts.alerts().at(1);
    EXPECT_EQ(question.messageText, QStringLiteral("Could not save changes while quitting. Quit anyway?"));
    EXPECT_EQ(question.informativeText,
        QStringLiteral("Quitting now will lose any changes you have made since the last successful save"));
    EXPECT_EQ(question.buttonTitles, (QStringList {QStringLiteral("Quit anyway"), QStringLiteral("Cancel")}));
    // The program goes on with its unsaved changes, and a deletion that can be undone still can.
    EXPECT_TRUE(run->context().hasChanges());
    EXPECT_FALSE(marked->isDeleted());

    run->alerts.enqueueAnswer(0);
    run->alerts.enqueueAnswer(0); // "Quit anyway"
    const QList<int> exitCodes = exitCodesOf(*run->delegate, [&] { run->delegate->terminate(nullptr); });
    EXPECT_EQ(exitCodes, QList<int> {0});
}

TEST_F(AppDelegateTest, AStoreThatCannotBeOpenedIsShownAndEndsTheProgramWithAnError)
{
    const QString folder = m_folder.filePath(QStringLiteral("data/Pelorins"));
    QDir().mkpath(folder);
    QFile store(QDir(folder).filePath(QLatin1String(CoreDataManager::storeFileName)));
    ASSERT_TRUE(store.open(QIODevice::WriteOnly));
    store.write("this is not a store");
    store.close();

    auto run = newRun();
    const QList<int> exitCodes = exitCodesOf(*run->delegate, [&] {
        run->delegate->applicationWillFinishLaunching();
        run->delegate->applicationDidFinishLaunching();
    });
    EXPECT_EQ(exitCodes, QList<int> {1});
    ASSERT_EQ(run->alerts.alerts().size(), 1);
    EXPECT_EQ(run->alerts.alerts().first().style, AlertPresenter::Style::Critical);
    EXPECT_TRUE(run->alerts.alerts().first().informativeText.contains(QStringLiteral("not a readable store")));
    EXPECT_EQ(run->mainWindowsMade + run->welcomeScreensOpened, 0);
}

// The file is fine, only held: the user is told so and may try again once the other program
// has let go, or quit.
TEST_F(AppDelegateTest, AStoreHeldByAnotherProgramSaysSoAndOpensOnTryAgain)
{
    launchedWithBoard().reset();
    const QString path
        = m_folder.filePath(QStringLiteral("data/Pelorins/") + QLatin1String(CoreDataManager::storeFileName));
    auto other = std::make_unique<StoreLockHolder>(path, "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE");

    const auto expectInUseAlert = [](const ProgramRun& run) {
        ASSERT_EQ(run.alerts.alerts().size(), 1);
        const AlertPresenter::Alert& alert = run.alerts.alerts().first();
        EXPECT_EQ(alert.messageText, QStringLiteral("Pelorins cannot open its data."));
        EXPECT_TRUE(alert.informativeText.endsWith(
            QStringLiteral(" is in use by another program. Quit it, then choose Try Again.")))
            << alert.informativeText.toStdString();
        EXPECT_FALSE(alert.informativeText.contains(QStringLiteral("not a readable store")));
        EXPECT_EQ(alert.buttonTitles, (QStringList {QStringLiteral("Try Again"), QStringLiteral("Quit")}));
    };
    const auto start = [](ProgramRun& run) {
        return exitCodesOf(*run.delegate, [&] {
            run.delegate->applicationWillFinishLaunching();
            run.delegate->applicationDidFinishLaunching();
        });
    };

    auto quitting = newRun();
    quitting->alerts.enqueueAnswer(1);
    EXPECT_EQ(start(*quitting), QList<int> {1});
    expectInUseAlert(*quitting);
    quitting.reset();

    auto retrying = newRun();
    retrying->alerts.enqueueAnswer(0);
    EXPECT_TRUE(start(*retrying).isEmpty());
    expectInUseAlert(*retrying);
    EXPECT_EQ(retrying->mainWindowsMade, 0);
    other.reset();
    ASSERT_TRUE(spinUntil([&] { return retrying->mainWindowsMade == 1; }));
    EXPECT_EQ(retrying->alerts.alerts().size(), 1);
    EXPECT_EQ(boardTitles(retrying->manager.getRootObject(false)), QStringList {QStringLiteral("Plans")});
}

// A data folder that may not be written is said at start, once; the boards open for reading,
// and the saves that fail after it do not put an alert in the way each time.
TEST_F(AppDelegateTest, AReadOnlyDataFolderIsSaidOnceAtStartAndTheBoardsStillOpen)
{
    const AsOrdinaryUser user(m_folder.path());
    ASSERT_TRUE(user.holds());
    {
        Kanban* board = nullptr;
        auto first = launchedWithBoard(&board);
        StoreBuilder(first->context()).addCard(board->column().first());
        ASSERT_TRUE(first->manager.saveContext());
    }
    const QString folder = m_folder.filePath(QStringLiteral("data/Pelorins"));
    ASSERT_TRUE(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));

    auto run = newRun();
    run->launch();
    ASSERT_EQ(run->alerts.alerts().size(), 1);
    const AlertPresenter::Alert& alert = run->alerts.alerts().first();
    EXPECT_EQ(alert.messageText, QStringLiteral("Pelorins cannot save changes."));
    EXPECT_TRUE(alert.informativeText.contains(QDir::toNativeSeparators(folder)))
        << alert.informativeText.toStdString();
    EXPECT_EQ(alert.buttonTitles, QStringList {QStringLiteral("OK")});
    EXPECT_EQ(run->mainWindowsMade, 1);
    EXPECT_TRUE(run->manager.isReadOnly());
    Root* root = run->manager.getRootObject(false);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(boardTitles(root), QStringList {QStringLiteral("Plans")});
    // The cards too, read later on a connection of their own.
    ASSERT_NE(run->manager.loading(), nullptr);
    ASSERT_TRUE(run->manager.loading()->loadWholeStore());
    EXPECT_EQ(run->context().count(FetchRequest(QStringLiteral("ListItem"))), 1);

    for (const QString& title : {QStringLiteral("Renamed"), QStringLiteral("Again")}) {
        static_cast<Kanban*>(root->children().first())->setTitle(title);
        EXPECT_FALSE(run->delegate->saveAction(nullptr));
    }
    EXPECT_EQ(run->alerts.alerts().size(), 1);
    run.reset();
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST_F(AppDelegateTest, TutorialsResetAndTheSupportPageOpens)
{
    auto run = launchedWithBoard();
    run->defaults.setValue(QStringLiteral("tutorialShownStep1"), true);
    run->defaults.setValue(QStringLiteral("tutorialShownStep2"), true);
    run->delegate->perform(QStringLiteral("resetButtonTutorials:"), nullptr);
    EXPECT_FALSE(run->defaults.boolForKey(QStringLiteral("tutorialShownStep1")));
    EXPECT_FALSE(run->defaults.boolForKey(QStringLiteral("tutorialShownStep2")));

    run->delegate->perform(QStringLiteral("openSupportPage:"), nullptr);
    run->delegate->openWebPage(QStringLiteral("not a page"));
    EXPECT_EQ(run->openedPages, QList<QUrl> {QUrl(QLatin1String(AppDelegate::supportPageAddress))});
    EXPECT_TRUE(run->alerts.alerts().isEmpty());

    // Without a browser the address is shown, for the user to open elsewhere.
    run->browserOpens = false;
    run->delegate->perform(QStringLiteral("openSupportPage:"), nullptr);
    ASSERT_EQ(run->alerts.alerts().size(), 1);
    EXPECT_TRUE(run->alerts.alerts().first().informativeText.contains(QLatin1String(AppDelegate::supportPageAddress)));
}

TEST_F(AppDelegateTest, CalendarAccessIsRenewedAtLaunchOnlyWhenAlreadyGranted)
{
    auto newUser = newRun(QString());
    newUser->launch();
    EXPECT_EQ(newUser->calendar.accessRequests, 0);
    newUser.reset();

    auto granted = newRun(QString());
    granted->calendar.status = CalendarStore::AuthorizationStatus::Authorized;
    granted->calendar.accessError = QStringLiteral("the calendar folder is gone");
    ConsoleLog::Capture capture;
    granted->launch();
    EXPECT_EQ(granted->calendar.accessRequests, 1);
    EXPECT_TRUE(capture.contains(QStringLiteral("error requesting access to event store the calendar folder is gone")));
}

} // namespace
