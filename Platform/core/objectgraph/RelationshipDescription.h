#pragma once

#include <QString>

class EntityDescription;

// One side of a relationship pair. Every relationship has an inverse, so that setting either
// side keeps the other one up.
struct RelationshipDescription
{
    // What deleting the source object does to the destination objects: Nullify takes the
    // deleted object out of their inverse relationship, Cascade deletes them as well.
    enum class DeleteRule { Nullify, Cascade };

    QString name;
    const EntityDescription* destinationEntity = nullptr;
    const RelationshipDescription* inverseRelationship = nullptr;
    bool isToMany = false;
    // Ordered to-many relationships behave as ordered sets (Platform/core/OrderedSet.h).
    bool isOrdered = false;
    // A non-optional to-one must be set when its object is saved.
    bool isOptional = true;
    DeleteRule deleteRule = DeleteRule::Nullify;
    // Position among the entity's relationships; the same in every subentity.
    int index = -1;
};
