#pragma once

#include "PelorinsKit/model/EntityModel.h"
#include "Platform/core/objectgraph/ManagedObjectContext.h"
#include "Platform/core/objectgraph/PersistentStoreCoordinator.h"
#include "ReferenceDataset.h"

#include <QDate>
#include <QString>
#include <QTemporaryDir>
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

// The benchmarks' dataset written into a temporary folder and loaded.
inline LoadedStore loadReferenceStore(const QTemporaryDir& folder)
{
    const QString path = folder.filePath(QStringLiteral("reference.storedata"));
    QString error;
    if (!ReferenceDataset::write(path, QDate::currentDate(), &error))
        qFatal("cannot write the reference dataset: %s", qPrintable(error));
    return load(path);
}
