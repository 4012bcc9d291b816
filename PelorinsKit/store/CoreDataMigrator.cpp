#include "PelorinsKit/store/CoreDataMigrator.h"

#include "PelorinsKit/store/StoreError.h"
#include "PelorinsKit/store/StripAttachmentCellMigrationPolicyV32toV33.h"
#include "Platform/core/objectgraph/MigrationManager.h"
#include "Platform/core/objectgraph/PersistentStoreCoordinator.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>
#include <QUuid>

namespace {

constexpr int intermediatePageSize = 65536;

QString urlText(const QString& path)
{
    return QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString();
}

// The version number a store's metadata names, when it is a version of this model.
std::optional<int> versionNumberNamedBy(const QVariantMap& metadata)
{
    static const QRegularExpression pattern(QStringLiteral("^ReVudozu (\\d+)$"));
    const QRegularExpressionMatch match
        = pattern.match(metadata.value(QLatin1String(PersistentStoreCoordinator::VersionNameKey)).toString());
    if (!match.hasMatch())
        return std::nullopt;
    return match.captured(1).toInt();
}

StoreError newerStoreError(const QString& storePath, const QString& versionName)
{
    return StoreError(
        QStringLiteral("the store at %1 was made by the newer model version %2").arg(urlText(storePath), versionName));
}

void destroyStore(const QString& path)
{
    QString error;
    if (!PersistentStoreCoordinator::destroyStore(path, &error))
        throw StoreError(
            QStringLiteral("failed to destroy persistent store at %1, error: %2").arg(urlText(path), error));
}

} // namespace

CoreDataMigrator::CoreDataMigrator()
    : CoreDataMigrator(ModelBundle(), defaultPolicies(), QDir::tempPath())
{
}

CoreDataMigrator::CoreDataMigrator(ModelBundle bundle, MigrationPolicyRegistry policies, QString temporaryDirectory)
    : m_bundle(std::move(bundle))
    , m_policies(std::move(policies))
    , m_temporaryDirectory(std::move(temporaryDirectory))
{
}

MigrationPolicyRegistry CoreDataMigrator::defaultPolicies()
{
    MigrationPolicyRegistry policies;
    policies.registerPolicy<StripAttachmentCellMigrationPolicyV32toV33>(
        StripAttachmentCellMigrationPolicyV32toV33::registeredName);
    return policies;
}

bool CoreDataMigrator::requiresMigration(const QString& storePath, const CoreDataMigrationVersion& version) const
{
    const std::optional<QVariantMap> metadata = PersistentStoreCoordinator::metadata(storePath);
    if (!metadata)
        return false;
    // Every launch asks this of a store of the current version. No earlier version shares its
    // layout (only 2 and 3 share one), so its own model answers, where finding the store's
    // version would read every model before it.
    if (version == CoreDataMigrationVersion::current()
        && m_bundle.managedObjectModel(version.rawValue())->isCompatibleWithStoreMetadata(*metadata))
        return false;
    const std::optional<CoreDataMigrationVersion> storeVersion
        = CoreDataMigrationVersion::compatibleVersionForStoreMetadata(*metadata, m_bundle);
    return !storeVersion || !(*storeVersion == version);
}

void CoreDataMigrator::forceWALCheckpointingForStore(const QString& storePath) const
{
    const std::optional<QVariantMap> metadata = PersistentStoreCoordinator::metadata(storePath);
    if (!metadata)
        return;
    const std::optional<CoreDataMigrationVersion> version
        = CoreDataMigrationVersion::compatibleVersionForStoreMetadata(*metadata, m_bundle);
    if (!version)
        return;
    // Opening a store rewrites its file header; without a log there is nothing to fold, and the
    // file stays exactly as it was.
    if (QFileInfo(storePath + QLatin1String("-wal")).size() == 0)
        return;
    PersistentStoreCoordinator coordinator(m_bundle.managedObjectModel(version->rawValue()));
    QString error;
    if (!coordinator.addPersistentStore(storePath, &error))
        throw StoreError(QStringLiteral("failed to add persistent store to coordinator, error: ") + error);
    if (!coordinator.removePersistentStore(&error))
        throw StoreError(QStringLiteral("failed to force WAL checkpointing, error: ") + error);
}

QList<CoreDataMigrationStep> CoreDataMigrator::migrationStepsForStore(
    const QString& storePath, const CoreDataMigrationVersion& version) const
{
    const std::optional<QVariantMap> metadata = PersistentStoreCoordinator::metadata(storePath);
    const std::optional<CoreDataMigrationVersion> storeVersion
        = metadata ? CoreDataMigrationVersion::compatibleVersionForStoreMetadata(*metadata, m_bundle) : std::nullopt;
    if (!storeVersion) {
        const std::optional<int> named = metadata ? versionNumberNamedBy(*metadata) : std::nullopt;
        if (named && *named > version.number())
            throw newerStoreError(
                storePath, metadata->value(QLatin1String(PersistentStoreCoordinator::VersionNameKey)).toString());
        throw StoreError(QStringLiteral("unknown store version at URL ") + urlText(storePath));
    }
    if (storeVersion->number() > version.number())
        throw newerStoreError(storePath, storeVersion->rawValue());
    return migrationSteps(*storeVersion, version);
}

QList<CoreDataMigrationStep> CoreDataMigrator::migrationSteps(
    const CoreDataMigrationVersion& sourceVersion, const CoreDataMigrationVersion& destinationVersion) const
{
    QList<CoreDataMigrationStep> steps;
    if (sourceVersion == destinationVersion)
        return steps;
    CoreDataMigrationVersion current = sourceVersion;
    while (const std::optional<CoreDataMigrationVersion> next = current.nextVersion()) {
        steps.append(CoreDataMigrationStep(current, *next, m_bundle));
        if (*next == destinationVersion)
            break;
        current = *next;
    }
    return steps;
}

void CoreDataMigrator::migrateStore(const QString& storePath, const CoreDataMigrationVersion& version) const
{
    forceWALCheckpointingForStore(storePath);
    const QList<CoreDataMigrationStep> steps = migrationStepsForStore(storePath, version);
    // A store already at the version needs nothing, not even a replacement by itself.
    if (steps.isEmpty())
        return;

    QString currentPath = storePath;
    // On any failure the temporary store of the last finished step goes too; the store itself
    // has not been touched yet.
    const auto removeTemporaryStore = [&] {
        if (currentPath != storePath)
            PersistentStoreCoordinator::destroyStore(currentPath);
    };
    for (const CoreDataMigrationStep& step : steps) {
        MigrationManager manager(step.sourceModel, step.destinationModel, m_policies);
        // Only the last store is copied into the store file, whose page size it must keep.
        if (&step != &steps.last())
            manager.setPageSize(intermediatePageSize);
        const QString destinationPath
            = QDir(m_temporaryDirectory).filePath(QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper());
        QString error;
        if (!manager.migrateStore(currentPath, step.mappingModel, destinationPath, &error)) {
            removeTemporaryStore();
            throw StoreError(QStringLiteral("failed attempting to migrate from %1 to %2, error: %3")
                                 .arg(step.sourceModel->versionName(), step.destinationModel->versionName(), error));
        }
        if (currentPath != storePath) {
            try {
                destroyStore(currentPath);
            } catch (const StoreError&) {
                PersistentStoreCoordinator::destroyStore(destinationPath);
                throw;
            }
        }
        currentPath = destinationPath;
    }

    QString error;
    if (!PersistentStoreCoordinator::replaceStore(storePath, currentPath, &error)) {
        removeTemporaryStore();
        throw StoreError(QStringLiteral("failed to replace persistent store at %1 with %2, error: %3")
                             .arg(urlText(storePath), urlText(currentPath), error));
    }
    destroyStore(currentPath);
}
