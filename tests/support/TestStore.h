#pragma once

#include "Platform/core/objectgraph/ManagedObjectContext.h"
#include "Platform/core/objectgraph/PersistentStoreCoordinator.h"

#include <QString>
#include <QTemporaryDir>
#include <memory>

// A store file of the current model in a temporary folder, loaded into a context with the entity
// classes registered. reopen() reads the file afresh into a new context, to see what was saved.
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

private:
    bool open();
    void close();

    QTemporaryDir m_folder;
    std::shared_ptr<const ManagedObjectModel> m_model;
    std::shared_ptr<PersistentStoreCoordinator> m_coordinator;
    std::unique_ptr<ManagedObjectContext> m_context;
    QString m_error;
};
