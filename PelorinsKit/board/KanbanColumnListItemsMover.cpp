#include "PelorinsKit/board/KanbanColumnListItemsMover.h"

#include "PelorinsKit/board/CardHistory.h"
#include "PelorinsKit/store/CoreDataManager.h"
#include "PelorinsKit/model/DoneDate.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/board/KanbanColumnDelegate.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/board/ListItemsMoverDelegate.h"
#include "Platform/core/ConsoleLog.h"
#include "Platform/core/OrderedSet.h"
#include "Platform/core/UndoManager.h"
#include "Platform/core/objectgraph/ManagedObjectContext.h"

#include <QStringList>
#include <algorithm>

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

// How history names the column of `section`: a stage column by its own identifier, the done
// column by the board's done column.
QString columnIdentifier(const KanbanColumnDelegate* board, int section)
{
    if (isStageSection(board, section)) {
        const KanbanColumn* column = stageColumnAt(board, section);
        return column ? column->uniqueIdentifier() : QString();
    }
    const Kanban* kanban = board->kanban();
    return kanban && kanban->mainColumn() ? kanban->mainColumn()->uniqueIdentifier() : QString();
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

} // namespace

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
    const std::optional<QHash<ListItem*, IndexPath>>& undoIndexPaths, const Places& unshownPlaces)
{
    KanbanColumnDelegate* board = m_delegate->kanbanColumnDelegate();
    if (!board)
        return;
    Kanban* kanban = board->kanban();
    const bool stage = isStageSection(board, m_delegate->specifiedSection());

    if (!undoing()) {
        QHash<ListItem*, IndexPath> positions;
        Places places;
        for (ListItem* card : itemsToDelete) {
            const std::optional<IndexPath> path
                = stage ? m_delegate->indexPathFor(card) : m_delegate->indexPathOfItemInDoneColumn(card);
            if (path)
                positions.insert(card, *path);
            // A card the column does not show (hidden by a filter) still goes back to its place.
            else if (std::optional<CardPlacement::Place> place = CardPlacement::placeOf(kanban, card))
                places.insert(card, *place);
        }
        removeItemsFromController(itemsToDelete, m_delegate);
        for (ListItem* card : itemsToDelete)
            card->setToBeDeleted(true);
        if (UndoManager* undoManager = m_delegate->undoManager()) {
            undoManager->registerUndo(
                this, [this, itemsToDelete, positions, places] { deleteItems(itemsToDelete, positions, places); });
            undoManager->setActionName(deleteItemsActionName);
        }
        return;
    }

    if (!undoIndexPaths && unshownPlaces.isEmpty())
        return;
    const QHash<ListItem*, IndexPath> positions = undoIndexPaths.value_or(QHash<ListItem*, IndexPath>());
    for (auto it = positions.cbegin(); it != positions.cend(); ++it)
        it.key()->setToBeDeleted(false);
    for (auto it = unshownPlaces.cbegin(); it != unshownPlaces.cend(); ++it)
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
    for (auto it = unshownPlaces.cbegin(); it != unshownPlaces.cend(); ++it)
        if (!CardPlacement::isFiled(kanban, it.key()))
            CardPlacement::restore(kanban, it.key(), it.value());

    if (UndoManager* undoManager = m_delegate->undoManager()) {
        undoManager->registerUndo(this, [this, itemsToDelete] { deleteItems(itemsToDelete, std::nullopt, {}); });
        undoManager->setActionName(deleteItemsActionName);
    }
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
    KanbanColumnDelegate* board = m_delegate->kanbanColumnDelegate();
    if (!board || !sourceController)
        return;

    if (!undoing()) {
        removeItemsFromController(items, sourceController);
        sourceController->updateSectionHeaders(std::nullopt);
        const QString identifier = columnIdentifier(board, m_delegate->specifiedSection());
        for (ListItem* card : items)
            CardHistory::append(card, ListItemAction::moved, identifier);
        insertItems(items, to, true, false);
    } else {
        // Without a board to put them back into, the cards stay where they are.
        if (!board->kanban())
            return;
        removeItemsFromController(items, m_delegate);
        m_delegate->updateSectionHeaders(std::nullopt);
        for (ListItem* card : items)
            CardHistory::removeLast(card);
        returnToSource(items, sourceController, fromPathsAndItems);
    }

    if (UndoManager* undoManager = m_delegate->undoManager()) {
        undoManager->registerUndo(this, [this, items, sourceController, fromPathsAndItems, to] {
            move(items, sourceController, fromPathsAndItems, to);
        });
        undoManager->setActionName(items.size() < 2 ? moveCardActionName : moveCardsActionName);
    }
}

void KanbanColumnListItemsMover::returnToSource(const QList<ListItem*>& items, KanbanColumnController* sourceController,
    const QMap<IndexPath, ListItem*>& fromPathsAndItems)
{
    Kanban* kanban = m_delegate->kanbanColumnDelegate()->kanban();
    const QList<KanbanColumn*> stages = kanban->column();
    const int sourceSection = sourceController->specifiedSection();
    KanbanColumnListItemsMover* sourceMover = sourceController->itemsMover();
    KanbanColumn* sourceColumn
        = sourceSection >= 0 && sourceSection < stages.size() ? stages.at(sourceSection) : nullptr;

    if (sourceSection >= stages.size()) {
        QHash<ListItem*, IndexPath> positions;
        for (auto it = fromPathsAndItems.cbegin(); it != fromPathsAndItems.cend(); ++it)
            positions.insert(it.value(), it.key());
        if (sourceMover) {
            sourceMover->returnItemsToDoneColumn(positions);
        } else {
            for (auto it = fromPathsAndItems.cbegin(); it != fromPathsAndItems.cend(); ++it)
                CardPlacement::fileInDoneColumn(kanban, {it.value()}, it.key().item);
        }
    } else {
        int i = 0;
        for (auto it = fromPathsAndItems.cbegin(); it != fromPathsAndItems.cend(); ++it, ++i) {
            if (sourceMover)
                sourceMover->insertItems({it.value()}, it.key(), i == 0, i != 0);
            else
                CardPlacement::placeInStageColumn(kanban, sourceColumn, {it.value()}, it.key().item);
        }
    }
    // A card moved without a recorded path goes to the head of the column it came from.
    for (ListItem* card : items) {
        if (CardPlacement::isFiled(kanban, card))
            continue;
        if (sourceColumn)
            CardPlacement::placeInStageColumn(kanban, sourceColumn, {card}, 0);
        else
            CardPlacement::fileInDoneColumn(kanban, {card}, 0);
    }
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
            at = clampedIndex(at, cards.size());
            for (ListItem* card : itemsToMove)
                if (OrderedSet::insert(cards, card, at))
                    ++at;
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
                at = clampedIndex(at, cards.size());
                for (ListItem* card : itemsToMove)
                    if (OrderedSet::insert(cards, card, at))
                        ++at;
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
    KanbanColumn* column = board ? stageColumnAt(board, m_delegate->specifiedSection()) : nullptr;
    if (column) {
        QList<ListItem*> cards = column->item();
        QList<ListItem*> moved;
        if (!undoing()) {
            for (int index : indexes)
                if (index >= 0 && index < cards.size())
                    moved.append(cards.at(index));
            OrderedSet::moveIndexes(cards, indexes, toIndex);
        } else {
            // The block stands at toIndex; each card goes back to its former index.
            const int start = clampedIndex(toIndex, cards.size());
            moved = cards.mid(start, indexes.size());
            cards.remove(start, moved.size());
            OrderedSet::insertAtIndexes(cards, moved, indexes);
        }
        column->setItem(cards);
        m_delegate->reloadData();
        QSet<IndexPath> paths;
        for (ListItem* card : moved)
            if (std::optional<IndexPath> path = m_delegate->indexPathFor(card))
                paths.insert(*path);
        m_delegate->deselectAllItems();
        m_delegate->selectItems(paths);
    }
    if (UndoManager* undoManager = m_delegate->undoManager()) {
        undoManager->registerUndo(this, [this, indexes, toIndex] { rearrangeInStageColumn(indexes, toIndex); });
        undoManager->setActionName(rearrangeCardsActionName);
    }
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
        // The groups a drop can leave empty: those the cards leave, and today's, which a drop
        // into today makes when it has none.
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

        if (kanban) {
            if (DoneDate* todays = CardPlacement::groupOn(kanban, CardPlacement::today()))
                mayEmpty.append(todays);
            for (DoneDate* group : mayEmpty) {
                if (group->isDeleted() || group->kanban() != kanban || !group->items().isEmpty())
                    continue;
                group->setKanban(nullptr);
                if (ManagedObjectContext* context = group->managedObjectContext())
                    context->deleteObject(group);
            }
        }
    } else if (placements) {
        restorePlacements(*placements);
    }

    const QHash<ListItem*, OriginalPlacement> handlerPlacements
        = forward ? recorded : QHash<ListItem*, OriginalPlacement>();
    if (UndoManager* undoManager = m_delegate->undoManager()) {
        undoManager->registerUndo(this,
            [this, fromPaths, to, handlerPlacements] { rearrangeInDoneColumn(fromPaths, to, handlerPlacements); });
        undoManager->setActionName(rearrangeCardsActionName);
    }

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

    const QList<ListItem*> selected = forward ? moved : (placements ? placements->keys() : QList<ListItem*>());
    QSet<IndexPath> paths;
    for (ListItem* card : selected)
        if (std::optional<IndexPath> path = m_delegate->indexPathFor(card))
            paths.insert(*path);
    m_delegate->deselectAllItems();
    m_delegate->selectItems(paths);

    CoreDataManager::shared().saveContext();
}

void KanbanColumnListItemsMover::restorePlacements(const QHash<ListItem*, OriginalPlacement>& placements)
{
    Kanban* kanban = m_delegate->kanbanColumnDelegate()->kanban();
    QList<QDateTime> days;
    QHash<ListItem*, QDateTime> recordedDay;
    for (auto it = placements.cbegin(); it != placements.cend(); ++it) {
        it.key()->setDoneDate(it.value().date);
        recordedDay.insert(it.key(), dayOf(it.value().date));
        days.append(dayOf(it.value().date));
    }
    restoreDoneDates(days);
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

void KanbanColumnListItemsMover::restoreDoneDates(const QList<QDateTime>& datesToRestore)
{
    KanbanColumnDelegate* board = m_delegate->kanbanColumnDelegate();
    Kanban* kanban = board ? board->kanban() : nullptr;
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
