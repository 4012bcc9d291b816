#pragma once

#include "Platform/core/objectgraph/ManagedObjectContext.h"

#include <QStringList>

namespace GraphDump {

// Every object of a context, written out with its values and its relationships by primary key
// (unordered ones sorted), one line each, in a stable order: two loads of the same store give
// the same text.
inline QStringList dump(ManagedObjectContext& context)
{
    QStringList lines;
    for (const EntityDescription* entity : context.model().entities()) {
        if (entity->parentEntity())
            continue;
        for (ManagedObject* object : context.fetch(FetchRequest(entity->name()))) {
            QStringList parts {object->entity()->name(), QString::number(object->objectIDNumber())};
            for (const AttributeDescription& attribute : object->entity()->attributes())
                parts << attribute.name + QLatin1Char('=') + object->value(attribute.name).toString();
            for (const RelationshipDescription& relationship : object->entity()->relationships()) {
                QStringList keys;
                if (relationship.isToMany) {
                    for (const ManagedObject* member : object->objects(relationship.name))
                        keys << QString::number(member->objectIDNumber());
                    if (!relationship.isOrdered)
                        keys.sort();
                } else if (const ManagedObject* destination = object->object(relationship.name)) {
                    keys << QString::number(destination->objectIDNumber());
                }
                parts << relationship.name + QLatin1Char('=') + keys.join(QLatin1Char(','));
            }
            lines << parts.join(QLatin1Char(' '));
        }
    }
    return lines;
}

} // namespace GraphDump
