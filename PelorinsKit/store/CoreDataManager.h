#pragma once

#include "PelorinsKit/store/CoreDataMigratorProtocol.h"
#include "PelorinsKit/store/StoreError.h"
#include "Platform/core/objectgraph/ManagedObjectContext.h"
#include "Platform/core/objectgraph/ManagedObjectModel.h"
#include "Platform/core/objectgraph/PersistentStoreCoordinator.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

class JSONReader;
class Root;
class StoreLoading;

// Owns the one store of the program: its file in the data folder, its migration to the current
// model version at start-up, and the main context through which everything reads and writes it.
class CoreDataManager
{
public:
    static constexpr const char* storeFileName = "CocoaAppCD.storedata";
    // The data folder's name in earlier releases; moved to the current name on first use.
    static constexpr const char* formerFolderName = "Quenfield";

    // The program's instance, made on first use.
    static CoreDataManager& shared();

    explicit CoreDataManager(std::shared_ptr<const CoreDataMigratorProtocol> migrator);
    ~CoreDataManager();
    CoreDataManager(const CoreDataManager&) = delete;
    CoreDataManager& operator=(const CoreDataManager&) = delete;

    // The program's folder under the data location (see DataFolders). The first call moves the
    // folder of the earlier name there when the current one is missing or empty; it creates
    // nothing. Empty when the system gives no data location.
    const QString& applicationDocumentsDirectory();
    QString storePath();

    // Migrates the store when it is of an older version, loads it and then calls `completion`
    // on the main thread: before returning when nothing needs migrating, else in a later turn of
    // the event loop once the migration, run on another thread, has finished.
    // Throws StoreError for what fails before returning; what fails after it (the migration and
    // the loading behind it) goes to `failure` on the main thread instead. Either way the store
    // is not loaded. An existing store that cannot be read is never opened, replaced or deleted.
    // A store held by another program fails with StoreError::Reason::InUse; one that may not be
    // written is loaded for reading only (see isReadOnly()).
    // Destroying the manager waits for a migration it started.
    void setup(std::function<void()> completion, std::function<void(const StoreError&)> failure);

    // The main context; null until the store is loaded.
    ManagedObjectContext* context() const { return m_context.get(); }
    // How the rest of the store comes in after the first board, and the barrier of walks over
    // all of it; null until the store is loaded.
    StoreLoading* loading() const { return m_loading.get(); }
    // Whether the store loaded may only be read (its file or folder may not be written), so
    // that no save can succeed.
    bool isReadOnly() const { return m_coordinator && m_coordinator->isReadOnly(); }

    // The top of the sidebar tree; with `createIfNeeded` a missing one is made and saved. A failed
    // fetch counts as no root; its error goes to `fetchError` when given.
    Root* getRootObject(bool createIfNeeded, QString* fetchError = nullptr);
    // Saves the main context; false, with the error written to the console, when it failed (the
    // changes then stay in the context).
    bool saveContext();
    // Reads an archive package or plain archive file into the sidebar tree under the root through
    // jsonReader(), bringing in a package's pictures, and saves. A refused archive changes
    // nothing; why goes to the console.
    void importFrom(const QUrl& url);
    // The reader of JSON nodes into the main context, made on first use; null until the store is
    // loaded. Its identifier mappings last as long as the loaded store, so that history entries
    // read later follow the columns whose identifiers earlier reads replaced.
    JSONReader* jsonReader();

private:
    void buildContainer();
    void loadStore();

    std::shared_ptr<const CoreDataMigratorProtocol> m_migrator;
    std::optional<QString> m_applicationDocumentsDirectory;
    std::shared_ptr<const ManagedObjectModel> m_model;
    std::shared_ptr<PersistentStoreCoordinator> m_coordinator;
    std::unique_ptr<ManagedObjectContext> m_context;
    std::unique_ptr<StoreLoading> m_loading;
    // Made by the archive wing, which builds on this one: a shared pointer is destroyed here
    // without this wing knowing the reader's type.
    std::shared_ptr<JSONReader> m_jsonReader;
    std::thread m_migration;
    // Receives the migration's result on the main thread; its pending calls die with it.
    std::unique_ptr<QObject> m_mainThreadReceiver;
};
