#pragma once

#include "Platform/core/objectgraph/ManagedObjectModel.h"
#include "Platform/core/objectgraph/MappingModel.h"
#include "Platform/core/objectgraph/MigrationPolicyRegistry.h"

#include <QString>
#include <memory>

// Carries a store of the source model into a new store of the destination model, working on the
// SQLite files directly (see PersistentStoreCoordinator.h for the layout): rows keep their
// primary keys, so relationships, join tables and order columns come over unchanged.
class MigrationManager
{
public:
    MigrationManager(std::shared_ptr<const ManagedObjectModel> sourceModel,
        std::shared_ptr<const ManagedObjectModel> destinationModel, const MigrationPolicyRegistry& policies);

    // The page size of the stores it writes (a power of two from 512 to 65536); 0, the default,
    // keeps SQLite's. Scratch stores that are only read once more are written faster with large
    // pages; a store that will be copied into a store in WAL mode needs that store's page size.
    void setPageSize(int bytes) { m_pageSize = bytes; }

    const ManagedObjectModel& sourceModel() const { return *m_sourceModel; }
    const ManagedObjectModel& destinationModel() const { return *m_destinationModel; }

    // Writes a new store at `destinationPath` (which must not exist yet) from the store at
    // `sourcePath`, which must be a store of the source model with no write-ahead log to fold;
    // it is only read. On failure `error` says why and no store is left at `destinationPath`.
    bool migrateStore(const QString& sourcePath, const MappingModel& mapping, const QString& destinationPath,
        QString* error = nullptr);

private:
    std::shared_ptr<const ManagedObjectModel> m_sourceModel;
    std::shared_ptr<const ManagedObjectModel> m_destinationModel;
    const MigrationPolicyRegistry& m_policies;
    int m_pageSize = 0;
};
