#include "PelorinsKit/store/CoreDataMigrationStep.h"

#include "PelorinsKit/store/StoreError.h"

namespace {

MappingModel findMapping(
    const ManagedObjectModel& source, const ManagedObjectModel& destination, const ModelBundle& bundle)
{
    if (std::optional<MappingModel> mapping = bundle.mappingModel(source, destination))
        return *mapping;
    if (std::optional<MappingModel> mapping = MappingModel::inferred(source, destination))
        return *mapping;
    throw StoreError(QStringLiteral("Expected modal mapping not present"));
}

} // namespace

CoreDataMigrationStep::CoreDataMigrationStep(const CoreDataMigrationVersion& sourceVersion,
    const CoreDataMigrationVersion& destinationVersion, const ModelBundle& bundle)
    : sourceModel(bundle.managedObjectModel(sourceVersion.rawValue()))
    , destinationModel(bundle.managedObjectModel(destinationVersion.rawValue()))
    , mappingModel(findMapping(*sourceModel, *destinationModel, bundle))
{
}
