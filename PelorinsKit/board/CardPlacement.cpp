#include "PelorinsKit/board/CardPlacement.h"

#include "PelorinsKit/model/DateHelpers.h"
#include "PelorinsKit/model/DoneDate.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/model/Tag.h"
#include "Platform/core/OrderedSet.h"
#include "Platform/core/objectgraph/ManagedObjectContext.h"

#include <QSet>
#include <algorithm>

namespace CardPlacement {

namespace {

// The board's tag named like `tag`, made with its colour when the board has none.
Tag* counterpartOn(Kanban* kanban, Tag* tag)
{
    if (tag->kanban() == kanban)
        return tag;
    const QList<Tag*> tags = kanban->tags();
    const auto same = std::find_if(
        tags.cbegin(), tags.cend(), [tag](const Tag* candidate) { return candidate->name() == tag->name(); });
    if (same != tags.cend())
        return *same;
    ManagedObjectContext* context = kanban->managedObjectContext();
    auto* made = context ? context->insertNewObject<Tag>(QStringLiteral("Tag")) : nullptr;
    if (!made)
        return nullptr;
    made->setName(tag->name());
    made->setColour(tag->colour());
    made->setKanban(kanban);
    return made;
}

} // namespace

QDateTime dayOf(const QDateTime& date)
{
    return DateHelpers::beginningOfDate(date);
}

QDateTime today()
{
    return dayOf(QDateTime::currentDateTimeUtc());
}

std::optional<Place> placeOf(const Kanban* kanban, const ListItem* item)
{
    if (!kanban || !item)
        return std::nullopt;
    KanbanColumn* column = item->column();
    if (column && kanban->column().contains(column))
        return Place {column, std::nullopt, int(column->item().indexOf(item))};
    const DoneDate* group = item->parentDoneGroup();
    if (group && group->kanban() == kanban) {
        const std::optional<QDateTime> doneDate = item->doneDate() ? item->doneDate() : group->doneDate();
        return Place {nullptr, doneDate, int(group->items().indexOf(item))};
    }
    return std::nullopt;
}

bool isFiled(const Kanban* kanban, const ListItem* item)
{
    return placeOf(kanban, item).has_value();
}

bool namesDeleted(const Kanban* kanban, const QList<ListItem*>& items)
{
    return (kanban && kanban->isDeleted())
        || std::any_of(items.cbegin(), items.cend(), [](const ListItem* card) { return card && card->isDeleted(); });
}

QHash<ListItem*, Place> placesOf(const Kanban* kanban, const QList<ListItem*>& items)
{
    QHash<ListItem*, Place> places;
    for (ListItem* card : items)
        if (std::optional<Place> place = placeOf(kanban, card))
            places.insert(card, *place);
    return places;
}

DoneDate* groupOn(const Kanban* kanban, const QDateTime& day)
{
    if (!kanban)
        return nullptr;
    for (DoneDate* group : kanban->doneDates())
        if (group->doneDate() == day)
            return group;
    return nullptr;
}

DoneDate* makeGroup(Kanban* kanban, const QDateTime& day, int* insertedAt)
{
    ManagedObjectContext* context = kanban ? kanban->managedObjectContext() : nullptr;
    if (!context)
        return nullptr;
    auto* group = context->insertNewObject<DoneDate>(QStringLiteral("DoneDate"));
    if (!group)
        return nullptr;
    group->setDoneDate(day);
    QList<DoneDate*> groups = kanban->doneDates();
    const auto older = std::find_if(
        groups.cbegin(), groups.cend(), [&](const DoneDate* existing) { return existing->doneDate() < day; });
    const int index = int(older - groups.cbegin());
    groups.insert(index, group);
    kanban->setDoneDates(groups);
    if (insertedAt)
        *insertedAt = index;
    return group;
}

void takeOutOfStageColumns(Kanban* kanban, const QList<ListItem*>& items)
{
    if (!kanban)
        return;
    const QList<KanbanColumn*> stages = kanban->column();
    for (ListItem* card : items)
        if (card->column() && stages.contains(card->column()))
            card->setColumn(nullptr);
}

void fileInDoneColumn(Kanban* kanban, const QList<ListItem*>& items, int index)
{
    if (!kanban || items.isEmpty())
        return;
    for (ListItem* card : items) {
        if (!card->doneDate())
            card->setDoneDate(QDateTime::currentDateTimeUtc());
        card->setDone(true);
        card->applyRemoveStrikeThrough();
    }
    takeOutOfStageColumns(kanban, items);
    const QDateTime day = dayOf(*items.first()->doneDate());
    DoneDate* group = groupOn(kanban, day);
    if (!group)
        group = makeGroup(kanban, day);
    if (!group)
        return;
    QList<ListItem*> cards = group->items();
    OrderedSet::insertRun(cards, items, index);
    group->setItems(cards);
}

void leaveDoneColumn(Kanban* kanban, const QList<ListItem*>& items)
{
    QList<DoneDate*> left;
    for (ListItem* card : items) {
        if (DoneDate* group = card->parentDoneGroup()) {
            card->setParentDoneGroup(nullptr);
            if (!left.contains(group))
                left.append(group);
        }
        card->setDone(false);
        card->applyRemoveStrikeThrough();
    }
    deleteEmptiedGroups(kanban, left);
}

void deleteEmptiedGroups(Kanban* kanban, const QList<DoneDate*>& groups)
{
    const QDateTime currentDay = today();
    for (DoneDate* group : groups) {
        if (group->isDeleted() || group->kanban() != kanban || !group->items().isEmpty()
            || dayOf(group->doneDate()) == currentDay)
            continue;
        group->setKanban(nullptr);
        if (ManagedObjectContext* context = group->managedObjectContext())
            context->deleteObject(group);
    }
}

void placeInStageColumn(Kanban* kanban, KanbanColumn* column, const QList<ListItem*>& items, int index)
{
    if (!column)
        return;
    QList<ListItem*> leaving;
    for (ListItem* card : items)
        if (card->parentDoneGroup() || card->done())
            leaving.append(card);
    if (!leaving.isEmpty())
        leaveDoneColumn(kanban, leaving);
    QList<ListItem*> cards = column->item();
    OrderedSet::insertRun(cards, items, index);
    column->setItem(cards);
}

bool moveToBoard(ListItem* item, Kanban* kanban)
{
    if (!item || !kanban || item->isDeleted() || kanban->isDeleted() || kanban->column().isEmpty())
        return false;
    if (DoneDate* group = item->parentDoneGroup(); group || item->done()) {
        leaveDoneColumn(group ? group->kanban() : nullptr, {item});
        item->setDoneDate(std::nullopt);
    }
    QList<Tag*> tags;
    for (Tag* tag : item->tags())
        if (Tag* counterpart = counterpartOn(kanban, tag); counterpart && !tags.contains(counterpart))
            tags.append(counterpart);
    item->setTags(tags);
    item->setColumn(kanban->column().first());
    return true;
}

void restore(Kanban* kanban, ListItem* item, const Place& place)
{
    if (!kanban || !item)
        return;
    const QList<KanbanColumn*> stages = kanban->column();
    if (place.column && stages.contains(place.column)) {
        placeInStageColumn(kanban, place.column, {item}, place.index);
        return;
    }
    if (place.column && !stages.isEmpty()) {
        placeInStageColumn(kanban, stages.last(), {item}, 0);
        return;
    }
    if (place.doneDate)
        item->setDoneDate(place.doneDate);
    fileInDoneColumn(kanban, {item}, place.column ? 0 : place.index);
}

void takeOff(Kanban* kanban, const QList<ListItem*>& items)
{
    if (!kanban)
        return;
    takeOutOfStageColumns(kanban, items);
    QList<ListItem*> grouped;
    for (ListItem* card : items)
        if (card->parentDoneGroup())
            grouped.append(card);
    leaveDoneColumn(kanban, grouped);
}

void refile(Kanban* kanban, const QHash<ListItem*, Place>& places)
{
    if (!kanban)
        return;
    QList<ListItem*> cards = places.keys();
    takeOff(kanban, cards);
    // Cards of one column or day have rows of their own; the order among columns is free.
    std::sort(cards.begin(), cards.end(),
        [&](ListItem* a, ListItem* b) { return places.value(a).index < places.value(b).index; });
    for (ListItem* card : cards)
        restore(kanban, card, places.value(card));
}

} // namespace CardPlacement
