#pragma once

#include "Platform/core/objectgraph/ManagedObjectModel.h"

#include <QList>
#include <QString>
#include <optional>

// How a store of one model version is carried over to the next: every table and column the two
// layouts share is copied, values of new attributes start at their defaults, and the entities
// an explicit mapping names get their entity migration policy run on each object.
//
// Explicit mapping files hold one JSON object:
//
//   {
//     "source": "ReVudozu 32",
//     "destination": "ReVudozu 33",
//     "entityMappings": [
//       { "entity": "ListItem", "policy": "PelorinsKit.StripAttachmentCellMigrationPolicyV32toV33" }
//     ]
//   }
//
// Entities that no entity mapping names are carried over as an inferred mapping would.
class MappingModel
{
public:
    struct EntityMapping
    {
        QString entityName;
        QString policyName;
    };

    // The mapping that copies what the two models share. None, with `error` saying why, when
    // copying cannot carry the data over: a new required attribute without a default (or an
    // optional one becoming required without one), an attribute changing its type, a
    // relationship changing its destination, kind, order or inverse, a new required to-one, an
    // entity moving to another table, or an entity removed while its table stays.
    static std::optional<MappingModel> inferred(
        const ManagedObjectModel& source, const ManagedObjectModel& destination, QString* error = nullptr);
    // An explicit mapping file for these two models. None with `error` when the file is missing,
    // invalid, names other versions or unknown entities, or when the models cannot be carried
    // over (as for inferred mappings, except that an entity with a policy may gain required
    // attributes: its policy fills them).
    static std::optional<MappingModel> fromFile(const QString& path, const ManagedObjectModel& source,
        const ManagedObjectModel& destination, QString* error = nullptr);

    const QString& sourceVersionName() const { return m_sourceVersionName; }
    const QString& destinationVersionName() const { return m_destinationVersionName; }
    bool isInferred() const { return !m_explicit; }
    const QList<EntityMapping>& entityMappings() const { return m_entityMappings; }

private:
    MappingModel() = default;

    QString m_sourceVersionName;
    QString m_destinationVersionName;
    QList<EntityMapping> m_entityMappings;
    bool m_explicit = false;
};
