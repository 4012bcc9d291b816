#include "PelorinsKit/model/Kanban.h"

#include "PelorinsKit/model/DateHelpers.h"
#include "PelorinsKit/model/DoneDate.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/model/Tag.h"
#include "Platform/core/ConsoleLog.h"
#include "Platform/core/objectgraph/ManagedObjectContext.h"

#include <QSet>

namespace {
const ManagedObject::PropertyKey titleKey(QStringLiteral("title"));
const ManagedObject::PropertyKey columnKey(QStringLiteral("column"));
const ManagedObject::PropertyKey mainColumnKey(QStringLiteral("mainColumn"));
const ManagedObject::PropertyKey tagsKey(QStringLiteral("tags"));
const ManagedObject::PropertyKey doneDatesKey(QStringLiteral("doneDates"));

// Visits the cards of the stage columns in order, then, when asked, the done cards: those the
// done column lists, then those of its day groups, where marking done files them. A card of a
// day group that also sits in a column was visited with that column.
// Stops once `visit` answers true, and says whether it did.
template <typename Visit> bool forEachCardUntil(const Kanban& board, bool includeDoneCards, Visit visit)
{
    for (const KanbanColumn* column : board.column())
        for (const ListItem* card : column->item())
            if (visit(*card))
                return true;
    if (!includeDoneCards)
        return false;
    if (const KanbanColumn* doneColumn = board.mainColumn())
        for (const ListItem* card : doneColumn->item())
            if (visit(*card))
                return true;
    for (const DoneDate* group : board.doneDates())
        for (const ListItem* card : group->items())
            if (!card->column() && visit(*card))
                return true;
    return false;
}

template <typename Visit> void forEachCard(const Kanban& board, bool includeDoneCards, Visit visit)
{
    forEachCardUntil(board, includeDoneCards, [&visit](const ListItem& card) {
        visit(card);
        return false;
    });
}

// Deletes those of the tags, in their order, whose names no card's notes use, `besides` left
// out. The cards are read only until every name has been found in use.
void deleteUnusedTags(const Kanban& board, const QList<Tag*>& candidates, const ListItem* besides = nullptr)
{
    QStringList unseen;
    for (const Tag* tag : candidates)
        unseen.append(tag->name());
    if (unseen.isEmpty())
        return;
    forEachCardUntil(board, true, [&unseen, besides](const ListItem& card) {
        if (&card == besides)
            return false;
        for (const QString& name : card.getAllTagNames())
            if (unseen.contains(name))
                unseen.removeAll(name);
        return unseen.isEmpty();
    });
    for (Tag* tag : candidates) {
        if (!unseen.contains(tag->name()))
            continue;
        ConsoleLog::write(QStringLiteral("deleting tag ") + tag->name());
        tag->managedObjectContext()->deleteObject(tag);
    }
}

template <typename Predicate> int countCards(const Kanban& board, bool includeDoneCards, Predicate counts)
{
    int count = 0;
    forEachCard(board, includeDoneCards, [&](const ListItem& card) {
        if (counts(card))
            ++count;
    });
    return count;
}
}

Kanban::Kanban(const Init& init)
    : DisplayItem(init)
{
}

QString Kanban::title() const
{
    return stringValue(titleKey);
}

void Kanban::setTitle(const QString& title)
{
    setValue(titleKey, title);
}

QList<KanbanColumn*> Kanban::column() const
{
    return objectsAs<KanbanColumn>(columnKey);
}

void Kanban::setColumn(const QList<KanbanColumn*>& column)
{
    setObjects(columnKey.name(), QList<ManagedObject*>(column.cbegin(), column.cend()));
}

KanbanColumn* Kanban::mainColumn() const
{
    return objectAs<KanbanColumn>(mainColumnKey);
}

void Kanban::setMainColumn(KanbanColumn* mainColumn)
{
    setObject(mainColumnKey.name(), mainColumn);
}

QList<Tag*> Kanban::tags() const
{
    return objectsAs<Tag>(tagsKey);
}

void Kanban::setTags(const QList<Tag*>& tags)
{
    setObjects(tagsKey.name(), QList<ManagedObject*>(tags.cbegin(), tags.cend()));
}

QList<DoneDate*> Kanban::doneDates() const
{
    return objectsAs<DoneDate>(doneDatesKey);
}

void Kanban::setDoneDates(const QList<DoneDate*>& doneDates)
{
    setObjects(doneDatesKey.name(), QList<ManagedObject*>(doneDates.cbegin(), doneDates.cend()));
}

bool Kanban::isItemExpandable() const
{
    return false;
}

int Kanban::numberOfItemsWith(const Tag* tag) const
{
    return countCards(*this, true, [tag](const ListItem& card) { return card.tags().contains(tag); });
}

QList<ListItem*> Kanban::allCards() const
{
    QList<ListItem*> cards;
    QSet<const ListItem*> seen;
    const auto add = [&](const QList<ListItem*>& members) {
        for (ListItem* card : members)
            if (!seen.contains(card)) {
                seen.insert(card);
                cards << card;
            }
    };
    for (const KanbanColumn* stage : column())
        add(stage->item());
    if (const KanbanColumn* done = mainColumn())
        add(done->item());
    for (const DoneDate* group : doneDates())
        add(group->items());
    return cards;
}

int Kanban::numberOfDone() const
{
    return countCards(*this, true, [](const ListItem& card) { return card.done(); });
}

int Kanban::numberOfNotDone(std::optional<bool> rightColumnsOnly) const
{
    return countCards(*this, !rightColumnsOnly.value_or(true), [](const ListItem& card) { return !card.done(); });
}

int Kanban::numberOfOverdueCards(std::optional<bool> rightColumnsOnly, const QDateTime& now) const
{
    return countCards(*this, !rightColumnsOnly.value_or(true), [&now](const ListItem& card) {
        const std::optional<QDateTime> dueDate = card.dueDate();
        return !card.done() && dueDate && now > *dueDate;
    });
}

int Kanban::numberOfDueSoonCards(
    std::optional<bool> rightColumnsOnly, const QDateTime& now, const UserDefaults& defaults) const
{
    return countCards(*this, !rightColumnsOnly.value_or(true), [&](const ListItem& card) {
        const std::optional<QDateTime> dueDate = card.dueDate();
        return !card.done() && dueDate && DateHelpers::dueSoon(*dueDate, now, defaults);
    });
}

void Kanban::cleanupTags()
{
    deleteUnusedTags(*this, tags());
}

void Kanban::cleanupTags(const QStringList& names, const ListItem* editedCard)
{
    QList<Tag*> named;
    for (Tag* tag : tags())
        if (names.contains(tag->name()))
            named.append(tag);
    deleteUnusedTags(*this, named, editedCard);
}
