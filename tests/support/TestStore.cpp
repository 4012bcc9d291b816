#include "TestStore.h"

#include "PelorinsKit/model/EntityModel.h"

TestStore::TestStore()
    : m_model(EntityModel::currentModel(&m_error))
{
    if (m_model)
        open();
}

TestStore::~TestStore()
{
    close();
}

QString TestStore::path() const
{
    return m_folder.filePath(QStringLiteral("Test.storedata"));
}

bool TestStore::reopen()
{
    close();
    return open();
}

bool TestStore::open()
{
    auto coordinator = std::make_shared<PersistentStoreCoordinator>(m_model);
    if (!coordinator->addPersistentStore(path(), &m_error))
        return false;
    auto context = EntityModel::makeContext(m_model);
    if (!context->loadPersistentStore(coordinator, &m_error))
        return false;
    m_coordinator = std::move(coordinator);
    m_context = std::move(context);
    return true;
}

void TestStore::close()
{
    m_context.reset();
    if (m_coordinator)
        m_coordinator->removePersistentStore();
    m_coordinator.reset();
}
