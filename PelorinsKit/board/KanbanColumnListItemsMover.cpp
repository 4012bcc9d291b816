#include "PelorinsKit/board/KanbanColumnListItemsMover.h"

#include "PelorinsKit/board/CardHistory.h"
#include "PelorinsKit/board/KanbanColumnDelegate.h"
#include "PelorinsKit/board/ListItemsMoverDelegate.h"
#include "PelorinsKit/board/LiveObjects.h"
#include "PelorinsKit/model/DoneDate.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/store/CoreDataManager.h"
#include "Platform/core/ConsoleLog.h"
#include "Platform/core/OrderedSet.h"
#include "Platform/core/UndoManager.h"

#include <QStringList>
#include <algorithm>
#include <functional>

using CardPlacement::dayOf;

namespace {

const QString moveCardActionName = QStringLiteral("Move Card");
const QString moveCardsActionName = QStringLiteral("Move Cards");
const QString rearrangeCardsActionName = QStringLiteral("Rearrange Cards");
const QString deleteItemsActionName = QStringLiteral("Delete Items");

// A search field holding no text filters nothing here.
bool filterActive(const KanbanColumnDelegate* board)
{
    const std::optional<QString> searchTerm = board->searchTerm();
    return board->tagFilter().has_value() || (searchTerm && !searchTerm->isEmpty());
}

bool isStageSection(const KanbanColumnDelegate* board, int section)
{
    return section < board->kanbanColumns().size();
}

KanbanColumn* stageColumnAt(const KanbanColumnDelegate* board, int section)
{
    const QList<KanbanColumn*> stages = board->kanbanColumns();
    return section >= 0 && section < stages.size() ? stages.at(section) : nullptr;
}

int clampedIndex(int index, qsizetype size)
{
    return int(std::clamp<qsizetype>(index, 0, size));
}

QString describe(const QList<ListItem*>& items)
{
    QStringList identifiers;
    for (const ListItem* card : items)
        identifiers.append(card->uniqueIdentifier());
    return QLatin1Char('[') + identifiers.join(QStringLiteral(", ")) + QLatin1Char(']');
}

// Moves one member of an ordered set to `to` of the others.
void moveMember(QList<ListItem*>& set, qsizetype from, int to)
{
    ListItem* card = set.takeAt(from);
    set.insert(clampedIndex(to, set.size()), card);
}

// Moves the stage's cards at `indexes` as one block to `toIndex`, or, undoing, takes the block
// standing at `toIndex` back to `indexes`. Answers the cards moved.
QList<ListItem*> reorderStage(KanbanColumn* column, const QList<int>& indexes, int toIndex, bool undoing)
{
    QList<ListItem*> cards = column->item();
    QList<ListItem*> moved;
    if (!undoing) {
        for (int index : indexes)
            if (index >= 0 && index < cards.size())
                moved.append(cards.at(index));
        OrderedSet::moveIndexes(cards, indexes, toIndex);
    } else {
        const int start = clampedIndex(toIndex, cards.size());
        moved = cards.mid(start, indexes.size());
        cards.remove(start, moved.size());
        OrderedSet::insertAtIndexes(cards, moved, indexes);
    }
    column->setItem(cards);
    return moved;
}

// Makes an empty day group for each date that has none, keeping the groups newest first.
void makeMissingGroups(Kanban* kanban, const QList<QDateTime>& datesToRestore)
{
    if (!kanban)
        return;
    QSet<QDateTime> existing;
    for (const DoneDate* group : kanban->doneDates())
        existing.insert(group->doneDate());
    QList<QDateTime> missing;
    for (const QDateTime& date : datesToRestore)
        if (!existing.contains(date) && !missing.contains(date))
            missing.append(date);
    std::sort(missing.begin(), missing.end());
    for (const QDateTime& date : missing)
        CardPlacement::makeGroup(kanban, date);
}

// Gives each card its recorded done date and puts it back at its recorded row of that day,
// making the day groups that are missing.
void restorePlacements(
    Kanban* kanban, const QHash<ListItem*, KanbanColumnListItemsMover::OriginalPlacement>& placements)
{
    QList<QDateTime> days;
    QHash<ListItem*, QDateTime> recordedDay;
    for (auto it = placements.cbegin(); it != placements.cend(); ++it) {
        it.key()->setDoneDate(it.value().date);
        recordedDay.insert(it.key(), dayOf(it.value().date));
        days.append(dayOf(it.value().date));
    }
    makeMissingGroups(kanban, days);
    if (!kanban)
        return;

    const QList<DoneDate*> groups = kanban->doneDates();
    QSet<QDateTime> daysWithGroup;
    for (const DoneDate* group : groups)
        daysWithGroup.insert(group->doneDate());
    const QSet<QDateTime> recordedDays(days.cbegin(), days.cend());
    QSet<const DoneDate*> holdingRecordedCards;
    for (auto it = placements.cbegin(); it != placements.cend(); ++it)
        holdingRecordedCards.insert(it.key()->parentDoneGroup());

    for (DoneDate* group : groups) {
        const QDateTime day = group->doneDate();
        // Only the groups of the recorded days and those holding recorded cards change.
        if (!recordedDays.contains(day) && !holdingRecordedCards.contains(group))
            continue;
        QList<ListItem*> cards = group->items();
        // Cards of another day leave for that day's group; with none to go to, they stay.
        cards.removeIf([&](ListItem* card) {
            const auto recorded = recordedDay.constFind(card);
            return recorded != recordedDay.cend() && *recorded != day && daysWithGroup.contains(*recorded);
        });

        QList<std::pair<int, ListItem*>> own;
        for (auto it = placements.cbegin(); it != placements.cend(); ++it)
            if (recordedDay.value(it.key()) == day)
                own.append({it.value().position, it.key()});
        std::sort(own.begin(), own.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        if (own.isEmpty()) {
            group->setItems(cards);
            continue;
        }

        const int missing = int(
            std::count_if(own.cbegin(), own.cend(), [&](const auto& entry) { return !cards.contains(entry.second); }));
        const int total = int(cards.size()) + missing;
        for (int position = 0; position < total; ++position) {
            const auto entry = std::find_if(
                own.cbegin(), own.cend(), [&](const auto& candidate) { return candidate.first == position; });
            if (entry == own.cend())
                continue;
            const qsizetype index = cards.indexOf(entry->second);
            if (index < 0)
                OrderedSet::insert(cards, entry->second, qsizetype(position));
            else if (index != position)
                moveMember(cards, index, position);
        }
        // Later moves can push earlier cards off their rows; settle them. Two cards recorded at
        // one row would trade places for ever, so the passes are bounded.
        for (qsizetype pass = 0; pass <= own.size(); ++pass) {
            bool movedAny = false;
            for (const auto& [position, card] : own) {
                const qsizetype index = cards.indexOf(card);
                if (index < 0) {
                    // Pushed out by a card recorded at the same row: it still belongs here.
                    OrderedSet::insert(cards, card, qsizetype(position));
                    movedAny = true;
                    continue;
                }
                const int target = clampedIndex(position, cards.size() - 1);
                if (index == target)
                    continue;
                moveMember(cards, index, target);
                ConsoleLog::write(QStringLiteral("moved [%1] to %2").arg(index).arg(position));
                movedAny = true;
            }
            if (!movedAny)
                break;
        }
        group->setItems(cards);
    }
}

// What a step holds, as it stands when the step runs: a stage or card deleted with its stage and
// rebuilt by that deletion's undo is the rebuilt one (LiveObjects.h); anything else is itself,
// deleted or not.
class LiveStandIns
{
public:
    explicit LiveStandIns(const Kanban* kanban)
        : m_kanban(kanban)
    {
    }

    ListItem* card(ListItem* card) const
    {
        ListItem* live = LiveObjects::card(m_kanban, card);
        return live ? live : card;
    }
    KanbanColumn* stage(KanbanColumn* stage) const
    {
        KanbanColumn* live = LiveObjects::stage(m_kanban, stage);
        return live ? live : stage;
    }
    BoardColumn column(BoardColumn column) const
    {
        column.stage = stage(column.stage);
        return column;
    }
    QList<BoardColumn> columns(QList<BoardColumn> columns) const
    {
        for (BoardColumn& column : columns)
            column = this->column(column);
        return columns;
    }
    QList<ListItem*> cards(QList<ListItem*> items) const
    {
        for (ListItem*& item : items)
            item = card(item);
        return items;
    }
    template <typename Key> QMap<Key, ListItem*> values(QMap<Key, ListItem*> map) const
    {
        for (ListItem*& item : map)
            item = card(item);
        return map;
    }
    template <typename Value> QHash<ListItem*, Value> keys(const QHash<ListItem*, Value>& hash) const
    {
        QHash<ListItem*, Value> live;
        for (auto it = hash.cbegin(); it != hash.cend(); ++it)
            live.insert(card(it.key()), it.value());
        return live;
    }
    QHash<ListItem*, CardPlacement::Place> places(const QHash<ListItem*, CardPlacement::Place>& places) const
    {
        QHash<ListItem*, CardPlacement::Place> live = keys(places);
        for (CardPlacement::Place& place : live)
            place.column = stage(place.column);
        return live;
    }

private:
    const Kanban* m_kanban;
};

} // namespace

// The undo steps of the movers. Each holds the board, the column and the cards, never a mover
// or a controller: it runs on the mover of whichever controller shows the column when it runs,
// or, with none live, makes the same change in the model, where the undo before it recorded
// the cards' places, and files its own inverse there too. What it holds is first taken as it
// stands when it runs (LiveStandIns).
class KanbanColumnListItemsMover::Steps
{
public:
    using Mover = KanbanColumnListItemsMover;

    static void fileDeletion(UndoManager* undoManager, KanbanColumnDelegate* board, const BoardColumn& column,
        const QList<ListItem*>& items, const QHash<ListItem*, IndexPath>& positions, const Places& places)
    {
        fileStep(
            undoManager, board, {column}, items, deleteItemsActionName,
            [=](Mover& mover, const LiveStandIns& now) {
                mover.deleteItems(now.cards(items), now.keys(positions), now.places(places));
            },
            [=](const LiveStandIns& now) {
                const QList<ListItem*> cards = now.cards(items);
                for (ListItem* card : cards)
                    card->setToBeDeleted(false);
                CardPlacement::refile(column.kanban, now.places(places));
                fileRestoration(undoManager, board, now.column(column), cards);
            });
    }

    static void fileRestoration(
        UndoManager* undoManager, KanbanColumnDelegate* board, const BoardColumn& column, const QList<ListItem*>& items)
    {
        fileStep(
            undoManager, board, {column}, items, deleteItemsActionName,
            [items](Mover& mover, const LiveStandIns& now) { mover.deleteItems(now.cards(items), std::nullopt, {}); },
            [=](const LiveStandIns& now) {
                const QList<ListItem*> cards = now.cards(items);
                const Places places = CardPlacement::placesOf(column.kanban, cards);
                CardPlacement::takeOff(column.kanban, cards);
                for (ListItem* card : cards)
                    card->setToBeDeleted(true);
                fileDeletion(undoManager, board, now.column(column), cards, {}, places);
            });
    }

    // `places`: where the step puts the cards, in the source on undo, in the destination on redo.
    static void fileMove(UndoManager* undoManager, KanbanColumnDelegate* board, const BoardColumn& source,
        const BoardColumn& destination, const QList<ListItem*>& items,
        const QMap<IndexPath, ListItem*>& fromPathsAndItems, const IndexPath& to, const Places& places)
    {
        fileStep(
            undoManager, board, {destination, source}, items,
            items.size() < 2 ? moveCardActionName : moveCardsActionName,
            [=](Mover& mover, const LiveStandIns& now) {
                const BoardColumn from = now.column(source);
                mover.moveCards(now.cards(items), from, from.liveController(board), now.values(fromPathsAndItems), to,
                    now.places(places));
            },
            [=](const LiveStandIns& now) {
                const QList<ListItem*> cards = now.cards(items);
                const BoardColumn into = now.column(destination);
                const Places at = CardPlacement::placesOf(destination.kanban, cards);
                const bool undoing = undoManager->isUndoing();
                CardPlacement::refile(destination.kanban, now.places(places));
                for (ListItem* card : cards) {
                    if (undoing)
                        CardHistory::removeLast(card);
                    else
                        CardHistory::append(card, ListItemAction::moved, into.identifier());
                }
                fileMove(undoManager, board, now.column(source), into, cards, now.values(fromPathsAndItems), to, at);
            });
    }

    static void fileStageRearrangement(UndoManager* undoManager, KanbanColumnDelegate* board, const BoardColumn& column,
        const QList<int>& indexes, int toIndex)
    {
        fileStep(
            undoManager, board, {column}, {}, rearrangeCardsActionName,
            [indexes, toIndex](Mover& mover, const LiveStandIns&) { mover.rearrangeInStageColumn(indexes, toIndex); },
            [=](const LiveStandIns& now) {
                const BoardColumn live = now.column(column);
                if (live.stage)
                    reorderStage(live.stage, indexes, toIndex, undoManager->isUndoing());
                fileStageRearrangement(undoManager, board, live, indexes, toIndex);
            });
    }

    // `placements`: where an undo puts the cards back; `rearranged`: where a redo puts them again.
    static void fileDoneRearrangement(UndoManager* undoManager, KanbanColumnDelegate* board, const BoardColumn& column,
        const QSet<IndexPath>& fromPaths, const IndexPath& to, const QHash<ListItem*, OriginalPlacement>& placements,
        const Places& rearranged)
    {
        fileStep(
            undoManager, board, {column}, placements.keys() + rearranged.keys(), rearrangeCardsActionName,
            [fromPaths, to, placements](Mover& mover, const LiveStandIns& now) {
                mover.rearrangeInDoneColumn(fromPaths, to, now.keys(placements));
            },
            [=](const LiveStandIns& now) {
                const QHash<ListItem*, OriginalPlacement> original = now.keys(placements);
                if (undoManager->isUndoing()) {
                    const Places at = CardPlacement::placesOf(column.kanban, original.keys());
                    restorePlacements(column.kanban, original);
                    fileDoneRearrangement(undoManager, board, column, fromPaths, to, {}, at);
                } else {
                    QHash<ListItem*, OriginalPlacement> recorded;
                    const Places again = now.places(rearranged);
                    const Places from = CardPlacement::placesOf(column.kanban, again.keys());
                    for (auto it = from.cbegin(); it != from.cend(); ++it)
                        if (const std::optional<QDateTime> date = it.key()->doneDate())
                            recorded.insert(it.key(), OriginalPlacement {*date, it.value().index});
                    CardPlacement::refile(column.kanban, again);
                    fileDoneRearrangement(undoManager, board, column, fromPaths, to, recorded, {});
                }
                CoreDataManager::shared().saveContext();
            });
    }

private:
    // Files, under the board, a step on `items` that runs `live` on the live mover of the first
    // of `columns`, or `model` followed by a reload of the columns the board shows. Both get the
    // stand-ins of what the step holds. Once one of the columns, their board or a card is deleted
    // with no stand-in (the board removed from the sidebar, say), the step does nothing: what it
    // names are tombstones.
    static void fileStep(UndoManager* undoManager, KanbanColumnDelegate* board, const QList<BoardColumn>& columns,
        const QList<ListItem*>& items, const QString& actionName, std::function<void(Mover&, const LiveStandIns&)> live,
        std::function<void(const LiveStandIns&)> model)
    {
        if (!undoManager || !board || columns.isEmpty())
            return;
        undoManager->registerUndo(board->undoOwner(), [board, columns, items, live, model] {
            const LiveStandIns now(columns.first().kanban);
            const QList<BoardColumn> named = now.columns(columns);
            const bool namesDeleted = CardPlacement::namesDeleted(nullptr, now.cards(items))
                || std::any_of(
                    named.cbegin(), named.cend(), [](const BoardColumn& column) { return column.isDeleted(); });
            if (namesDeleted)
                return;
            const BoardColumn& column = named.first();
            if (Mover* mover = column.liveMover(board)) {
                live(*mover, now);
                return;
            }
            model(now);
            BoardColumn::reloadLiveColumns(board, column.kanban);
        });
        undoManager->setActionName(actionName);
    }
};

KanbanColumnListItemsMover::KanbanColumnListItemsMover(ListItemsMoverDelegate* delegate)
    : m_delegate(delegate)
{
}

bool KanbanColumnListItemsMover::undoing() const
{
    const UndoManager* undoManager = m_delegate->undoManager();
    return undoManager && undoManager->isUndoing();
}

// ---- Deleting

void KanbanColumnListItemsMover::deleteItems(
    const QList<ListItem*>& itemsToDelete, const std::optional<QHash<ListItem*, IndexPath>>& undoIndexPaths)
{
    deleteItems(itemsToDelete, undoIndexPaths, {});
}

void KanbanColumnListItemsMover::deleteItems(const QList<ListItem*>& itemsToDelete,
    const std::optional<QHash<ListItem*, IndexPath>>& undoIndexPaths, const Places& places)
{
    KanbanColumnDelegate* board = m_delegate->kanbanColumnDelegate();
    if (!board)
        return;
    Kanban* kanban = board->kanban();
    const bool stage = isStageSection(board, m_delegate->specifiedSection());

    if (!undoing()) {
        QHash<ListItem*, IndexPath> positions;
        for (ListItem* card : itemsToDelete) {
            const std::optional<IndexPath> path
                = stage ? m_delegate->indexPathFor(card) : m_delegate->indexPathOfItemInDoneColumn(card);
            if (path)
                positions.insert(card, *path);
        }
        // A card the column does not show (hidden by a filter), or a column gone by the time of
        // the undo, still has its place in the model to go back to.
        const Places places = CardPlacement::placesOf(kanban, itemsToDelete);
        removeItemsFromController(itemsToDelete, m_delegate);
        for (ListItem* card : itemsToDelete)
            card->setToBeDeleted(true);
        Steps::fileDeletion(
            m_delegate->undoManager(), board, BoardColumn::shownBy(*m_delegate), itemsToDelete, positions, places);
        return;
    }

    if (!undoIndexPaths && places.isEmpty())
        return;
    const QHash<ListItem*, IndexPath> positions = undoIndexPaths.value_or(QHash<ListItem*, IndexPath>());
    for (auto it = positions.cbegin(); it != positions.cend(); ++it)
        it.key()->setToBeDeleted(false);
    for (auto it = places.cbegin(); it != places.cend(); ++it)
        it.key()->setToBeDeleted(false);

    if (stage) {
        QList<std::pair<IndexPath, ListItem*>> recorded;
        for (auto it = positions.cbegin(); it != positions.cend(); ++it)
            recorded.append({it.value(), it.key()});
        std::sort(recorded.begin(), recorded.end());
        qsizetype start = 0;
        while (start < recorded.size()) {
            // A run of consecutive rows goes back together, before the first shown card that
            // now stands at or after the run's first row.
            qsizetype end = start + 1;
            while (end < recorded.size() && recorded.at(end).first.item == recorded.at(end - 1).first.item + 1)
                ++end;
            QList<ListItem*> run;
            for (qsizetype i = start; i < end; ++i)
                run.append(recorded.at(i).second);
            const int firstRow = recorded.at(start).first.item;
            const KanbanColumn* column = stageColumnAt(board, m_delegate->specifiedSection());
            const QList<ListItem*> cards = column ? column->item() : QList<ListItem*>();
            const int shownRows = m_delegate->numberOfItems(0);
            int row = -1;
            for (int j = 0; j <= shownRows - 2; ++j) {
                if (cards.indexOf(m_delegate->itemFor(IndexPath {0, j})) >= firstRow) {
                    row = j;
                    break;
                }
            }
            if (row >= 0)
                insertItems(run, IndexPath {0, row}, row == 0, row != 0);
            else
                insertItems(run, IndexPath {0, std::max(shownRows - 1, 0)}, true, false);
            start = end;
        }
    } else {
        returnItemsToDoneColumn(positions);
    }
    for (auto it = places.cbegin(); it != places.cend(); ++it)
        if (!CardPlacement::isFiled(kanban, it.key()))
            CardPlacement::restore(kanban, it.key(), it.value());

    Steps::fileRestoration(m_delegate->undoManager(), board, BoardColumn::shownBy(*m_delegate), itemsToDelete);
}

// ---- Moving between columns

void KanbanColumnListItemsMover::moveItems(
    const QSet<IndexPath>& fromPaths, const IndexPath& to, KanbanColumnController* sourceController)
{
    if (!m_delegate->kanbanColumnDelegate())
        return;
    if (!sourceController || sourceController == m_delegate) {
        rearrangeItems(fromPaths, to);
    } else {
        QList<IndexPath> sorted(fromPaths.cbegin(), fromPaths.cend());
        std::sort(sorted.begin(), sorted.end());
        QList<ListItem*> items;
        QMap<IndexPath, ListItem*> pathsAndItems;
        for (const IndexPath& path : sorted) {
            ListItem* card = sourceController->itemFor(path);
            if (!card || items.contains(card))
                continue;
            items.append(card);
            pathsAndItems.insert(path, card);
        }
        move(items, sourceController, pathsAndItems, to);
    }
    m_delegate->updateSectionHeaders(std::nullopt);
}

void KanbanColumnListItemsMover::move(const QList<ListItem*>& items, KanbanColumnController* sourceController,
    const QMap<IndexPath, ListItem*>& fromPathsAndItems, const IndexPath& to)
{
    if (sourceController)
        moveCards(items, BoardColumn::shownBy(*sourceController), sourceController, fromPathsAndItems, to, {});
}

void KanbanColumnListItemsMover::moveCards(const QList<ListItem*>& items, const BoardColumn& source,
    KanbanColumnController* sourceController, const QMap<IndexPath, ListItem*>& fromPathsAndItems, const IndexPath& to,
    const Places& places)
{
    KanbanColumnDelegate* board = m_delegate->kanbanColumnDelegate();
    if (!board)
        return;
    Kanban* kanban = board->kanban();
    const BoardColumn destination = BoardColumn::shownBy(*m_delegate);

    if (!undoing()) {
        const Places from = CardPlacement::placesOf(kanban, items);
        if (sourceController) {
            removeItemsFromController(items, sourceController);
            sourceController->updateSectionHeaders(std::nullopt);
        } else {
            CardPlacement::takeOff(kanban, items);
        }
        const QString identifier = destination.identifier();
        for (ListItem* card : items)
            CardHistory::append(card, ListItemAction::moved, identifier);
        insertItems(items, to, true, false);
        Steps::fileMove(m_delegate->undoManager(), board, source, destination, items, fromPathsAndItems, to, from);
    } else {
        // Without a board to put them back into, the cards stay where they are.
        if (!kanban)
            return;
        const Places at = CardPlacement::placesOf(kanban, items);
        removeItemsFromController(items, m_delegate);
        m_delegate->updateSectionHeaders(std::nullopt);
        for (ListItem* card : items)
            CardHistory::removeLast(card);
        returnToSource(items, source, sourceController, fromPathsAndItems, places);
        Steps::fileMove(m_delegate->undoManager(), board, source, destination, items, fromPathsAndItems, to, at);
    }
}

void KanbanColumnListItemsMover::returnToSource(const QList<ListItem*>& items, const BoardColumn& source,
    KanbanColumnController* sourceController, const QMap<IndexPath, ListItem*>& fromPathsAndItems, const Places& places)
{
    Kanban* kanban = m_delegate->kanbanColumnDelegate()->kanban();
    KanbanColumnListItemsMover* sourceMover = sourceController ? sourceController->itemsMover() : nullptr;
    if (!sourceMover) {
        CardPlacement::refile(kanban, places);
    } else if (source.isDoneColumn()) {
        QHash<ListItem*, IndexPath> positions;
        for (auto it = fromPathsAndItems.cbegin(); it != fromPathsAndItems.cend(); ++it)
            positions.insert(it.value(), it.key());
        sourceMover->returnItemsToDoneColumn(positions);
    } else {
        int i = 0;
        for (auto it = fromPathsAndItems.cbegin(); it != fromPathsAndItems.cend(); ++it, ++i)
            sourceMover->insertItems({it.value()}, it.key(), i == 0, i != 0);
    }
    // A card without a recorded path or place goes to the head of the column it came from.
    for (ListItem* card : items)
        if (!CardPlacement::isFiled(kanban, card))
            CardPlacement::restore(kanban, card, CardPlacement::Place {source.stage, std::nullopt, 0});
}

void KanbanColumnListItemsMover::insertItems(
    const QList<ListItem*>& itemsToMove, const IndexPath& to, bool assignDoneDate, bool retainSelections)
{
    KanbanColumnDelegate* board = m_delegate->kanbanColumnDelegate();
    if (!board)
        return;
    Kanban* kanban = board->kanban();
    const int section = m_delegate->specifiedSection();
    const qsizetype count = itemsToMove.size();
    QSet<IndexPath> pathsToSelect;
    bool placeholderShown = false;
    bool newSection = false;
    int newSectionIndex = 0;
    const auto selectInsertedRows = [&] {
        for (qsizetype i = 0; i < count; ++i)
            pathsToSelect.insert(IndexPath {to.section, to.item + int(i)});
    };

    if (isStageSection(board, section)) {
        if (KanbanColumn* column = stageColumnAt(board, section)) {
            QList<ListItem*> cards = column->item();
            int at = to.item;
            if (filterActive(board)) {
                // Right after the card shown before the drop row, whatever hidden cards follow it.
                if (to.item > 0)
                    if (ListItem* previous = m_delegate->itemFor(IndexPath {to.section, to.item - 1}))
                        if (const qsizetype index = cards.indexOf(previous); index >= 0)
                            at = int(index) + 1;
                m_delegate->addFilteredModeItems(itemsToMove);
            }
            // A card still filed in the done column leaves it, so that it is never in both.
            QList<ListItem*> stillDone;
            for (ListItem* card : itemsToMove)
                if (card->parentDoneGroup())
                    stillDone.append(card);
            if (!stillDone.isEmpty())
                CardPlacement::leaveDoneColumn(kanban, stillDone);
            OrderedSet::insertRun(cards, itemsToMove, at);
            column->setItem(cards);
            selectInsertedRows();
        }
    } else if (kanban) {
        placeholderShown = m_delegate->pathIsEmptyCell(IndexPath {0, 0});
        const QList<QDateTime> days = m_delegate->distinctDoneDates();
        const QDateTime sectionDay
            = days.isEmpty() ? CardPlacement::today() : days.at(std::clamp<qsizetype>(to.section, 0, days.size() - 1));
        const QDateTime now = QDateTime::currentDateTimeUtc();
        for (ListItem* card : itemsToMove) {
            // A card without a done date is given one too: it could not be filed otherwise.
            if (assignDoneDate || !card->doneDate()) {
                if (to.section <= 0)
                    card->setDoneDate(now);
                else if (!card->doneDate() || dayOf(*card->doneDate()) != sectionDay)
                    card->setDoneDate(sectionDay);
            }
            card->setDone(true);
            card->applyRemoveStrikeThrough();
        }
        if (!itemsToMove.isEmpty()) {
            const QDateTime day = dayOf(*itemsToMove.first()->doneDate());
            if (!days.contains(day)) {
                newSection = true;
                const auto older
                    = std::find_if(days.cbegin(), days.cend(), [&](const QDateTime& shown) { return shown < day; });
                newSectionIndex = int(older - days.cbegin());
            }
            CardPlacement::takeOutOfStageColumns(kanban, itemsToMove);
            if (DoneDate* group = CardPlacement::groupOn(kanban, day)) {
                QList<ListItem*> cards = group->items();
                int at = to.item;
                if (filterActive(board)) {
                    if (to.item > 0) {
                        const QList<ListItem*> shown = m_delegate->doneItemsOn(group->doneDate(), true);
                        if (to.item - 1 < shown.size())
                            if (const qsizetype index = cards.indexOf(shown.at(to.item - 1)); index >= 0)
                                at = int(index) + 1;
                    }
                    ConsoleLog::write(QStringLiteral("append contents of itemsToMove ") + describe(itemsToMove));
                    m_delegate->setItemsAddedWhenInFilteredMode(
                        m_delegate->itemsAddedWhenInFilteredMode() + itemsToMove);
                }
                OrderedSet::insertRun(cards, itemsToMove, at);
                group->setItems(cards);
            } else if (DoneDate* created = CardPlacement::makeGroup(kanban, day)) {
                created->setItems(itemsToMove);
            }
            selectInsertedRows();
        }
    }

    m_delegate->animateInsertion(
        pathsToSelect, placeholderShown, IndexPath {0, 0}, newSection, newSectionIndex, retainSelections, int(count));
}

void KanbanColumnListItemsMover::removeItemsFromController(
    const QList<ListItem*>& itemsToMove, KanbanColumnController* sourceController)
{
    KanbanColumnDelegate* board = m_delegate->kanbanColumnDelegate();
    if (!sourceController || !board)
        return;
    Kanban* kanban = board->kanban();
    const QList<ListItem*> addedWhileFiltering = sourceController->itemsAddedWhenInFilteredMode();
    const auto forgetAddedWhileFiltering = [&] {
        for (ListItem* card : itemsToMove)
            if (addedWhileFiltering.contains(card))
                sourceController->removeFilteredModeItem(card);
    };

    if (isStageSection(board, sourceController->specifiedSection())) {
        QSet<IndexPath> paths;
        for (ListItem* card : itemsToMove)
            if (std::optional<IndexPath> path = sourceController->indexPathFor(card))
                paths.insert(*path);
        forgetAddedWhileFiltering();
        if (KanbanColumn* column = stageColumnAt(board, sourceController->specifiedSection())) {
            QList<ListItem*> cards = column->item();
            const QSet<ListItem*> leaving(itemsToMove.cbegin(), itemsToMove.cend());
            cards.removeIf([&](ListItem* card) { return leaving.contains(card); });
            column->setItem(cards);
        }
        sourceController->deleteItems(paths);
        sourceController->updateSectionHeaders(std::nullopt);
        return;
    }

    // A day's section disappears when every card it shows leaves; today's section always stays.
    const QDateTime today = CardPlacement::today();
    const QList<QDateTime> days = sourceController->distinctDoneDates();
    const QSet<ListItem*> leaving(itemsToMove.cbegin(), itemsToMove.cend());
    QList<int> removedSections;
    QSet<ListItem*> inRemovedSections;
    QSet<QDateTime> daysSeen;
    for (const ListItem* card : itemsToMove) {
        if (!card->doneDate())
            continue;
        const QDateTime day = dayOf(*card->doneDate());
        if (day == today || daysSeen.contains(day))
            continue;
        daysSeen.insert(day);
        const QList<ListItem*> shown = sourceController->doneItemsOn(day, true);
        const bool allLeave = !shown.isEmpty() && std::all_of(shown.cbegin(), shown.cend(), [&](ListItem* shownCard) {
            return leaving.contains(shownCard);
        });
        const qsizetype section = days.indexOf(day);
        if (allLeave && section >= 0) {
            removedSections.append(int(section));
            inRemovedSections.unite(QSet<ListItem*>(shown.cbegin(), shown.cend()));
        }
    }
    std::sort(removedSections.begin(), removedSections.end());

    QSet<IndexPath> paths;
    for (ListItem* card : itemsToMove)
        if (!inRemovedSections.contains(card))
            if (std::optional<IndexPath> path = sourceController->indexPathFor(card))
                paths.insert(*path);
    forgetAddedWhileFiltering();
    CardPlacement::leaveDoneColumn(kanban, itemsToMove);

    // Today's last card gives way to the placeholder instead of disappearing.
    const IndexPath first {0, 0};
    bool reload = false;
    if (paths.contains(first) && sourceController->doneItemsOn(today, true).isEmpty()) {
        paths.remove(first);
        reload = true;
    }
    sourceController->animateRemoval(removedSections, paths, reload, first);
}

// ---- Returning cards to the done column

void KanbanColumnListItemsMover::returnItemsToDoneColumn(const QHash<ListItem*, IndexPath>& itemsAndPositions)
{
    // Lowest section and row first: every earlier insertion lies before the later targets.
    QList<std::pair<IndexPath, ListItem*>> entries;
    for (auto it = itemsAndPositions.cbegin(); it != itemsAndPositions.cend(); ++it)
        entries.append({it.value(), it.key()});
    std::sort(entries.begin(), entries.end());
    for (const auto& [path, card] : entries)
        insertItems({card}, path, false, true);
}

// ---- Rearranging

void KanbanColumnListItemsMover::rearrangeItems(const QSet<IndexPath>& fromPaths, const IndexPath& to)
{
    QList<IndexPath> sorted(fromPaths.cbegin(), fromPaths.cend());
    std::sort(sorted.begin(), sorted.end());
    KanbanColumnDelegate* board = m_delegate->kanbanColumnDelegate();
    if (!board)
        return;
    const int section = m_delegate->specifiedSection();
    if (!isStageSection(board, section)) {
        rearrangeInDoneColumn(fromPaths, to, std::nullopt);
        return;
    }
    const KanbanColumn* column = stageColumnAt(board, section);
    if (!column)
        return;
    const QList<ListItem*> cards = column->item();

    int target = to.item;
    QList<int> indexes;
    if (filterActive(board)) {
        // Shown rows are not the column's indexes: both ends are translated through the cards.
        for (const IndexPath& path : sorted)
            if (const qsizetype index = cards.indexOf(m_delegate->itemFor(path)); index >= 0)
                indexes.append(int(index));
        if (target > 0)
            if (const qsizetype index = cards.indexOf(m_delegate->itemFor(IndexPath {0, target - 1})); index >= 0)
                target = int(index) + 1;
    } else {
        for (const IndexPath& path : sorted)
            if (path.item >= 0 && path.item < cards.size())
                indexes.append(path.item);
    }
    std::sort(indexes.begin(), indexes.end());
    indexes.erase(std::unique(indexes.begin(), indexes.end()), indexes.end());
    target = clampedIndex(target, cards.size());
    const int before = int(std::count_if(indexes.cbegin(), indexes.cend(), [&](int index) { return index < target; }));
    rearrangeInStageColumn(indexes, target - before);
}

void KanbanColumnListItemsMover::rearrangeInStageColumn(const QList<int>& indexes, int toIndex)
{
    KanbanColumnDelegate* board = m_delegate->kanbanColumnDelegate();
    if (KanbanColumn* column = board ? stageColumnAt(board, m_delegate->specifiedSection()) : nullptr) {
        const QList<ListItem*> moved = reorderStage(column, indexes, toIndex, undoing());
        m_delegate->reloadData();
        selectOnly(moved);
    }
    Steps::fileStageRearrangement(
        m_delegate->undoManager(), board, BoardColumn::shownBy(*m_delegate), indexes, toIndex);
}

void KanbanColumnListItemsMover::rearrangeInDoneColumn(const QSet<IndexPath>& fromPaths, const IndexPath& to,
    const std::optional<QHash<ListItem*, OriginalPlacement>>& placements)
{
    KanbanColumnDelegate* board = m_delegate->kanbanColumnDelegate();
    if (!board)
        return;
    Kanban* kanban = board->kanban();
    const bool forward = !undoing();
    QList<ListItem*> moved;
    QHash<ListItem*, OriginalPlacement> recorded;
    // Where an undo finds the cards, for a redo without the column's mover.
    Places rearranged;

    if (forward) {
        QList<IndexPath> sorted(fromPaths.cbegin(), fromPaths.cend());
        std::sort(sorted.begin(), sorted.end());
        for (const IndexPath& path : sorted) {
            ListItem* card = m_delegate->itemFor(path);
            if (!card || moved.contains(card))
                continue;
            moved.append(card);
            if (card->doneDate())
                recorded.insert(card, OriginalPlacement {*card->doneDate(), path.item});
        }
        if (moved.isEmpty())
            return;
        // The groups a drop can leave empty: those the cards leave.
        QList<DoneDate*> mayEmpty;
        for (const ListItem* card : moved)
            if (DoneDate* group = card->parentDoneGroup(); group && !mayEmpty.contains(group))
                mayEmpty.append(group);

        const QList<QDateTime> days = m_delegate->distinctDoneDates();
        const int section = days.isEmpty() ? 0 : int(std::clamp<qsizetype>(to.section, 0, days.size() - 1));
        DoneDate* destination = nullptr;
        if (kanban && section == 0) {
            // A drop into today's section when today has no group yet makes one.
            const QDateTime today = CardPlacement::today();
            destination = CardPlacement::groupOn(kanban, today);
            if (!destination)
                destination = CardPlacement::makeGroup(kanban, today);
        }
        if (!destination && kanban && section < days.size())
            for (DoneDate* group : kanban->doneDates())
                if (group->doneDate() == days.at(section))
                    destination = group;

        if (destination) {
            const QDateTime day = destination->doneDate();
            QList<ListItem*> cards = destination->items();
            int target = to.item;
            if (filterActive(board) && target > 0)
                if (const qsizetype index = cards.indexOf(m_delegate->itemFor(IndexPath {section, target - 1}));
                    index >= 0)
                    target = int(index) + 1;
            target = clampedIndex(target, cards.size());

            QList<int> sameDay;
            QList<ListItem*> otherDays;
            for (ListItem* card : moved) {
                const qsizetype index = cards.indexOf(card);
                if (index >= 0 && card->doneDate() && dayOf(*card->doneDate()) == day)
                    sameDay.append(int(index));
                else
                    otherDays.append(card);
            }
            std::sort(sameDay.begin(), sameDay.end());
            const int before
                = int(std::count_if(sameDay.cbegin(), sameDay.cend(), [&](int index) { return index < target; }));
            OrderedSet::moveIndexes(cards, sameDay, target - before);
            int at = target - before + int(sameDay.size());
            for (ListItem* card : otherDays) {
                if (!card->doneDate() || dayOf(*card->doneDate()) != day)
                    card->setDoneDate(day);
                if (OrderedSet::insert(cards, card, clampedIndex(at, cards.size())))
                    ++at;
            }
            destination->setItems(cards);
        }

        CardPlacement::deleteEmptiedGroups(kanban, mayEmpty);
    } else if (placements) {
        rearranged = CardPlacement::placesOf(kanban, placements->keys());
        restorePlacements(kanban, *placements);
    }

    Steps::fileDoneRearrangement(m_delegate->undoManager(), board, BoardColumn::shownBy(*m_delegate), fromPaths, to,
        forward ? recorded : QHash<ListItem*, OriginalPlacement>(), rearranged);

    m_delegate->clearDistinctDoneDatesCache();
    if (m_delegate->useDoneItemsOnDateCache()) {
        const QList<QDateTime> days = m_delegate->distinctDoneDates();
        if (to.section >= 0 && to.section < days.size()) {
            QHash<QDateTime, QList<ListItem*>> cache = m_delegate->doneItemsOnDateCached();
            cache.remove(days.at(to.section));
            m_delegate->setDoneItemsOnDateCached(cache);
        }
    }
    m_delegate->reloadData();

    selectOnly(forward ? moved : (placements ? placements->keys() : QList<ListItem*>()));

    CoreDataManager::shared().saveContext();
}

void KanbanColumnListItemsMover::selectOnly(const QList<ListItem*>& cards)
{
    QSet<IndexPath> paths;
    for (ListItem* card : cards)
        if (std::optional<IndexPath> path = m_delegate->indexPathFor(card))
            paths.insert(*path);
    m_delegate->deselectAllItems();
    m_delegate->selectItems(paths);
}

void KanbanColumnListItemsMover::restoreDoneDates(const QList<QDateTime>& datesToRestore)
{
    KanbanColumnDelegate* board = m_delegate->kanbanColumnDelegate();
    makeMissingGroups(board ? board->kanban() : nullptr, datesToRestore);
}
