#include "TestStore.h"

#include "PelorinsKit/model/EntityModel.h"
#include "PelorinsKit/store/StoreLoading.h"

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

bool TestStore::reopenProgressively()
{
    close();
    return open(true);
}

bool TestStore::open(bool progressively)
{
    auto coordinator = std::make_shared<PersistentStoreCoordinator>(m_model);
    if (!coordinator->addPersistentStore(path(), &m_error))
        return false;
    auto context = EntityModel::makeContext(m_model);
    if (!context->loadPersistentStore(
            coordinator, progressively ? StoreLoading::deferredEntities : QStringList(), &m_error))
        return false;
    m_coordinator = std::move(coordinator);
    m_context = std::move(context);
    if (progressively)
        m_loading = std::make_unique<StoreLoading>(*m_context);
    return true;
}

void TestStore::close()
{
    m_loading.reset();
    m_context.reset();
    if (m_coordinator)
        m_coordinator->removePersistentStore();
    m_coordinator.reset();
}
