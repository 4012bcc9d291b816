#include "PelorinsKit/board/TagRenaming.h"

#include "PelorinsKit/model/DoneDate.h"
#include "PelorinsKit/model/Hashtags.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/model/Tag.h"
#include "Platform/core/OrderedSet.h"
#include "Platform/core/objectgraph/ManagedObjectContext.h"

#include <QSet>

namespace TagRenaming {

QVariantMap tagValueChange(Tag* tag)
{
    return {{affectedTagKey, QVariant::fromValue(tag)}};
}

Tag* affectedTag(const QVariantMap& userInfo)
{
    const QVariant value = userInfo.value(affectedTagKey);
    return value.metaType() == QMetaType::fromType<Tag*>() ? value.value<Tag*>() : nullptr;
}

std::optional<int> newColour(const QVariantMap& userInfo)
{
    const QVariant value = userInfo.value(newColourKey);
    if (value.metaType() != QMetaType::fromType<qint16>())
        return std::nullopt;
    return int(value.value<qint16>());
}

QList<ListItem*> cardsOf(const Kanban* kanban)
{
    QList<ListItem*> cards;
    if (!kanban)
        return cards;
    QSet<ListItem*> seen;
    const auto add = [&](const QList<ListItem*>& more) {
        for (ListItem* card : more)
            if (!seen.contains(card)) {
                seen.insert(card);
                cards.append(card);
            }
    };
    if (KanbanColumn* doneColumn = kanban->mainColumn())
        add(doneColumn->item());
    for (const KanbanColumn* column : kanban->column())
        add(column->item());
    for (const DoneDate* group : kanban->doneDates())
        add(group->items());
    return cards;
}

void replaceHashtag(const QList<ListItem*>& cards, const QString& from, const QString& to, SavedNotes& savedNotes)
{
    for (ListItem* card : cards) {
        std::optional<AttributedString> notes = card->attributedNotes();
        if (!notes || renameHashtags(*notes, from, to) == 0)
            continue;
        savedNotes.insert(card, card->attributedNotesData());
        card->setAttributedNotes(notes);
    }
}

void restoreNotes(const SavedNotes& savedNotes)
{
    for (auto saved = savedNotes.cbegin(); saved != savedNotes.cend(); ++saved)
        if (!saved.key()->isDeleted())
            saved.key()->setAttributedNotesData(saved.value());
}

QString nameRefusal(const QString& name)
{
    if (name.isEmpty())
        return QStringLiteral("A tag needs a name.");
    if (!isTagName(name))
        return QStringLiteral("\"%1\" cannot name a tag: a tag's name is one word, without spaces, signs or "
                              "full stops.")
            .arg(name);
    return {};
}

Tag* otherTagNamed(const Kanban* kanban, const Tag* tag, const QString& name)
{
    if (!kanban)
        return nullptr;
    for (Tag* other : kanban->tags())
        if (other != tag && other->name() == name)
            return other;
    return nullptr;
}

Tag* liveTag(const Kanban* kanban, Tag* tag)
{
    if (!tag || !tag->isDeleted())
        return tag;
    if (!kanban || kanban->isDeleted())
        return nullptr;
    for (Tag* candidate : kanban->tags())
        if (candidate->uniqueIdentifier() == tag->uniqueIdentifier())
            return candidate;
    return nullptr;
}

MergedTag merge(Tag* tag, Tag* survivor, const QList<ListItem*>& rewritten)
{
    MergedTag merged;
    merged.kanban = tag->kanban();
    merged.name = tag->name();
    merged.colour = tag->colour();
    merged.uniqueIdentifier = tag->uniqueIdentifier();
    merged.indexOnBoard = merged.kanban ? int(merged.kanban->tags().indexOf(tag)) : 0;
    merged.survivor = survivor;

    QList<ListItem*> cards = tag->items();
    for (ListItem* card : rewritten)
        OrderedSet::append(cards, card);
    for (ListItem* card : std::as_const(cards)) {
        QList<Tag*> tags = card->tags();
        const qsizetype index = tags.indexOf(tag);
        if (index >= 0)
            merged.places.append({card, int(index)});
        if (tags.contains(survivor)) {
            tags.removeOne(tag);
        } else {
            // The survivor takes the merged tag's place, or comes last on a card that named the tag
            // without carrying it.
            if (index >= 0)
                tags[index] = survivor;
            else
                tags.append(survivor);
            merged.gainedSurvivor.append(card);
        }
        card->setTags(tags);
    }
    tag->managedObjectContext()->deleteObject(tag);
    return merged;
}

Tag* unmerge(const MergedTag& merged)
{
    Kanban* kanban = merged.kanban;
    ManagedObjectContext* context = kanban && !kanban->isDeleted() ? kanban->managedObjectContext() : nullptr;
    auto* tag = context ? context->insertNewObject<Tag>(QStringLiteral("Tag")) : nullptr;
    if (!tag)
        return nullptr;
    tag->setName(merged.name);
    tag->setColour(merged.colour);
    tag->setUniqueIdentifier(merged.uniqueIdentifier);
    QList<Tag*> boardTags = kanban->tags();
    OrderedSet::insert(boardTags, tag, merged.indexOnBoard);
    kanban->setTags(boardTags);

    if (Tag* survivor = liveTag(kanban, merged.survivor)) {
        for (ListItem* card : merged.gainedSurvivor) {
            QList<Tag*> tags = card->tags();
            if (tags.removeOne(survivor))
                card->setTags(tags);
        }
    }
    for (const auto& [card, index] : merged.places) {
        QList<Tag*> tags = card->tags();
        if (OrderedSet::insert(tags, tag, index))
            card->setTags(tags);
    }
    return tag;
}

} // namespace TagRenaming
