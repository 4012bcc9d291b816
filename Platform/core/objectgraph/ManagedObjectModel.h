#pragma once

#include "Platform/core/objectgraph/EntityDescription.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QVariantMap>
#include <memory>
#include <vector>

// A version of the object model, read from a model file.
//
// Model files ("<version name>.mom", or ".omo") hold one JSON object:
//
//   {
//     "entities": [
//       {
//         "name": "DisplayItem",             // entity and class name; letters, digits, '_'
//         "abstract": true,                  // optional, default false: never inserted itself
//         "attributes": [
//           { "name": "colour", "type": "integer16", "optional": true, "default": 0 },
//           { "name": "uniqueIdentifier", "type": "string" }
//         ],
//         "relationships": [
//           { "name": "children", "destination": "DisplayItem", "toMany": true,
//             "ordered": true, "inverse": "parent", "deleteRule": "cascade" },
//           { "name": "parent", "destination": "DisplayItem", "inverse": "children" }
//         ]
//       },
//       { "name": "Folder", "parent": "DisplayItem", "attributes": [ ... ] }
//     ]
//   }
//
// - Entities may come in any order; "parent" names the entity this one inherits from (its
//   attributes and relationships come first in this one; names must not repeat them).
// - Attribute "type": "integer16", "integer32", "integer64", "double", "boolean", "string",
//   "date", "binary" or "stringList". "optional" defaults to true. "default" (optional) is a
//   JSON value of the attribute's type given to new objects at insertion; dates take no default.
// - Relationship "toMany" and "ordered" default to false ("ordered" only with "toMany");
//   "inverse" is required and must name a relationship of the destination whose inverse is
//   this one; "deleteRule" is "nullify" (default) or "cascade"; "optional" defaults to true
//   and matters for to-one only.
// - Names of properties must be unique within an entity and its ancestors.
//
// The version name is the file name without its extension ("ReVudozu 34").
class ManagedObjectModel
{
public:
    // The file of a version in `directory` (a folder or a Qt resource path such as
    // ":/ReVudozu.momd"): "<versionName>.omo" when present, else "<versionName>.mom"; empty
    // when there is neither.
    static QString pathForVersion(const QString& directory, const QString& versionName);
    // Null with `error` set when the file is missing, unreadable or not a valid model.
    static std::shared_ptr<const ManagedObjectModel> fromFile(const QString& path, QString* error = nullptr);
    static std::shared_ptr<const ManagedObjectModel> fromVersion(
        const QString& directory, const QString& versionName, QString* error = nullptr);
    static std::shared_ptr<const ManagedObjectModel> fromJson(
        const QByteArray& json, const QString& versionName, QString* error = nullptr);

    ~ManagedObjectModel();
    ManagedObjectModel(const ManagedObjectModel&) = delete;
    ManagedObjectModel& operator=(const ManagedObjectModel&) = delete;

    const QString& versionName() const { return m_versionName; }
    // In the order of the model file.
    const QList<const EntityDescription*>& entities() const { return m_entityList; }
    const EntityDescription* entity(const QString& name) const;

    // A hex digest of what the store's layout depends on: entity names and parents, attribute
    // names, types and optional flags, relationship names, destinations, kinds, ordered flags
    // and inverses. Defaults and delete rules are not part of it. Versions with equal hashes
    // share one store layout.
    const QByteArray& layoutHash() const { return m_layoutHash; }
    // A store is compatible when its metadata carries this model's layout hash.
    bool isCompatibleWithStoreMetadata(const QVariantMap& metadata) const;

private:
    ManagedObjectModel() = default;

    QString m_versionName;
    std::vector<std::unique_ptr<EntityDescription>> m_entities;
    QList<const EntityDescription*> m_entityList;
    QHash<QString, const EntityDescription*> m_entitiesByName;
    QByteArray m_layoutHash;
};
