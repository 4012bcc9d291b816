#include "Platform/core/objectgraph/ManagedObjectModel.h"

#include "Platform/core/objectgraph/PersistentStoreCoordinator.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <functional>
#include <optional>

namespace {

struct ParsedRelationship
{
    QString destination;
    QString inverse;
};

struct ParsedEntity
{
    QString name;
    QString parent;
    QJsonArray attributes;
    QJsonArray relationships;
};

bool isValidName(const QString& name)
{
    static const QRegularExpression pattern(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    return pattern.match(name).hasMatch();
}

std::optional<AttributeDescription::Type> attributeType(const QString& name)
{
    using Type = AttributeDescription::Type;
    static const QHash<QString, Type> types = {
        {QStringLiteral("integer16"), Type::Integer16},
        {QStringLiteral("integer32"), Type::Integer32},
        {QStringLiteral("integer64"), Type::Integer64},
        {QStringLiteral("double"), Type::Double},
        {QStringLiteral("boolean"), Type::Boolean},
        {QStringLiteral("string"), Type::String},
        {QStringLiteral("date"), Type::Date},
        {QStringLiteral("binary"), Type::Binary},
        {QStringLiteral("stringList"), Type::StringList},
    };
    const auto it = types.constFind(name);
    if (it == types.cend())
        return std::nullopt;
    return *it;
}

// A default from the model file as the value the attribute holds; invalid when it does not fit.
std::optional<QVariant> defaultValue(const QJsonValue& json, AttributeDescription::Type type)
{
    using Type = AttributeDescription::Type;
    if (json.isUndefined() || json.isNull())
        return QVariant();
    switch (type) {
    case Type::Integer16:
    case Type::Integer32:
    case Type::Integer64: {
        if (json.isBool())
            return QVariant(qint64(json.toBool()));
        if (!json.isDouble() || json.toDouble() != double(qint64(json.toDouble())))
            return std::nullopt;
        const qint64 value = qint64(json.toDouble());
        const qint64 limit = type == Type::Integer16 ? 32767 : type == Type::Integer32 ? 2147483647LL : -1;
        if (limit > 0 && (value > limit || value < -limit - 1))
            return std::nullopt;
        return QVariant(value);
    }
    case Type::Double:
        if (!json.isDouble())
            return std::nullopt;
        return QVariant(json.toDouble());
    case Type::Boolean:
        if (json.isBool())
            return QVariant(json.toBool());
        if (json.isDouble())
            return QVariant(json.toDouble() != 0);
        return std::nullopt;
    case Type::String:
        if (!json.isString())
            return std::nullopt;
        return QVariant(json.toString());
    case Type::StringList: {
        if (!json.isArray())
            return std::nullopt;
        QStringList list;
        for (const QJsonValue& item : json.toArray()) {
            if (!item.isString())
                return std::nullopt;
            list.append(item.toString());
        }
        return QVariant(list);
    }
    case Type::Date:
    case Type::Binary:
        return std::nullopt;
    }
    return std::nullopt;
}

QString typeName(AttributeDescription::Type type)
{
    static const char* names[]
        = {"integer16", "integer32", "integer64", "double", "boolean", "string", "date", "binary", "stringList"};
    return QString::fromLatin1(names[int(type)]);
}

} // namespace

ManagedObjectModel::~ManagedObjectModel() = default;

QString ManagedObjectModel::pathForVersion(const QString& directory, const QString& versionName)
{
    for (const char* extension : {".omo", ".mom"}) {
        const QString path = directory + QLatin1Char('/') + versionName + QLatin1String(extension);
        if (QFileInfo(path).isFile())
            return path;
    }
    return {};
}

std::shared_ptr<const ManagedObjectModel> ManagedObjectModel::fromFile(const QString& path, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("cannot read model file %1: %2").arg(path, file.errorString());
        return nullptr;
    }
    return fromJson(file.readAll(), QFileInfo(path).completeBaseName(), error);
}

std::shared_ptr<const ManagedObjectModel> ManagedObjectModel::fromVersion(
    const QString& directory, const QString& versionName, QString* error)
{
    const QString path = pathForVersion(directory, versionName);
    if (path.isEmpty()) {
        if (error)
            *error = QStringLiteral("no model file for version %1 in %2").arg(versionName, directory);
        return nullptr;
    }
    return fromFile(path, error);
}

std::shared_ptr<const ManagedObjectModel> ManagedObjectModel::fromJson(
    const QByteArray& json, const QString& versionName, QString* error)
{
    auto fail = [&](const QString& message) -> std::shared_ptr<const ManagedObjectModel> {
        if (error)
            *error = QStringLiteral("model %1: %2").arg(versionName, message);
        return nullptr;
    };

    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (!document.isObject())
        return fail(parseError.error != QJsonParseError::NoError ? parseError.errorString()
                                                                 : QStringLiteral("not a JSON object"));
    const QJsonValue entitiesValue = document.object().value(QLatin1String("entities"));
    if (!entitiesValue.isArray())
        return fail(QStringLiteral("\"entities\" is not an array"));

    std::shared_ptr<ManagedObjectModel> model(new ManagedObjectModel);
    model->m_versionName = versionName;

    // Entities first, so that parents and destinations can be named in any order.
    QList<ParsedEntity> parsed;
    QHash<QString, EntityDescription*> byName;
    for (const QJsonValue& value : entitiesValue.toArray()) {
        const QJsonObject object = value.toObject();
        ParsedEntity entity {object.value(QLatin1String("name")).toString(),
            object.value(QLatin1String("parent")).toString(), object.value(QLatin1String("attributes")).toArray(),
            object.value(QLatin1String("relationships")).toArray()};
        if (!isValidName(entity.name))
            return fail(QStringLiteral("invalid entity name \"%1\"").arg(entity.name));
        if (byName.contains(entity.name))
            return fail(QStringLiteral("entity %1 appears twice").arg(entity.name));
        auto description = std::make_unique<EntityDescription>();
        description->m_name = entity.name;
        description->m_abstract = object.value(QLatin1String("abstract")).toBool();
        byName.insert(entity.name, description.get());
        model->m_entitiesByName.insert(entity.name, description.get());
        model->m_entityList.append(description.get());
        model->m_entities.push_back(std::move(description));
        parsed.append(entity);
    }
    for (const ParsedEntity& entity : std::as_const(parsed)) {
        if (entity.parent.isEmpty())
            continue;
        EntityDescription* parent = byName.value(entity.parent);
        if (!parent)
            return fail(QStringLiteral("entity %1 has an unknown parent %2").arg(entity.name, entity.parent));
        byName.value(entity.name)->m_parent = parent;
        parent->m_subentities.append(byName.value(entity.name));
    }
    for (const EntityDescription* entity : std::as_const(model->m_entityList)) {
        int depth = 0;
        for (const EntityDescription* e = entity; e; e = e->m_parent)
            if (++depth > model->m_entityList.size())
                return fail(QStringLiteral("entity %1 inherits from itself").arg(entity->name()));
    }

    // Properties, parents before children, so inherited ones come first with the same index.
    QHash<QString, ParsedEntity> parsedByName;
    for (const ParsedEntity& entity : std::as_const(parsed))
        parsedByName.insert(entity.name, entity);
    QHash<QPair<QString, QString>, QString> inverseByDeclaration;
    QSet<const EntityDescription*> built;
    std::function<QString(EntityDescription*)> build = [&](EntityDescription* entity) -> QString {
        if (built.contains(entity))
            return {};
        if (entity->m_parent) {
            EntityDescription* parent = const_cast<EntityDescription*>(entity->m_parent);
            if (QString problem = build(parent); !problem.isEmpty())
                return problem;
            entity->m_attributes = parent->m_attributes;
            entity->m_relationships = parent->m_relationships;
            entity->m_attributeIndexes = parent->m_attributeIndexes;
            entity->m_relationshipIndexes = parent->m_relationshipIndexes;
        }
        const ParsedEntity& source = parsedByName[entity->m_name];
        auto nameTaken = [&](const QString& name) {
            return entity->m_attributeIndexes.contains(name) || entity->m_relationshipIndexes.contains(name);
        };
        for (const QJsonValue& value : source.attributes) {
            const QJsonObject object = value.toObject();
            AttributeDescription attribute;
            attribute.name = object.value(QLatin1String("name")).toString();
            if (!isValidName(attribute.name) || nameTaken(attribute.name))
                return QStringLiteral("invalid or repeated property name \"%1\" in %2")
                    .arg(attribute.name, entity->m_name);
            const auto type = attributeType(object.value(QLatin1String("type")).toString());
            if (!type)
                return QStringLiteral("attribute %1.%2 has an unknown type").arg(entity->m_name, attribute.name);
            attribute.type = *type;
            attribute.isOptional = object.value(QLatin1String("optional")).toBool(true);
            const auto initial = defaultValue(object.value(QLatin1String("default")), attribute.type);
            if (!initial)
                return QStringLiteral("attribute %1.%2 has an invalid default").arg(entity->m_name, attribute.name);
            attribute.defaultValue = *initial;
            attribute.index = int(entity->m_attributes.size());
            entity->m_attributeIndexes.insert(attribute.name, attribute.index);
            entity->m_attributes.append(attribute);
        }
        for (const QJsonValue& value : source.relationships) {
            const QJsonObject object = value.toObject();
            RelationshipDescription relationship;
            relationship.name = object.value(QLatin1String("name")).toString();
            if (!isValidName(relationship.name) || nameTaken(relationship.name))
                return QStringLiteral("invalid or repeated property name \"%1\" in %2")
                    .arg(relationship.name, entity->m_name);
            relationship.destinationEntity = byName.value(object.value(QLatin1String("destination")).toString());
            if (!relationship.destinationEntity)
                return QStringLiteral("relationship %1.%2 has an unknown destination")
                    .arg(entity->m_name, relationship.name);
            relationship.isToMany = object.value(QLatin1String("toMany")).toBool();
            relationship.isOrdered = relationship.isToMany && object.value(QLatin1String("ordered")).toBool();
            relationship.isOptional = object.value(QLatin1String("optional")).toBool(true);
            const QString rule = object.value(QLatin1String("deleteRule")).toString(QStringLiteral("nullify"));
            if (rule == QLatin1String("cascade"))
                relationship.deleteRule = RelationshipDescription::DeleteRule::Cascade;
            else if (rule != QLatin1String("nullify"))
                return QStringLiteral("relationship %1.%2 has an unknown delete rule")
                    .arg(entity->m_name, relationship.name);
            relationship.index = int(entity->m_relationships.size());
            entity->m_relationshipIndexes.insert(relationship.name, relationship.index);
            entity->m_relationships.append(relationship);
            const QString inverse = object.value(QLatin1String("inverse")).toString();
            if (inverse.isEmpty())
                return QStringLiteral("relationship %1.%2 has no inverse").arg(entity->m_name, relationship.name);
            inverseByDeclaration.insert({entity->m_name, relationship.name}, inverse);
        }
        built.insert(entity);
        return {};
    };
    for (const auto& entity : model->m_entities)
        if (QString problem = build(entity.get()); !problem.isEmpty())
            return fail(problem);

    // Inverses, once every relationship list is final. Inherited copies point at the same
    // inverse as their originals.
    for (const auto& entity : model->m_entities) {
        for (RelationshipDescription& relationship : entity->m_relationships) {
            const EntityDescription* declaring = entity.get();
            while (declaring->m_parent && declaring->m_parent->relationship(relationship.name))
                declaring = declaring->m_parent;
            const QString inverseName = inverseByDeclaration.value({declaring->m_name, relationship.name});
            const RelationshipDescription* inverse = relationship.destinationEntity->relationship(inverseName);
            const QString where = entity->m_name + QLatin1Char('.') + relationship.name;
            if (!inverse)
                return fail(QStringLiteral("relationship %1 names a missing inverse %2").arg(where, inverseName));
            if (!declaring->isKindOfEntity(inverse->destinationEntity)
                && !inverse->destinationEntity->isKindOfEntity(declaring))
                return fail(QStringLiteral("relationship %1 and its inverse disagree on entities").arg(where));
            if (relationship.isOrdered && inverse->isOrdered)
                return fail(QStringLiteral("relationship %1 is ordered on both sides").arg(where));
            relationship.inverseRelationship = inverse;
        }
    }
    for (const auto& entity : model->m_entities)
        for (const RelationshipDescription& relationship : entity->m_relationships)
            if (relationship.inverseRelationship->inverseRelationship->name != relationship.name)
                return fail(QStringLiteral("relationship %1.%2 is not the inverse of its inverse")
                                .arg(entity->m_name, relationship.name));

    // The layout hash covers what the store's tables depend on, in a canonical order.
    QStringList lines;
    for (const auto& entity : model->m_entities) {
        lines.append(
            QStringLiteral("E %1 < %2").arg(entity->m_name, entity->m_parent ? entity->m_parent->m_name : QString()));
        for (const AttributeDescription& attribute : entity->m_attributes)
            lines.append(QStringLiteral("A %1.%2 %3 %4")
                             .arg(entity->m_name, attribute.name, typeName(attribute.type))
                             .arg(attribute.isOptional));
        for (const RelationshipDescription& relationship : entity->m_relationships)
            lines.append(QStringLiteral("R %1.%2 %3 %4 %5 %6 %7")
                             .arg(entity->m_name, relationship.name, relationship.destinationEntity->m_name,
                                 relationship.inverseRelationship->name)
                             .arg(relationship.isToMany)
                             .arg(relationship.isOrdered)
                             .arg(relationship.isOptional));
    }
    lines.sort();
    model->m_layoutHash
        = QCryptographicHash::hash(lines.join(QLatin1Char('\n')).toUtf8(), QCryptographicHash::Sha256).toHex();
    return model;
}

const EntityDescription* ManagedObjectModel::entity(const QString& name) const
{
    return m_entitiesByName.value(name);
}

bool ManagedObjectModel::isCompatibleWithStoreMetadata(const QVariantMap& metadata) const
{
    return metadata.value(QLatin1String(PersistentStoreCoordinator::LayoutHashKey)).toByteArray() == m_layoutHash;
}
