#pragma once

#include "Platform/core/objectgraph/EntityMigrationPolicy.h"

#include <QHash>
#include <QString>
#include <functional>
#include <memory>

// The entity migration policies a migration may name, by their registered names. Whoever runs
// migrations owns a registry and passes it in, so tests can register policies of their own.
class MigrationPolicyRegistry
{
public:
    using Factory = std::function<std::unique_ptr<EntityMigrationPolicy>()>;

    void registerPolicy(const QString& name, Factory factory);
    template <typename T> void registerPolicy(const QString& name)
    {
        registerPolicy(name, [] { return std::unique_ptr<EntityMigrationPolicy>(new T()); });
    }

    bool contains(const QString& name) const { return m_factories.contains(name); }
    // A new policy, or null when nothing is registered under `name`.
    std::unique_ptr<EntityMigrationPolicy> makePolicy(const QString& name) const;

private:
    QHash<QString, Factory> m_factories;
};
