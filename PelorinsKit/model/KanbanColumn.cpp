#include "PelorinsKit/model/KanbanColumn.h"

#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/model/UniqueIdentifier.h"

namespace {
const ManagedObject::PropertyKey uniqueIdentifierKey(UniqueIdentifier::key);
const ManagedObject::PropertyKey titleKey(QStringLiteral("title"));
const ManagedObject::PropertyKey bookmarkedKey(QStringLiteral("bookmarked"));
const ManagedObject::PropertyKey kanbanKey(QStringLiteral("kanban"));
const ManagedObject::PropertyKey mainKanbanKey(QStringLiteral("mainKanban"));
const ManagedObject::PropertyKey itemKey(QStringLiteral("item"));
}

KanbanColumn::KanbanColumn(const Init& init)
    : ManagedObject(init)
{
}

QString KanbanColumn::title() const
{
    return stringValue(titleKey);
}

void KanbanColumn::setTitle(const QString& title)
{
    setValue(titleKey, title);
}

bool KanbanColumn::bookmarked() const
{
    return boolValue(bookmarkedKey);
}

void KanbanColumn::setBookmarked(bool bookmarked)
{
    setValue(bookmarkedKey, bookmarked);
}

QString KanbanColumn::uniqueIdentifier() const
{
    return stringValue(uniqueIdentifierKey);
}

void KanbanColumn::setUniqueIdentifier(const QString& uniqueIdentifier)
{
    setValue(uniqueIdentifierKey, uniqueIdentifier);
}

Kanban* KanbanColumn::kanban() const
{
    return objectAs<Kanban>(kanbanKey);
}

void KanbanColumn::setKanban(Kanban* kanban)
{
    setObject(kanbanKey.name(), kanban);
}

Kanban* KanbanColumn::mainKanban() const
{
    return objectAs<Kanban>(mainKanbanKey);
}

void KanbanColumn::setMainKanban(Kanban* mainKanban)
{
    setObject(mainKanbanKey.name(), mainKanban);
}

QList<ListItem*> KanbanColumn::item() const
{
    return objectsAs<ListItem>(itemKey);
}

void KanbanColumn::setItem(const QList<ListItem*>& item)
{
    setObjects(itemKey.name(), QList<ManagedObject*>(item.cbegin(), item.cend()));
}

void KanbanColumn::awakeFromInsert()
{
    UniqueIdentifier::assignIfMissing(*this);
}

void KanbanColumn::awakeFromFetch()
{
    UniqueIdentifier::assignIfMissing(*this);
}
