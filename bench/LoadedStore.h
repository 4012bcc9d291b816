#pragma once

#include "PelorinsKit/model/EntityModel.h"
#include "Platform/core/objectgraph/ManagedObjectContext.h"
#include "Platform/core/objectgraph/PersistentStoreCoordinator.h"

#include <QString>
#include <memory>

// A store of the current model opened and loaded for a benchmark; a failure ends the run.
struct LoadedStore
{
    std::shared_ptr<PersistentStoreCoordinator> coordinator;
    std::unique_ptr<ManagedObjectContext> context;
};

inline LoadedStore load(const QString& path)
{
    LoadedStore store;
    QString error;
    auto model = EntityModel::currentModel(&error);
    store.coordinator = std::make_shared<PersistentStoreCoordinator>(model);
    store.context = EntityModel::makeContext(model);
    if (!store.coordinator->addPersistentStore(path, &error)
        || !store.context->loadPersistentStore(store.coordinator, &error))
        qFatal("cannot load the store: %s", qPrintable(error));
    return store;
}
