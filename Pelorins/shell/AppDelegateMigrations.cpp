// The one-time migrations that bring stores of earlier versions up to what the boards expect.

#include "Pelorins/shell/AppDelegate.h"
#include "Pelorins/shell/LaunchMigrationFetch.h"
#include "PelorinsKit/notes/AttributeKey.h"
#include "PelorinsKit/store/CoreDataManager.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/model/ListItemHistory.h"
#include "PelorinsKit/notes/NoteTextConventions.h"
#include "PelorinsKit/model/Tag.h"
#include "Platform/core/ConsoleLog.h"

#include <algorithm>

namespace {

std::optional<QList<ListItem*>> fetchAllCards(ManagedObjectContext* context)
{
    return fetchAll<ListItem>(context, FetchRequest(QStringLiteral("ListItem")));
}

// Sets the notes only when they changed, so that running a migration again changes nothing.
void storeNotes(ListItem* card, const AttributedString& original, const AttributedString& copy)
{
    if (!(copy == original))
        card->setAttributedNotes(copy);
}

} // namespace

bool AppDelegate::addMissingHistory()
{
    ManagedObjectContext* context = coreDataManager().context();
    const std::optional<QList<ListItem*>> cards = fetchAllCards(context);
    if (!cards) {
        saveAction(nullptr);
        return false;
    }
    for (ListItem* card : *cards) {
        KanbanColumn* column = card->column();
        const QList<ListItemHistory*> history = card->history();
        if (history.isEmpty()) {
            if (!column)
                continue;
            ListItemHistory* entry = ListItemHistory::create(ListItemAction::created, context);
            if (!entry)
                continue;
            if (!column->mainKanban()) {
                entry->setKanbanColumnUniqueIdentifier(column->uniqueIdentifier());
            } else if (const QList<KanbanColumn*> stages = column->mainKanban()->column(); !stages.isEmpty()) {
                // A done card without history is taken to have come from the last stage.
                entry->setKanbanColumnUniqueIdentifier(stages.last()->uniqueIdentifier());
            }
            card->addHistory(entry);
            continue;
        }
        const bool identified = std::any_of(history.cbegin(), history.cend(),
            [](const ListItemHistory* entry) { return !entry->kanbanColumnUniqueIdentifier().isEmpty(); });
        if (identified || !column)
            continue;
        QString identifier;
        if (column->kanban())
            identifier = column->uniqueIdentifier();
        else if (Kanban* board = column->mainKanban(); board && !board->column().isEmpty())
            identifier = board->column().first()->uniqueIdentifier();
        if (identifier.isEmpty())
            continue;
        for (ListItemHistory* entry : history)
            entry->setKanbanColumnUniqueIdentifier(identifier);
    }
    return saveAction(nullptr);
}

bool AppDelegate::convertTagsToHashTags()
{
    const std::optional<QList<Tag*>> tags
        = fetchAll<Tag>(coreDataManager().context(), FetchRequest(QStringLiteral("Tag")));
    for (Tag* tag : tags.value_or(QList<Tag*>())) {
        const QString name = QString(tag->name()).remove(QLatin1Char(' '));
        if (name != tag->name())
            tag->setName(name);
    }
    return saveAction(nullptr) && tags.has_value();
}

bool AppDelegate::updateNoteStylesToVersion3()
{
    const std::optional<QList<ListItem*>> cards = fetchAllCards(coreDataManager().context());
    for (ListItem* card : cards.value_or(QList<ListItem*>())) {
        const std::optional<AttributedString> notes = card->attributedNotes();
        if (!notes)
            continue;
        AttributedString copy = *notes;
        const TextRange whole {0, copy.length()};
        notes->enumerateAttribute(AttributeKey::noteStyleName, whole, [&](const QVariant& value, TextRange range) {
            if (value.typeId() != QMetaType::QString)
                return;
            const QString style = value.toString();
            if (style == QLatin1String("title"))
                copy.addAttributes(titleAttributes(), range);
            else if (style == QLatin1String("header"))
                copy.addAttributes(headerAttributes(), range);
            else if (style == QLatin1String("body"))
                copy.addAttributes(normalAttributes(), range);
        });
        notes->enumerateAttribute(AttributeKey::isChecklistChecked, whole, [&](const QVariant& value, TextRange range) {
            if (value.typeId() != QMetaType::Bool)
                return;
            copy.addAttributes(checkListAttributes(), range);
            copy.addAttribute(AttributeKey::isChecklistChecked, value, range);
        });
        storeNotes(card, *notes, copy);
    }
    return saveAction(nullptr) && cards.has_value();
}

bool AppDelegate::applyStrikeThroughToDoneCards()
{
    const std::optional<QList<ListItem*>> cards = fetchAllCards(coreDataManager().context());
    for (ListItem* card : cards.value_or(QList<ListItem*>())) {
        const std::optional<AttributedString> notes = card->attributedNotes();
        if (!notes || !card->done())
            continue;
        AttributedString copy = *notes;
        copy.addAttribute(AttributeKey::strikethroughStyle, 1, TextRange {0, copy.length()});
        storeNotes(card, *notes, copy);
    }
    return saveAction(nullptr) && cards.has_value();
}
