#include "Platform/core/objectgraph/MigrationPolicyRegistry.h"

void MigrationPolicyRegistry::registerPolicy(const QString& name, Factory factory)
{
    m_factories.insert(name, std::move(factory));
}

std::unique_ptr<EntityMigrationPolicy> MigrationPolicyRegistry::makePolicy(const QString& name) const
{
    const auto it = m_factories.constFind(name);
    return it == m_factories.cend() ? nullptr : (*it)();
}
