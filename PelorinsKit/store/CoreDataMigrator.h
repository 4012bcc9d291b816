#pragma once

#include "PelorinsKit/store/CoreDataMigrationStep.h"
#include "PelorinsKit/store/CoreDataMigratorProtocol.h"
#include "PelorinsKit/store/ModelBundle.h"
#include "Platform/core/objectgraph/MigrationPolicyRegistry.h"

#include <QList>
#include <QString>

// Migrates a store one model version at a time, each step into a new temporary store, and puts
// the result in place of the store only at the end. Every failure throws StoreError with its
// message; the store at the given path is then unchanged and no temporary store is left.
class CoreDataMigrator : public CoreDataMigratorProtocol
{
public:
    // The framework's model bundle and migration policies; temporary stores go to the system's
    // temporary folder.
    CoreDataMigrator();
    CoreDataMigrator(ModelBundle bundle, MigrationPolicyRegistry policies, QString temporaryDirectory);

    // The entity migration policies that the shipped explicit mappings name.
    static MigrationPolicyRegistry defaultPolicies();

    const ModelBundle& bundle() const { return m_bundle; }

    bool requiresMigration(const QString& storePath, const CoreDataMigrationVersion& version) const override;
    void migrateStore(const QString& storePath, const CoreDataMigrationVersion& version) const override;

    // Folds the store's write-ahead log into its file, so that a step can read the file alone.
    // A store without a log to fold, or of no known version, is left untouched.
    void forceWALCheckpointingForStore(const QString& storePath) const;
    // The steps from the store's version to `version`. Throws "unknown store version at URL "
    // + the store's URL when the store has no known version, and names the version when the
    // store was made by a newer model than `version`.
    QList<CoreDataMigrationStep> migrationStepsForStore(
        const QString& storePath, const CoreDataMigrationVersion& version) const;
    QList<CoreDataMigrationStep> migrationSteps(
        const CoreDataMigrationVersion& sourceVersion, const CoreDataMigrationVersion& destinationVersion) const;

private:
    ModelBundle m_bundle;
    MigrationPolicyRegistry m_policies;
    QString m_temporaryDirectory;
};
