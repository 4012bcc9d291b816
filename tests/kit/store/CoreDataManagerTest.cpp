#include "PelorinsKit/store/CoreDataManager.h"
#include "PelorinsKit/model/Root.h"
#include "PelorinsKit/store/CoreDataMigrator.h"
#include "Platform/core/ConsoleLog.h"
#include "Platform/core/DataFolders.h"
#include "support/QStringPrinting.h"
#include "support/StoreFixtureWriter.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

namespace {

const QString stripPolicyName = QStringLiteral("PelorinsKit.StripAttachmentCellMigrationPolicyV32toV33");

// Carries the notes over unchanged, standing in for the notes policy of the 32-to-33 step.
class KeepNotesPolicy : public EntityMigrationPolicy
{
public:
    bool createDestinationInstances(const MigrationRecord&, MigrationRecord&, QString*) override { return true; }
};

class FailingMigrator : public CoreDataMigratorProtocol
{
public:
    bool requiresMigration(const QString&, const CoreDataMigrationVersion&) const override { return true; }
    void migrateStore(const QString&, const CoreDataMigrationVersion&) const override
    {
        throw StoreError(
            QStringLiteral("failed attempting to migrate from ReVudozu 5 to ReVudozu 6, error: disk full"));
    }
};

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class CoreDataManagerTest : public ::testing::Test
{
protected:
    void SetUp() override { DataFolders::setBaseFolderForTesting(m_base.path()); }
    void TearDown() override { DataFolders::setBaseFolderForTesting(QString()); }

    std::shared_ptr<CoreDataMigrator> migrator()
    {
        MigrationPolicyRegistry policies;
        policies.registerPolicy<KeepNotesPolicy>(stripPolicyName);
        return std::make_shared<CoreDataMigrator>(ModelBundle(), std::move(policies), m_temporary.path());
    }

    QString storePath() const { return m_base.filePath(QStringLiteral("Pelorins/CocoaAppCD.storedata")); }

    void writeStore(int version)
    {
        QDir().mkpath(m_base.filePath(QStringLiteral("Pelorins")));
        const auto model = ModelBundle().managedObjectModel(CoreDataMigrationVersion::version(version).rawValue());
        QString error;
        ASSERT_TRUE(StoreFixtureWriter::write(storePath(), model, &error)) << error.toStdString();
    }

    // Runs `setup` and the event loop until its completion or failure has run.
    void setUpAndWait(CoreDataManager& manager)
    {
        manager.setup([this] { m_completionThread = QThread::currentThread(); },
            [this](const StoreError& error) { m_failure = error.message(); });
        m_ranBeforeReturning = m_completionThread != nullptr || !m_failure.isEmpty();
        QDeadlineTimer deadline(60000);
        while (!m_completionThread && m_failure.isEmpty() && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }

    QTemporaryDir m_base;
    QTemporaryDir m_temporary;
    QThread* m_completionThread = nullptr;
    QString m_failure;
    bool m_ranBeforeReturning = false;
};

TEST_F(CoreDataManagerTest, FirstLaunch_CreatesTheStoreAndCompletesAtOnce)
{
    CoreDataManager manager(migrator());
    ConsoleLog::Capture capture;
    setUpAndWait(manager);

    EXPECT_TRUE(m_ranBeforeReturning);
    EXPECT_EQ(m_completionThread, QThread::currentThread());
    EXPECT_EQ(capture.lines(), QStringList {QStringLiteral("store loaded")});
    const auto metadata = PersistentStoreCoordinator::metadata(storePath());
    ASSERT_TRUE(metadata);
    EXPECT_EQ(
        metadata->value(QLatin1String(PersistentStoreCoordinator::VersionNameKey)), QStringLiteral("ReVudozu 34"));
    ASSERT_TRUE(manager.context());
}

TEST_F(CoreDataManagerTest, OlderStore_IsMigratedOffTheMainThreadThenLoadedOnIt)
{
    writeStore(1);
    CoreDataManager manager(migrator());
    ConsoleLog::Capture capture;
    setUpAndWait(manager);

    EXPECT_FALSE(m_ranBeforeReturning);
    EXPECT_EQ(m_failure, QString());
    EXPECT_EQ(m_completionThread, QThread::currentThread());
    EXPECT_EQ(capture.lines(), QStringList {QStringLiteral("store loaded")});
    EXPECT_FALSE(migrator()->requiresMigration(storePath(), CoreDataMigrationVersion::current()));
    Root* root = manager.getRootObject(false);
    ASSERT_TRUE(root);
    EXPECT_EQ(root->objects(QStringLiteral("children")).size(), 1);
}

TEST_F(CoreDataManagerTest, FailedMigration_IsHandedToTheFailureAndNothingIsLoaded)
{
    writeStore(5);
    const QByteArray before = fileBytes(storePath());
    CoreDataManager manager(std::make_shared<FailingMigrator>());
    setUpAndWait(manager);

    EXPECT_EQ(
        m_failure, QStringLiteral("failed attempting to migrate from ReVudozu 5 to ReVudozu 6, error: disk full"));
    EXPECT_EQ(m_completionThread, nullptr);
    EXPECT_EQ(manager.context(), nullptr);
    EXPECT_EQ(fileBytes(storePath()), before);
}

TEST_F(CoreDataManagerTest, UnreadableStore_IsNeitherOpenedNorReplaced)
{
    QDir().mkpath(m_base.filePath(QStringLiteral("Pelorins")));
    QFile file(storePath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(8192, 'x'));
    file.close();

    CoreDataManager manager(migrator());
    try {
        manager.setup([] { FAIL() << "completed"; }, [](const StoreError&) { FAIL() << "failed later"; });
        FAIL() << "set-up succeeded";
    } catch (const StoreError& error) {
        EXPECT_TRUE(error.message().startsWith(QStringLiteral("was unable to load store "))) << error.what();
    }
    EXPECT_EQ(fileBytes(storePath()), QByteArray(8192, 'x'));
    EXPECT_EQ(manager.context(), nullptr);
}

TEST_F(CoreDataManagerTest, FormerFolder_MovesToTheCurrentNameUnlessThatHoldsSomething)
{
    struct Case
    {
        const char* name;
        bool currentFolderExists;
        bool currentFolderHoldsAFile;
        bool moved;
    };
    const QList<Case> cases = {
        {"no current folder", false, false, true},
        {"empty current folder", true, false, true},
        {"current folder in use", true, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir base;
        DataFolders::setBaseFolderForTesting(base.path());
        QDir(base.path()).mkpath(QStringLiteral("Quenfield"));
        QFile old(base.filePath(QStringLiteral("Quenfield/CocoaAppCD.storedata")));
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.close();
        if (c.currentFolderExists)
            QDir(base.path()).mkpath(QStringLiteral("Pelorins"));
        if (c.currentFolderHoldsAFile) {
            QFile current(base.filePath(QStringLiteral("Pelorins/notes.txt")));
            ASSERT_TRUE(current.open(QIODevice::WriteOnly));
        }

        ConsoleLog::Capture capture;
        CoreDataManager manager(migrator());
        EXPECT_EQ(manager.applicationDocumentsDirectory(), base.filePath(QStringLiteral("Pelorins")));
        EXPECT_EQ(QFile::exists(base.filePath(QStringLiteral("Pelorins/CocoaAppCD.storedata"))), c.moved);
        EXPECT_EQ(QFile::exists(base.filePath(QStringLiteral("Quenfield"))), !c.moved);
        EXPECT_EQ(capture.lines(), QStringList());
    }
}

TEST_F(CoreDataManagerTest, RootObject_IsMadeAndSavedOnlyWhenAsked)
{
    CoreDataManager manager(migrator());
    EXPECT_EQ(manager.getRootObject(true), nullptr);
    setUpAndWait(manager);

    EXPECT_EQ(manager.getRootObject(false), nullptr);
    EXPECT_FALSE(manager.context()->hasChanges());
    Root* root = manager.getRootObject(true);
    ASSERT_TRUE(root);
    EXPECT_FALSE(manager.context()->hasChanges());
    EXPECT_EQ(manager.getRootObject(true), root);
    EXPECT_EQ(manager.context()->count(FetchRequest(QStringLiteral("Root"))), 1);
}

TEST_F(CoreDataManagerTest, SaveContext_ReportsWhetherItSavedAndWhy)
{
    CoreDataManager manager(migrator());
    ConsoleLog::Capture capture;
    EXPECT_FALSE(manager.saveContext());
    EXPECT_EQ(capture.lines(), QStringList {QStringLiteral("Error saving context: the store is not loaded")});

    setUpAndWait(manager);
    capture.clear();
    EXPECT_TRUE(manager.saveContext());
    // A history entry needs its date.
    ManagedObject* entry = manager.context()->insertNewObject(QStringLiteral("ListItemHistory"));
    entry->setValue(QStringLiteral("date"), QVariant());
    EXPECT_FALSE(manager.saveContext());
    ASSERT_EQ(capture.lines().size(), 1);
    EXPECT_TRUE(capture.lines().first().startsWith(QStringLiteral("Error saving context: ")))
        << capture.lines().first().toStdString();
    EXPECT_GT(capture.lines().first().size(), QStringLiteral("Error saving context: ").size());
    EXPECT_TRUE(entry->isInserted());
}

} // namespace
