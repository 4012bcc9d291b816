#pragma once

#include "Platform/core/objectgraph/AttributeDescription.h"
#include "Platform/core/objectgraph/RelationshipDescription.h"

#include <QHash>
#include <QList>
#include <QString>

class ManagedObjectModel;

// One entity of a model. An entity carries the attributes and relationships of its parent
// entity first, then its own, so a property has the same index in every subentity.
// Descriptions belong to their model and live as long as it.
class EntityDescription
{
public:
    const QString& name() const { return m_name; }
    const EntityDescription* parentEntity() const { return m_parent; }
    // The top of this entity's inheritance tree; the store keeps one table per root.
    const EntityDescription* rootEntity() const { return m_parent ? m_parent->rootEntity() : this; }
    const QList<const EntityDescription*>& subentities() const { return m_subentities; }
    bool isAbstract() const { return m_abstract; }

    // True for this entity and for every entity beneath it.
    bool isKindOfEntity(const EntityDescription* entity) const
    {
        for (const EntityDescription* e = this; e; e = e->m_parent)
            if (e == entity)
                return true;
        return false;
    }

    const QList<AttributeDescription>& attributes() const { return m_attributes; }
    const QList<RelationshipDescription>& relationships() const { return m_relationships; }
    // Null when the entity has no attribute or relationship of that name.
    const AttributeDescription* attribute(const QString& name) const
    {
        const auto it = m_attributeIndexes.constFind(name);
        return it == m_attributeIndexes.cend() ? nullptr : &m_attributes.at(*it);
    }
    const RelationshipDescription* relationship(const QString& name) const
    {
        const auto it = m_relationshipIndexes.constFind(name);
        return it == m_relationshipIndexes.cend() ? nullptr : &m_relationships.at(*it);
    }

private:
    friend class ManagedObjectModel;

    QString m_name;
    const EntityDescription* m_parent = nullptr;
    QList<const EntityDescription*> m_subentities;
    bool m_abstract = false;
    QList<AttributeDescription> m_attributes;
    QList<RelationshipDescription> m_relationships;
    QHash<QString, int> m_attributeIndexes;
    QHash<QString, int> m_relationshipIndexes;
};
