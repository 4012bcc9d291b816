#include "PelorinsKit/model/DoneDate.h"

#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/ListItem.h"

#include <algorithm>

namespace {
const ManagedObject::PropertyKey doneDateKey(QStringLiteral("doneDate"));
const ManagedObject::PropertyKey kanbanKey(QStringLiteral("kanban"));
const ManagedObject::PropertyKey itemsKey(QStringLiteral("items"));
}

DoneDate::DoneDate(const Init& init)
    : ManagedObject(init)
{
}

QDateTime DoneDate::doneDate() const
{
    return dateValue(doneDateKey);
}

void DoneDate::setDoneDate(const QDateTime& doneDate)
{
    setValue(doneDateKey, doneDate);
}

Kanban* DoneDate::kanban() const
{
    return objectAs<Kanban>(kanbanKey);
}

void DoneDate::setKanban(Kanban* kanban)
{
    setObject(kanbanKey.name(), kanban);
}

QList<ListItem*> DoneDate::items() const
{
    return objectsAs<ListItem>(itemsKey);
}

void DoneDate::setItems(const QList<ListItem*>& items)
{
    setObjects(itemsKey.name(), QList<ManagedObject*>(items.cbegin(), items.cend()));
}

void DoneDate::insertIntoItems(const QList<ListItem*>& items, QList<int> indexes)
{
    std::sort(indexes.begin(), indexes.end());
    indexes.erase(std::unique(indexes.begin(), indexes.end()), indexes.end());
    const qsizetype count = std::min(items.size(), indexes.size());
    insertObjects(itemsKey.name(), QList<ManagedObject*>(items.cbegin(), items.cbegin() + count), indexes.first(count));
}
