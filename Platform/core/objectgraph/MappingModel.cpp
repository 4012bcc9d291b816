#include "Platform/core/objectgraph/MappingModel.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

namespace {

bool fail(QString* error, const QString& message)
{
    if (error)
        *error = message;
    return false;
}

QString propertyName(const EntityDescription& entity, const QString& name)
{
    return entity.name() + QLatin1Char('.') + name;
}

bool checkAttributes(
    const EntityDescription& source, const EntityDescription& destination, bool hasPolicy, QString* error)
{
    for (const AttributeDescription& attribute : destination.attributes()) {
        const AttributeDescription* old = source.attribute(attribute.name);
        const bool needsValue = !attribute.isOptional && attribute.defaultValue.isNull() && !hasPolicy;
        if (!old) {
            if (needsValue)
                return fail(error,
                    QStringLiteral("the new required attribute %1 has no default value")
                        .arg(propertyName(destination, attribute.name)));
            continue;
        }
        if (old->type != attribute.type)
            return fail(error,
                QStringLiteral("the attribute %1 changes its type").arg(propertyName(destination, attribute.name)));
        if (old->isOptional && needsValue)
            return fail(error,
                QStringLiteral("the attribute %1 becomes required without a default value")
                    .arg(propertyName(destination, attribute.name)));
    }
    return true;
}

bool checkRelationships(const EntityDescription& source, const EntityDescription& destination, QString* error)
{
    for (const RelationshipDescription& relationship : destination.relationships()) {
        const RelationshipDescription* old = source.relationship(relationship.name);
        if (!old) {
            if (!relationship.isToMany && !relationship.isOptional)
                return fail(error,
                    QStringLiteral("the new required relationship %1 has no value to start from")
                        .arg(propertyName(destination, relationship.name)));
            continue;
        }
        const bool same = old->destinationEntity->name() == relationship.destinationEntity->name()
            && old->isToMany == relationship.isToMany && old->isOrdered == relationship.isOrdered
            && old->inverseRelationship->name == relationship.inverseRelationship->name;
        if (!same)
            return fail(error,
                QStringLiteral("the relationship %1 changes its destination, kind or inverse")
                    .arg(propertyName(destination, relationship.name)));
    }
    return true;
}

// Whether copying rows, tables and columns by name carries the source's data over.
bool checkCarriedOver(const ManagedObjectModel& source, const ManagedObjectModel& destination,
    const QSet<QString>& entitiesWithPolicies, QString* error)
{
    for (const EntityDescription* entity : destination.entities()) {
        const EntityDescription* old = source.entity(entity->name());
        if (!old)
            continue;
        if (old->rootEntity()->name() != entity->rootEntity()->name())
            return fail(error, QStringLiteral("the entity %1 moves to another table").arg(entity->name()));
        bool hasPolicy = false;
        for (const EntityDescription* e = entity; e && !hasPolicy; e = e->parentEntity())
            hasPolicy = entitiesWithPolicies.contains(e->name());
        if (!checkAttributes(*old, *entity, hasPolicy, error) || !checkRelationships(*old, *entity, error))
            return false;
    }
    for (const EntityDescription* old : source.entities()) {
        if (destination.entity(old->name()))
            continue;
        const EntityDescription* table = destination.entity(old->rootEntity()->name());
        if (table && !table->parentEntity())
            return fail(error, QStringLiteral("the entity %1 is removed while its table stays").arg(old->name()));
    }
    return true;
}

} // namespace

std::optional<MappingModel> MappingModel::inferred(
    const ManagedObjectModel& source, const ManagedObjectModel& destination, QString* error)
{
    if (!checkCarriedOver(source, destination, {}, error))
        return std::nullopt;
    MappingModel mapping;
    mapping.m_sourceVersionName = source.versionName();
    mapping.m_destinationVersionName = destination.versionName();
    return mapping;
}

std::optional<MappingModel> MappingModel::fromFile(
    const QString& path, const ManagedObjectModel& source, const ManagedObjectModel& destination, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        fail(error, QStringLiteral("cannot read the mapping file %1: %2").arg(path, file.errorString()));
        return std::nullopt;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (!document.isObject()) {
        fail(error, QStringLiteral("the mapping file %1 is not a JSON object: %2").arg(path, parseError.errorString()));
        return std::nullopt;
    }
    const QJsonObject root = document.object();
    if (root.value(QLatin1String("source")).toString() != source.versionName()
        || root.value(QLatin1String("destination")).toString() != destination.versionName()) {
        fail(error,
            QStringLiteral("the mapping file %1 does not map %2 to %3")
                .arg(path, source.versionName(), destination.versionName()));
        return std::nullopt;
    }

    MappingModel mapping;
    mapping.m_explicit = true;
    mapping.m_sourceVersionName = source.versionName();
    mapping.m_destinationVersionName = destination.versionName();
    QSet<QString> entitiesWithPolicies;
    for (const QJsonValue& value : root.value(QLatin1String("entityMappings")).toArray()) {
        const QJsonObject object = value.toObject();
        EntityMapping entityMapping {
            object.value(QLatin1String("entity")).toString(), object.value(QLatin1String("policy")).toString()};
        if (!destination.entity(entityMapping.entityName) || !source.entity(entityMapping.entityName)) {
            fail(error,
                QStringLiteral("the mapping file %1 maps the entity \"%2\" that is not in both models")
                    .arg(path, entityMapping.entityName));
            return std::nullopt;
        }
        if (!entityMapping.policyName.isEmpty())
            entitiesWithPolicies.insert(entityMapping.entityName);
        mapping.m_entityMappings.append(entityMapping);
    }
    if (!checkCarriedOver(source, destination, entitiesWithPolicies, error))
        return std::nullopt;
    return mapping;
}
