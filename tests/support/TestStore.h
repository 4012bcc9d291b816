#pragma once

#include "Platform/core/objectgraph/ManagedObjectContext.h"
#include "Platform/core/objectgraph/PersistentStoreCoordinator.h"

#include <QString>
#include <QTemporaryDir>
#include <memory>

// A store file of the current model in a temporary folder, loaded into a context with the entity
// classes registered. reopen() reads the file afresh into a new context, to see what was saved.
class StoreLoading;

class TestStore
{
public:
    TestStore();
    ~TestStore();
    TestStore(const TestStore&) = delete;
    TestStore& operator=(const TestStore&) = delete;

    // False when the model or the store could not be opened; error() says why.
    bool isOpen() const { return m_context != nullptr; }
    const QString& error() const { return m_error; }

    ManagedObjectContext& context() { return *m_context; }
    QString path() const;
    std::shared_ptr<const ManagedObjectModel> model() const { return m_model; }

    // Drops the context without saving and loads the store file into a new one.
    bool reopen();
    // The same, but as the program opens its store: with the cards and their history not read
    // yet, coming in as loading() brings them.
    bool reopenProgressively();
    StoreLoading* loading() const { return m_loading.get(); }

private:
    bool open(bool progressively = false);
    void close();

    QTemporaryDir m_folder;
    std::shared_ptr<const ManagedObjectModel> m_model;
    std::shared_ptr<PersistentStoreCoordinator> m_coordinator;
    std::unique_ptr<ManagedObjectContext> m_context;
    std::unique_ptr<StoreLoading> m_loading;
    QString m_error;
};
