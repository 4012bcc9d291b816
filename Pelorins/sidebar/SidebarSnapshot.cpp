#include "Pelorins/sidebar/SidebarSnapshot.h"

#include "PelorinsKit/model/DisplayItem.h"
#include "PelorinsKit/model/ListItem.h"
#include "Platform/core/objectgraph/ManagedObjectContext.h"

#include <QDataStream>
#include <QHash>
#include <QIODevice>

namespace {

constexpr QLatin1String mainColumnKey("mainColumn");
constexpr QLatin1String tagEntityName("Tag");
constexpr quint16 endOfList = 0xFFFF;
constexpr qint64 outsideTheTree = -1;
constexpr QDataStream::Version streamVersion = QDataStream::Qt_6_4;

// What the JSON node format carries: the ordered to-many relationships (a tag has no children)
// and a board's done column. The other sides follow from these.
bool travels(const EntityDescription* entity, const RelationshipDescription& relationship)
{
    if (!relationship.isToMany)
        return relationship.name == mainColumnKey;
    return relationship.isOrdered
        && !(relationship.name == DisplayItem::childrenKey && entity->name() == tagEntityName);
}

// Records outside the tree that its objects point to (a card's picture records): kept by URI, so
// that nothing has to be decoded to find them again.
bool isReference(const RelationshipDescription& relationship)
{
    const RelationshipDescription* inverse = relationship.inverseRelationship;
    return relationship.isToMany && !relationship.isOrdered && inverse
        && !travels(relationship.destinationEntity, *inverse);
}

// Every object of the tree once, the item first.
QList<ManagedObject*> objectsUnder(DisplayItem* item, QHash<const ManagedObject*, qint64>& indexes)
{
    QList<ManagedObject*> objects;
    QList<ManagedObject*> pending {item};
    while (!pending.isEmpty()) {
        ManagedObject* object = pending.takeLast();
        if (indexes.contains(object))
            continue;
        indexes.insert(object, objects.size());
        objects.append(object);
        const EntityDescription* entity = object->entity();
        for (const RelationshipDescription& relationship : entity->relationships()) {
            if (!travels(entity, relationship))
                continue;
            if (relationship.isToMany) {
                const QList<ManagedObject*>& members = object->objects(relationship.name);
                for (auto it = members.crbegin(); it != members.crend(); ++it)
                    pending.append(*it);
            } else if (ManagedObject* member = object->object(relationship.name)) {
                pending.append(member);
            }
        }
    }
    return objects;
}

} // namespace

SidebarSnapshot SidebarSnapshot::take(DisplayItem* item)
{
    SidebarSnapshot snapshot;
    if (!item)
        return snapshot;
    if (DisplayItem* parent = item->parent()) {
        snapshot.m_parentIdentifier = parent->uniqueIdentifier();
        snapshot.m_position = int(parent->children().indexOf(item));
    }

    QHash<const ManagedObject*, qint64> indexes;
    const QList<ManagedObject*> objects = objectsUnder(item, indexes);
    QStringList entityNames;
    QList<quint16> entityOf;
    for (const ManagedObject* object : objects) {
        qsizetype name = entityNames.indexOf(object->entity()->name());
        if (name < 0) {
            name = entityNames.size();
            entityNames.append(object->entity()->name());
        }
        entityOf.append(quint16(name));
    }

    QDataStream out(&snapshot.m_bytes, QIODevice::WriteOnly);
    out.setVersion(streamVersion);
    out << entityNames << entityOf;
    for (ManagedObject* object : objects) {
        const EntityDescription* entity = object->entity();
        for (const AttributeDescription& attribute : entity->attributes()) {
            const QVariant value = object->value(attribute.name);
            if (value.isValid())
                out << quint16(attribute.index) << value;
        }
        out << endOfList;
        for (const RelationshipDescription& relationship : entity->relationships()) {
            const bool reference = isReference(relationship);
            if (!reference && !travels(entity, relationship))
                continue;
            QList<ManagedObject*> members = relationship.isToMany
                ? object->objects(relationship.name)
                : QList<ManagedObject*> {object->object(relationship.name)};
            members.removeAll(nullptr);
            out << quint16(relationship.index) << quint32(members.size());
            for (ManagedObject* member : std::as_const(members)) {
                const qint64 index = indexes.value(member, outsideTheTree);
                out << index;
                if (index == outsideTheTree)
                    out << member->objectIDURI().toString(QUrl::FullyEncoded);
            }
        }
        out << endOfList;
    }
    snapshot.m_bytes.squeeze();
    return snapshot;
}

DisplayItem* SidebarSnapshot::remake(ManagedObjectContext& context) const
{
    if (m_bytes.isEmpty())
        return nullptr;
    QDataStream in(m_bytes);
    in.setVersion(streamVersion);
    QStringList entityNames;
    QList<quint16> entityOf;
    in >> entityNames >> entityOf;
    QList<ManagedObject*> objects;
    objects.reserve(entityOf.size());
    for (quint16 name : std::as_const(entityOf))
        if (ManagedObject* object = context.insertNewObject(entityNames.value(name)))
            objects.append(object);
    // Made from this store's own model in this run, so every entity is known; anything else is
    // not remade at all.
    if (objects.size() != entityOf.size()) {
        for (ManagedObject* object : std::as_const(objects))
            context.deleteObject(object);
        return nullptr;
    }

    for (ManagedObject* object : std::as_const(objects)) {
        const EntityDescription* entity = object->entity();
        quint16 index = 0;
        while ((in >> index, index != endOfList) && in.status() == QDataStream::Ok
            && index < entity->attributes().size()) {
            QVariant value;
            in >> value;
            object->setValue(entity->attributes().at(index).name, value);
        }
        bool lostReference = false;
        while ((in >> index, index != endOfList) && in.status() == QDataStream::Ok
            && index < entity->relationships().size()) {
            const RelationshipDescription& relationship = entity->relationships().at(index);
            quint32 count = 0;
            in >> count;
            QList<ManagedObject*> members;
            for (quint32 i = 0; i < count; ++i) {
                qint64 member = outsideTheTree;
                in >> member;
                ManagedObject* found = nullptr;
                if (member == outsideTheTree) {
                    QString uri;
                    in >> uri;
                    found = context.objectForURI(QUrl(uri));
                    if (found && found->isDeleted())
                        found = nullptr;
                } else {
                    found = objects.value(member);
                }
                if (found)
                    members.append(found);
                else
                    lostReference = true;
            }
            if (relationship.isToMany)
                object->setObjects(relationship.name, members);
            else
                object->setObject(relationship.name, members.value(0));
        }
        // A picture record gone meanwhile is found again from the notes.
        if (auto* card = dynamic_cast<ListItem*>(object); card && lostReference)
            card->syncImageAttachments();
    }
    return dynamic_cast<DisplayItem*>(objects.first());
}

qsizetype SidebarSnapshot::byteSize() const
{
    return qsizetype(sizeof(SidebarSnapshot)) + m_bytes.capacity()
        + m_parentIdentifier.capacity() * qsizetype(sizeof(QChar));
}
