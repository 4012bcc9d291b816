#include "PelorinsKit/store/CoreDataMigrator.h"
#include "PelorinsKit/model/EntityModel.h"
#include "PelorinsKit/store/StoreError.h"
#include "Platform/core/objectgraph/ManagedObjectContext.h"
#include "Platform/core/objectgraph/PersistentStoreCoordinator.h"
#include "support/QStringPrinting.h"
#include "support/StoreFixtureWriter.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>
#include <sqlite3.h>

namespace {

const QString stripPolicyName = QStringLiteral("PelorinsKit.StripAttachmentCellMigrationPolicyV32toV33");

// Stands in for the notes policy of the 32-to-33 step: counts its cards and can fail on one.
class RecordingPolicy : public EntityMigrationPolicy
{
public:
    explicit RecordingPolicy(int* calls, bool fails)
        : m_calls(calls)
        , m_fails(fails)
    {
    }
    bool createDestinationInstances(
        const MigrationRecord& source, MigrationRecord& destination, QString* error) override
    {
        ++*m_calls;
        if (m_fails) {
            *error = QStringLiteral("cannot convert the notes of card %1").arg(source.primaryKey);
            return false;
        }
        destination.values.insert(
            QStringLiteral("attributedNotes"), source.values.value(QStringLiteral("attributedNotes")));
        return true;
    }

private:
    int* m_calls;
    bool m_fails;
};

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString urlText(const QString& path)
{
    return QUrl::fromLocalFile(path).toString();
}

class CoreDataMigratorTest : public ::testing::Test
{
protected:
    CoreDataMigrator migrator(bool policyFails = false, bool withPolicy = true)
    {
        MigrationPolicyRegistry policies;
        if (withPolicy)
            policies.registerPolicy(stripPolicyName,
                [this, policyFails] { return std::make_unique<RecordingPolicy>(&m_policyCalls, policyFails); });
        return CoreDataMigrator(ModelBundle(), std::move(policies), m_temporary.path());
    }

    std::shared_ptr<const ManagedObjectModel> model(int version) const
    {
        return ModelBundle().managedObjectModel(CoreDataMigrationVersion::version(version).rawValue());
    }

    QString writeStore(int version)
    {
        QString error;
        EXPECT_TRUE(StoreFixtureWriter::write(storePath(), model(version), &error)) << error.toStdString();
        return storePath();
    }

    QString storePath() const { return m_folder.filePath(QStringLiteral("CocoaAppCD.storedata")); }
    QStringList temporaryFiles() const { return QDir(m_temporary.path()).entryList(QDir::Files); }

    // Names that a URI must escape, since steps read their source stores through one.
    QTemporaryDir m_folder {QDir::tempPath() + QStringLiteral("/store #1 50%-XXXXXX")};
    QTemporaryDir m_temporary {QDir::tempPath() + QStringLiteral("/steps ?x=1-XXXXXX")};
    int m_policyCalls = 0;
};

TEST_F(CoreDataMigratorTest, VersionNames_FollowTheModelNamesAndTheirOrder)
{
    EXPECT_EQ(CoreDataMigrationVersion::version(1).rawValue(), QStringLiteral("ReVudozu"));
    EXPECT_EQ(CoreDataMigrationVersion::version(2).rawValue(), QStringLiteral("ReVudozu 2"));
    EXPECT_EQ(CoreDataMigrationVersion::current().rawValue(), QStringLiteral("ReVudozu 34"));
    // The store manager creates stores with the entity model's current version.
    EXPECT_EQ(CoreDataMigrationVersion::current().rawValue(), QString(EntityModel::currentVersionName));
    EXPECT_EQ(CoreDataMigrationVersion::allCases().size(), 34);

    EXPECT_EQ(CoreDataMigrationVersion::fromRawValue(QStringLiteral("ReVudozu"))->number(), 1);
    EXPECT_EQ(CoreDataMigrationVersion::fromRawValue(QStringLiteral("ReVudozu 34"))->number(), 34);
    for (const char* invalid : {"ReVudozu 1", "ReVudozu 35", "ReVudozu 02", "revudozu", ""})
        EXPECT_FALSE(CoreDataMigrationVersion::fromRawValue(QString::fromLatin1(invalid))) << invalid;

    EXPECT_EQ(CoreDataMigrationVersion::version(1).nextVersion()->number(), 2);
    EXPECT_FALSE(CoreDataMigrationVersion::current().nextVersion());
}

TEST_F(CoreDataMigratorTest, ShippedModels_OnlyVersions2And3ShareALayout)
{
    QHash<QByteArray, QList<int>> versionsByLayout;
    for (const CoreDataMigrationVersion& version : CoreDataMigrationVersion::allCases()) {
        const auto loaded = ModelBundle().managedObjectModel(version.rawValue());
        EXPECT_EQ(loaded->versionName(), version.rawValue());
        versionsByLayout[loaded->layoutHash()].append(version.number());
    }
    EXPECT_EQ(versionsByLayout.size(), 33);
    for (const QList<int>& versions : std::as_const(versionsByLayout)) {
        if (versions.size() > 1) {
            EXPECT_EQ(versions, (QList<int> {2, 3}));
        }
    }
}

TEST_F(CoreDataMigratorTest, RequiresMigration_OnlyForAnExistingStoreOfAnotherVersion)
{
    const CoreDataMigrator subject = migrator();
    const CoreDataMigrationVersion current = CoreDataMigrationVersion::current();
    EXPECT_FALSE(subject.requiresMigration(storePath(), current));

    writeStore(34);
    EXPECT_FALSE(subject.requiresMigration(storePath(), current));
    EXPECT_TRUE(subject.requiresMigration(storePath(), CoreDataMigrationVersion::version(33)));
    EXPECT_TRUE(subject.migrationStepsForStore(storePath(), current).isEmpty());

    PersistentStoreCoordinator::destroyStore(storePath());
    writeStore(1);
    EXPECT_TRUE(subject.requiresMigration(storePath(), current));
}

// Versions 2 and 3 differ only in a default value: a store written by version 3 reads as
// version 2 and goes through the step between them.
TEST_F(CoreDataMigratorTest, SharedLayout_EarliestVersionWins)
{
    writeStore(3);
    const auto metadata = PersistentStoreCoordinator::metadata(storePath());
    ASSERT_TRUE(metadata);
    EXPECT_EQ(CoreDataMigrationVersion::compatibleVersionForStoreMetadata(*metadata, ModelBundle())->number(), 2);

    const CoreDataMigrator subject = migrator();
    EXPECT_TRUE(subject.requiresMigration(storePath(), CoreDataMigrationVersion::version(3)));
    const QList<CoreDataMigrationStep> steps
        = subject.migrationStepsForStore(storePath(), CoreDataMigrationVersion::current());
    ASSERT_EQ(steps.size(), 32);
    EXPECT_EQ(steps.first().sourceModel->versionName(), QStringLiteral("ReVudozu 2"));
    EXPECT_TRUE(steps.first().mappingModel.isInferred());
}

TEST_F(CoreDataMigratorTest, StepPlan_UsesTheExplicitMappingOnlyFrom32To33)
{
    const QList<CoreDataMigrationStep> steps
        = migrator().migrationSteps(CoreDataMigrationVersion::version(1), CoreDataMigrationVersion::current());
    ASSERT_EQ(steps.size(), 33);
    for (int i = 0; i < steps.size(); ++i) {
        EXPECT_EQ(steps.at(i).sourceModel->versionName(), CoreDataMigrationVersion::version(i + 1).rawValue());
        EXPECT_EQ(steps.at(i).destinationModel->versionName(), CoreDataMigrationVersion::version(i + 2).rawValue());
        EXPECT_EQ(steps.at(i).mappingModel.isInferred(), i + 1 != 32) << "step from " << i + 1;
    }
    const auto& explicitMappings = steps.at(31).mappingModel.entityMappings();
    ASSERT_EQ(explicitMappings.size(), 1);
    EXPECT_EQ(explicitMappings.first().entityName, QStringLiteral("ListItem"));
    EXPECT_EQ(explicitMappings.first().policyName, stripPolicyName);
}

// From the first version, from one in the middle and from the last old one: the store ends at
// the current version with every value it had, and no temporary store is left.
TEST_F(CoreDataMigratorTest, Migrate_CarriesTheDataToTheCurrentVersion)
{
    for (const int from : {1, 17, 33}) {
        SCOPED_TRACE(from);
        PersistentStoreCoordinator::destroyStore(storePath());
        m_policyCalls = 0;
        writeStore(from);
        const auto fromModel = model(from);
        const QStringList before = StoreFixtureWriter::describe(storePath(), fromModel, *model(34));
        ASSERT_FALSE(before.isEmpty());

        const CoreDataMigrator subject = migrator();
        EXPECT_EQ(subject.migrationStepsForStore(storePath(), CoreDataMigrationVersion::current()).size(), 34 - from);
        subject.migrateStore(storePath(), CoreDataMigrationVersion::current());

        const auto metadata = PersistentStoreCoordinator::metadata(storePath());
        ASSERT_TRUE(metadata);
        EXPECT_EQ(metadata->value(QLatin1String(PersistentStoreCoordinator::VersionNameKey)).toString(),
            QStringLiteral("ReVudozu 34"));
        EXPECT_FALSE(subject.requiresMigration(storePath(), CoreDataMigrationVersion::current()));
        EXPECT_EQ(StoreFixtureWriter::describe(storePath(), model(34), *fromModel), before);
        // Four open cards, and a done card once boards have a done column.
        EXPECT_EQ(m_policyCalls, from <= 32 ? (from >= 6 ? 5 : 4) : 0);
        EXPECT_EQ(temporaryFiles(), QStringList());
        EXPECT_FALSE(QFile::exists(storePath() + QLatin1String("-wal"))
            && QFileInfo(storePath() + QLatin1String("-wal")).size() > 0);
    }
}

TEST_F(CoreDataMigratorTest, Migrate_FromVersion1GivesNewAttributesTheirDefaults)
{
    writeStore(1);
    migrator().migrateStore(storePath(), CoreDataMigrationVersion::current());

    sqlite3* db = nullptr;
    ASSERT_EQ(
        sqlite3_open_v2(QFile::encodeName(storePath()).constData(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    const auto count = [db](const char* sql) {
        sqlite3_stmt* statement = nullptr;
        int result = -1;
        if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK && sqlite3_step(statement) == SQLITE_ROW)
            result = sqlite3_column_int(statement, 0);
        sqlite3_finalize(statement);
        return result;
    };
    const QList<std::pair<const char*, int>> cases = {
        {"SELECT count(*) FROM ListItem WHERE toBeDeleted = 0", 4},
        {"SELECT count(*) FROM ListItem WHERE dueDate IS NULL AND uniqueIdentifier IS NULL", 4},
        {"SELECT count(*) FROM KanbanColumn WHERE bookmarked = 0", 2},
        {"SELECT count(*) FROM DisplayItem WHERE export = 0", 3},
        // Only folders have "expanded"; the board's row keeps no value in that column.
        {"SELECT count(*) FROM DisplayItem WHERE Z_ENT IN ('Folder', 'Root') AND expanded = 0", 2},
        {"SELECT count(*) FROM DisplayItem WHERE Z_ENT = 'Kanban' AND expanded IS NULL", 1},
    };
    for (const auto& [sql, expected] : cases)
        EXPECT_EQ(count(sql), expected) << sql;
    sqlite3_close(db);
}

TEST_F(CoreDataMigratorTest, FailedMiddleStep_LeavesTheStoreUnchangedAndNoTemporaryStore)
{
    writeStore(1);
    const QByteArray before = fileBytes(storePath());
    try {
        migrator(true).migrateStore(storePath(), CoreDataMigrationVersion::current());
        FAIL() << "the migration succeeded";
    } catch (const StoreError& error) {
        EXPECT_EQ(error.message(),
            QStringLiteral("failed attempting to migrate from ReVudozu 32 to ReVudozu 33, "
                           "error: cannot convert the notes of card 1"));
    }
    EXPECT_EQ(m_policyCalls, 1);
    EXPECT_EQ(fileBytes(storePath()), before);
    EXPECT_EQ(temporaryFiles(), QStringList());
}

TEST_F(CoreDataMigratorTest, MissingPolicy_FailsTheStepThatNamesIt)
{
    writeStore(32);
    const QByteArray before = fileBytes(storePath());
    try {
        migrator(false, false).migrateStore(storePath(), CoreDataMigrationVersion::current());
        FAIL() << "the migration succeeded";
    } catch (const StoreError& error) {
        EXPECT_EQ(error.message(),
            QStringLiteral("failed attempting to migrate from ReVudozu 32 to ReVudozu 33, "
                           "error: no entity migration policy is registered as ")
                + stripPolicyName);
    }
    EXPECT_EQ(fileBytes(storePath()), before);
    EXPECT_EQ(temporaryFiles(), QStringList());
}

TEST_F(CoreDataMigratorTest, UnknownOrNewerStore_IsReportedAndLeftAlone)
{
    struct Case
    {
        const char* versionName;
        QString message;
    };
    const QString url = urlText(storePath());
    const QList<Case> cases = {
        {"Elsewhere 3", QStringLiteral("unknown store version at URL ") + url},
        {"ReVudozu 35", QStringLiteral("the store at %1 was made by the newer model version ReVudozu 35").arg(url)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.versionName);
        PersistentStoreCoordinator::destroyStore(storePath());
        // The current model with one more entity: a layout that no shipped version has.
        QFile file(ModelBundle().modelDirectory() + QStringLiteral("/ReVudozu 34.mom"));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        QByteArray json = file.readAll();
        json.replace("\"entities\": [",
            "\"entities\": [ { \"name\": \"Later\", \"attributes\": [ { \"name\": \"x\", \"type\": \"string\" } ] },");
        const auto other = ManagedObjectModel::fromJson(json, QString::fromLatin1(c.versionName));
        ASSERT_TRUE(other);
        ASSERT_TRUE(StoreFixtureWriter::write(storePath(), other));
        const QByteArray before = fileBytes(storePath());

        const CoreDataMigrator subject = migrator();
        EXPECT_TRUE(subject.requiresMigration(storePath(), CoreDataMigrationVersion::current()));
        try {
            subject.migrateStore(storePath(), CoreDataMigrationVersion::current());
            FAIL() << "the migration succeeded";
        } catch (const StoreError& error) {
            EXPECT_EQ(error.message(), c.message);
        }
        EXPECT_EQ(fileBytes(storePath()), before);
        EXPECT_EQ(temporaryFiles(), QStringList());
    }
}

TEST_F(CoreDataMigratorTest, WriteAheadLog_IsFoldedBeforeTheFirstStep)
{
    writeStore(20);
    const auto fromModel = model(20);
    // A change that only the log holds: the coordinator stays open while the files are copied.
    QTemporaryDir copy;
    const QString copiedStore = copy.filePath(QStringLiteral("Copied.storedata"));
    {
        auto coordinator = std::make_shared<PersistentStoreCoordinator>(fromModel);
        ASSERT_TRUE(coordinator->addPersistentStore(storePath()));
        ManagedObjectContext context(fromModel);
        ASSERT_TRUE(context.loadPersistentStore(coordinator));
        ManagedObject* board = context.fetch(FetchRequest(QStringLiteral("Kanban"))).value(0);
        ASSERT_TRUE(board);
        board->setValue(QStringLiteral("title"), QStringLiteral("Only in the log"));
        ASSERT_TRUE(context.save());
        ASSERT_GT(QFileInfo(storePath() + QLatin1String("-wal")).size(), 0);
        ASSERT_TRUE(QFile::copy(storePath(), copiedStore));
        ASSERT_TRUE(QFile::copy(storePath() + QLatin1String("-wal"), copiedStore + QLatin1String("-wal")));
    }

    migrator().migrateStore(copiedStore, CoreDataMigrationVersion::current());
    EXPECT_TRUE(StoreFixtureWriter::describe(copiedStore, model(34), *fromModel)
                    .filter(QStringLiteral("title=Only in the log"))
                    .size()
        == 1);
    EXPECT_EQ(temporaryFiles(), QStringList());
}

TEST_F(CoreDataMigratorTest, ModelLoader_PrefersOmoAndNamesWhatIsMissing)
{
    QTemporaryDir bundleFolder;
    const auto writeFile = [&](const QString& name, const QByteArray& content) {
        QFile file(bundleFolder.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    };
    writeFile(QStringLiteral("ReVudozu 5.omo"), R"({"entities": [{"name": "FromOmo"}]})");
    writeFile(QStringLiteral("ReVudozu 5.mom"), R"({"entities": [{"name": "FromMom"}]})");
    writeFile(QStringLiteral("ReVudozu 6.mom"), "not a model");
    const ModelBundle bundle(bundleFolder.path(), bundleFolder.path());

    EXPECT_TRUE(bundle.managedObjectModel(QStringLiteral("ReVudozu 5"))->entity(QStringLiteral("FromOmo")));
    const auto messageOf = [&](const QString& resource) {
        try {
            bundle.managedObjectModel(resource);
        } catch (const StoreError& error) {
            return error.message();
        }
        return QString();
    };
    EXPECT_EQ(messageOf(QStringLiteral("ReVudozu 6")), QStringLiteral("unable to load model in bundle"));
    EXPECT_EQ(messageOf(QStringLiteral("ReVudozu 7")), QStringLiteral("unable to find model in bundle"));
}

} // namespace
