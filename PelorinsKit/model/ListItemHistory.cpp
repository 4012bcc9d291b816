#include "PelorinsKit/model/ListItemHistory.h"

#include "PelorinsKit/model/ListItem.h"
#include "Platform/core/objectgraph/ManagedObjectContext.h"

namespace {
constexpr QLatin1String entityName("ListItemHistory");
const ManagedObject::PropertyKey dateKey(QStringLiteral("date"));
const ManagedObject::PropertyKey actionIntKey(QStringLiteral("actionInt"));
const ManagedObject::PropertyKey kanbanColumnUniqueIdentifierKey(QStringLiteral("kanbanColumnUniqueIdentifier"));
const ManagedObject::PropertyKey listItemKey(QStringLiteral("listItem"));
}

ListItemHistory::ListItemHistory(const Init& init)
    : ManagedObject(init)
{
}

ListItemHistory* ListItemHistory::create(ListItemAction action, ManagedObjectContext* insertIntoManagedObjectContext)
{
    if (!insertIntoManagedObjectContext)
        return nullptr;
    auto* entry = insertIntoManagedObjectContext->insertNewObject<ListItemHistory>(entityName);
    if (!entry)
        return nullptr;
    entry->setDate(QDateTime::currentDateTimeUtc());
    entry->setAction(action);
    return entry;
}

FetchRequest ListItemHistory::fetchRequest()
{
    return FetchRequest(entityName);
}

QDateTime ListItemHistory::date() const
{
    return dateValue(dateKey);
}

void ListItemHistory::setDate(const QDateTime& date)
{
    setValue(dateKey, date);
}

qint16 ListItemHistory::actionInt() const
{
    return qint16(integerValue(actionIntKey));
}

void ListItemHistory::setActionInt(qint16 actionInt)
{
    setValue(actionIntKey, qint64(actionInt));
}

std::optional<ListItemAction> ListItemHistory::action() const
{
    return listItemActionFromRawValue(actionInt());
}

void ListItemHistory::setAction(ListItemAction action)
{
    setActionInt(qint16(action));
}

QString ListItemHistory::kanbanColumnUniqueIdentifier() const
{
    return stringValue(kanbanColumnUniqueIdentifierKey);
}

void ListItemHistory::setKanbanColumnUniqueIdentifier(const QString& kanbanColumnUniqueIdentifier)
{
    setValue(kanbanColumnUniqueIdentifierKey, kanbanColumnUniqueIdentifier);
}

ListItem* ListItemHistory::listItem() const
{
    return objectAs<ListItem>(listItemKey);
}

void ListItemHistory::setListItem(ListItem* listItem)
{
    setObject(listItemKey.name(), listItem);
}
