#pragma once

#include "PelorinsKit/store/CoreDataMigrationVersion.h"
#include "PelorinsKit/store/ModelBundle.h"
#include "Platform/core/objectgraph/ManagedObjectModel.h"
#include "Platform/core/objectgraph/MappingModel.h"

#include <memory>

// One step of a store migration: from one model version to the next.
class CoreDataMigrationStep
{
public:
    // Loads both models from `bundle` and takes the bundle's explicit mapping for them, else an
    // inferred one. Throws StoreError: a model's message (see ModelBundle), or "Expected modal
    // mapping not present" when there is no usable mapping.
    CoreDataMigrationStep(const CoreDataMigrationVersion& sourceVersion,
        const CoreDataMigrationVersion& destinationVersion, const ModelBundle& bundle);

    std::shared_ptr<const ManagedObjectModel> sourceModel;
    std::shared_ptr<const ManagedObjectModel> destinationModel;
    MappingModel mappingModel;
};
