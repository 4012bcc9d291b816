#include "PelorinsKit/model/Tag.h"

#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/ListItem.h"
#include "Platform/core/objectgraph/ManagedObjectContext.h"

namespace {
const ManagedObject::PropertyKey nameKey(QStringLiteral("name"));
const ManagedObject::PropertyKey kanbanKey(QStringLiteral("kanban"));
const ManagedObject::PropertyKey itemsKey(QStringLiteral("items"));
}

Tag::Tag(const Init& init)
    : DisplayItem(init)
{
}

QString Tag::name() const
{
    return stringValue(nameKey);
}

void Tag::setName(const QString& name)
{
    setValue(nameKey, name);
}

QString Tag::title() const
{
    return name();
}

QList<DisplayItem*> Tag::children() const
{
    return {};
}

Kanban* Tag::kanban() const
{
    return objectAs<Kanban>(kanbanKey);
}

void Tag::setKanban(Kanban* kanban)
{
    setObject(kanbanKey.name(), kanban);
}

QList<ListItem*> Tag::items() const
{
    return objectsAs<ListItem>(itemsKey);
}

bool Tag::hasItems() const
{
    return !objects(itemsKey).isEmpty();
}

void Tag::setItems(const QList<ListItem*>& items)
{
    setObjects(itemsKey.name(), QList<ManagedObject*>(items.cbegin(), items.cend()));
}

void Tag::willSave()
{
    if (!hasItems() && !isDeleted())
        managedObjectContext()->deleteObject(this);
}
