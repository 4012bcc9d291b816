#pragma once

#include "Platform/core/objectgraph/MigrationRecord.h"

#include <QString>

// Custom work for one entity mapping of an explicit mapping model, registered by name in a
// MigrationPolicyRegistry. The migration manager makes one policy per migration and calls it
// once for every object of the mapped entity and its subentities, after it has carried the
// object's shared values over into the destination store.
class EntityMigrationPolicy
{
public:
    virtual ~EntityMigrationPolicy() = default;

    // `destination` holds the new row as carried over; changes to its values are written back
    // (only columns of the destination table may be set). Returning false fails the whole
    // migration with `error`.
    virtual bool createDestinationInstances(const MigrationRecord& source, MigrationRecord& destination, QString* error)
        = 0;
};
