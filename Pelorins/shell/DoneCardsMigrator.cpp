#include "Pelorins/shell/DoneCardsMigrator.h"

#include "Pelorins/shell/LaunchMigrationFetch.h"
#include "PelorinsKit/model/DateHelpers.h"
#include "PelorinsKit/model/DoneDate.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/model/ListItem.h"
#include "Platform/core/ConsoleLog.h"

#include <algorithm>

bool DoneCardsMigrator::migrateDoneCards(ManagedObjectContext* context, const std::function<bool()>& saveAction)
{
    const std::optional<QList<ListItem*>> found = fetchAll<ListItem>(context,
        FetchRequest(QStringLiteral("ListItem"),
            [](const ManagedObject* object) { return static_cast<const ListItem*>(object)->done(); }));
    bool succeeded = found.has_value();
    const QList<ListItem*> cards = found.value_or(QList<ListItem*>());
    ConsoleLog::write(QString::number(cards.size()) + QStringLiteral(" done items found."));

    for (ListItem* card : cards) {
        Kanban* board = card->column() ? card->column()->mainKanban() : nullptr;
        const std::optional<QDateTime> doneDate = card->doneDate();
        if (!board || !doneDate)
            continue;
        const QDateTime day = DateHelpers::beginningOfDate(*doneDate);
        for (DoneDate* group : board->doneDates()) {
            if (DateHelpers::beginningOfDate(group->doneDate()) != day)
                continue;
            if (!group->items().contains(card))
                group->setItems(group->items() << card);
            ConsoleLog::write(QStringLiteral("Item added to existing done date"));
            break;
        }
        if (card->parentDoneGroup())
            continue;
        auto* group = context->insertNewObject<DoneDate>(QStringLiteral("DoneDate"));
        if (!group) {
            succeeded = false;
            continue;
        }
        group->setDoneDate(day);
        group->setItems({card});
        board->setDoneDates(board->doneDates() << group);
        ConsoleLog::write(QStringLiteral("Item added to new done date object"));
    }
    succeeded = saveAction() && succeeded;

    const std::optional<QList<Kanban*>> boards = fetchAll<Kanban>(context, FetchRequest(QStringLiteral("Kanban")));
    if (!boards)
        return false;
    for (Kanban* board : *boards) {
        QList<DoneDate*> groups = board->doneDates();
        std::stable_sort(groups.begin(), groups.end(),
            [](const DoneDate* a, const DoneDate* b) { return a->doneDate() > b->doneDate(); });
        if (groups != board->doneDates())
            board->setDoneDates(groups);
    }
    return saveAction() && succeeded;
}
