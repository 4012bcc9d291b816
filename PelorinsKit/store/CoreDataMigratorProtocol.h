#pragma once

#include "PelorinsKit/store/CoreDataMigrationVersion.h"

#include <QString>

// What the store manager asks of a migrator.
class CoreDataMigratorProtocol
{
public:
    virtual ~CoreDataMigratorProtocol() = default;

    // True when a store exists at `storePath` (its metadata can be read) and it is not a store
    // of `version`, including a store of no known version.
    virtual bool requiresMigration(const QString& storePath, const CoreDataMigrationVersion& version) const = 0;
    // Migrates the store in place to `version`; throws StoreError on failure.
    virtual void migrateStore(const QString& storePath, const CoreDataMigrationVersion& version) const = 0;
};
