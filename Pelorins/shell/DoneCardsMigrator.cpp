#include "Pelorins/shell/DoneCardsMigrator.h"

#include "Pelorins/shell/LaunchMigrationFetch.h"
#include "PelorinsKit/model/DateHelpers.h"
#include "PelorinsKit/model/DoneDate.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/model/ListItem.h"
#include "Platform/core/ConsoleLog.h"

#include <QHash>
#include <algorithm>
#include <limits>
#include <utility>

namespace {

// A day as a hash key; every invalid date is the same day, as QDateTime compares them.
qint64 dayKey(const QDateTime& date)
{
    const QDateTime day = DateHelpers::beginningOfDate(date);
    return day.isValid() ? day.toMSecsSinceEpoch() : std::numeric_limits<qint64>::min();
}

// The first group of each day among a board's groups. Built once per board: converting local
// days is slow, and a store holds thousands of done cards over hundreds of groups.
class DayGroups
{
public:
    DoneDate* groupOf(Kanban* board, qint64 day) { return daysOf(board).value(day, nullptr); }

    void add(Kanban* board, qint64 day, DoneDate* group) { daysOf(board).insert(day, group); }

private:
    QHash<qint64, DoneDate*>& daysOf(Kanban* board)
    {
        auto it = m_boards.find(board);
        if (it != m_boards.end())
            return *it;
        QHash<qint64, DoneDate*> days;
        // Inserting in reverse leaves the first group of each day in the table.
        const QList<DoneDate*> groups = board->doneDates();
        for (auto group = groups.crbegin(); group != groups.crend(); ++group)
            days.insert(dayKey((*group)->doneDate()), *group);
        return *m_boards.insert(board, std::move(days));
    }

    QHash<Kanban*, QHash<qint64, DoneDate*>> m_boards;
};

// Orders a board's groups newest day first, keeping the order of groups of one day.
void sortGroups(Kanban* board)
{
    const QList<DoneDate*> groups = board->doneDates();
    std::vector<std::pair<qint64, DoneDate*>> keyed;
    keyed.reserve(size_t(groups.size()));
    for (DoneDate* group : groups)
        keyed.emplace_back(
            group->doneDate().isValid() ? group->doneDate().toMSecsSinceEpoch() : std::numeric_limits<qint64>::min(),
            group);
    std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    QList<DoneDate*> sorted;
    sorted.reserve(groups.size());
    for (const auto& [key, group] : keyed)
        sorted.append(group);
    if (sorted != groups)
        board->setDoneDates(sorted);
}

} // namespace

bool DoneCardsMigrator::migrateDoneCards(ManagedObjectContext* context, const std::function<bool()>& saveAction)
{
    const std::optional<QList<ListItem*>> found = fetchAll<ListItem>(context,
        FetchRequest(QStringLiteral("ListItem"),
            [](const ManagedObject* object) { return static_cast<const ListItem*>(object)->done(); }));
    bool succeeded = found.has_value();
    const QList<ListItem*> cards = found.value_or(QList<ListItem*>());
    ConsoleLog::write(QString::number(cards.size()) + QStringLiteral(" done items found."));

    DayGroups dayGroups;
    for (ListItem* card : cards) {
        Kanban* board = card->column() ? card->column()->mainKanban() : nullptr;
        const std::optional<QDateTime> doneDate = card->doneDate();
        if (!board || !doneDate)
            continue;
        const qint64 day = dayKey(*doneDate);
        if (DoneDate* group = dayGroups.groupOf(board, day)) {
            // A card already filed under its day needs nothing, and says nothing: a store that
            // is up to date passes through quietly.
            if (card->parentDoneGroup() == group)
                continue;
            card->setParentDoneGroup(group);
            ConsoleLog::write(QStringLiteral("Item added to existing done date"));
            continue;
        }
        if (card->parentDoneGroup())
            continue;
        auto* group = context->insertNewObject<DoneDate>(QStringLiteral("DoneDate"));
        if (!group) {
            succeeded = false;
            continue;
        }
        group->setDoneDate(DateHelpers::beginningOfDate(*doneDate));
        card->setParentDoneGroup(group);
        group->setKanban(board);
        dayGroups.add(board, day, group);
        ConsoleLog::write(QStringLiteral("Item added to new done date object"));
    }
    succeeded = saveAction() && succeeded;

    const std::optional<QList<Kanban*>> boards = fetchAll<Kanban>(context, FetchRequest(QStringLiteral("Kanban")));
    if (!boards)
        return false;
    for (Kanban* board : *boards)
        sortGroups(board);
    return saveAction() && succeeded;
}
