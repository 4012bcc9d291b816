#include "PelorinsKit/KanbanColumn.h"

#include "PelorinsKit/Kanban.h"
#include "PelorinsKit/ListItem.h"
#include "PelorinsKit/UniqueIdentifier.h"

namespace {
constexpr QLatin1String titleKey("title");
constexpr QLatin1String bookmarkedKey("bookmarked");
constexpr QLatin1String kanbanKey("kanban");
constexpr QLatin1String mainKanbanKey("mainKanban");
constexpr QLatin1String itemKey("item");
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
    return stringValue(UniqueIdentifier::key);
}

void KanbanColumn::setUniqueIdentifier(const QString& uniqueIdentifier)
{
    setValue(UniqueIdentifier::key, uniqueIdentifier);
}

Kanban* KanbanColumn::kanban() const
{
    return objectAs<Kanban>(kanbanKey);
}

void KanbanColumn::setKanban(Kanban* kanban)
{
    setObject(kanbanKey, kanban);
}

Kanban* KanbanColumn::mainKanban() const
{
    return objectAs<Kanban>(mainKanbanKey);
}

void KanbanColumn::setMainKanban(Kanban* mainKanban)
{
    setObject(mainKanbanKey, mainKanban);
}

QList<ListItem*> KanbanColumn::item() const
{
    return objectsAs<ListItem>(itemKey);
}

void KanbanColumn::setItem(const QList<ListItem*>& item)
{
    setObjects(itemKey, QList<ManagedObject*>(item.cbegin(), item.cend()));
}

void KanbanColumn::awakeFromInsert()
{
    UniqueIdentifier::assignIfMissing(*this);
}

void KanbanColumn::awakeFromFetch()
{
    UniqueIdentifier::assignIfMissing(*this);
}
