#include "PelorinsKit/board/DoneItemsMover.h"

#include "PelorinsKit/board/CardHistory.h"
#include "PelorinsKit/store/CoreDataManager.h"
#include "PelorinsKit/board/DoneItemsMoverDelegate.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/board/KanbanColumnController.h"
#include "PelorinsKit/board/KanbanColumnListItemsMover.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/model/ListItemHistory.h"
#include "Platform/core/ConsoleLog.h"
#include "Platform/core/UndoManager.h"
#include "Platform/core/UserDefaults.h"

#include <algorithm>
#include <numeric>

namespace {

const QString markDoneActionName = QStringLiteral("Mark Done");
const QString unmarkDoneActionName = QStringLiteral("Unmark Done");
const QString identifierMissing = QStringLiteral("uuid or main column not gotten");

// The card's history newest first; entries of one instant keep their recorded order, reversed.
QList<ListItemHistory*> newestFirst(const ListItem* item)
{
    const QList<ListItemHistory*> history = item->history();
    QList<qsizetype> order(history.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) {
        const QDateTime dateA = history.at(a)->date();
        const QDateTime dateB = history.at(b)->date();
        return dateA != dateB ? dateA > dateB : a > b;
    });
    QList<ListItemHistory*> sorted;
    sorted.reserve(order.size());
    for (qsizetype index : order)
        sorted.append(history.at(index));
    return sorted;
}

// Whether the card's newest record naming a column other than the done column names `column`.
bool cameFrom(const ListItem* item, const Kanban* kanban, const KanbanColumn* column)
{
    for (const ListItemHistory* record : newestFirst(item)) {
        const QString identifier = record->kanbanColumnUniqueIdentifier();
        const KanbanColumn* doneColumn = kanban ? kanban->mainColumn() : nullptr;
        if (identifier.isEmpty() || !doneColumn || doneColumn->uniqueIdentifier().isEmpty()
            || column->uniqueIdentifier().isEmpty()) {
            ConsoleLog::write(identifierMissing);
            continue;
        }
        if (identifier == doneColumn->uniqueIdentifier())
            continue;
        return identifier == column->uniqueIdentifier();
    }
    return false;
}

KanbanColumn* stageAt(const QList<KanbanColumn*>& stages, int section)
{
    return section >= 0 && section < stages.size() ? stages.at(section) : nullptr;
}

} // namespace

DoneItemsMover::DoneItemsMover(DoneItemsMoverDelegate* delegate)
    : DoneItemsMover(delegate, UserDefaults::standard())
{
}

DoneItemsMover::DoneItemsMover(DoneItemsMoverDelegate* delegate, UserDefaults& defaults)
    : m_delegate(delegate)
    , m_defaults(defaults)
{
}

bool DoneItemsMover::undoing() const
{
    const UndoManager* undoManager = m_delegate->undoManager();
    return undoManager && undoManager->isUndoing();
}

void DoneItemsMover::moveDoneItems(const QList<ListItem*>& newDoneItems, const std::optional<UndoPack>& undoPack)
{
    if (undoing())
        undoMarkDone(newDoneItems, undoPack, {});
    else
        markDone(newDoneItems);
}

void DoneItemsMover::moveUnDoneItems(
    const QList<ListItem*>& newUnDoneItems, const std::optional<QHash<ListItem*, IndexPath>>& itemsAndPositions)
{
    if (undoing())
        undoMarkUndone(newUnDoneItems, itemsAndPositions, {}, {});
    else
        markUndone(newUnDoneItems);
}

void DoneItemsMover::markDone(const QList<ListItem*>& items)
{
    Kanban* kanban = m_delegate->kanban();
    const QList<KanbanColumn*> stages = m_delegate->kanbanColumns();

    // Where each card stood in the model, for a card the undo cannot put back by its row.
    Places formerPlaces;
    for (ListItem* card : items)
        if (std::optional<CardPlacement::Place> place = CardPlacement::placeOf(kanban, card); place && place->column)
            formerPlaces.insert(card, *place);

    UndoPack pack;
    for (int i = 0; i < stages.size(); ++i) {
        KanbanColumnController* controller = m_delegate->controllerFor(i);
        if (!controller)
            continue;
        KanbanColumn* column = stageAt(stages, controller->specifiedSection());
        if (!column)
            continue;
        const QList<ListItem*> cardsOfColumn = column->item();
        const QSet<ListItem*> members(cardsOfColumn.cbegin(), cardsOfColumn.cend());
        QList<ListItem*> found;
        QMap<IndexPath, ListItem*> paths;
        for (ListItem* card : items) {
            if (!members.contains(card))
                continue;
            found.append(card);
            if (std::optional<IndexPath> path = controller->indexPathFor(card))
                paths.insert(*path, card);
        }
        if (found.isEmpty())
            continue;
        pack.insert(stages.at(i), paths);
        if (KanbanColumnListItemsMover* mover = controller->itemsMover())
            mover->removeItemsFromController(found, controller);
        else
            CardPlacement::takeOutOfStageColumns(kanban, found);
    }

    // Without the done column's view the cards are still filed, in the model: leaving them in
    // no column would lose them.
    KanbanColumnController* doneController = m_delegate->controllerFor(int(m_delegate->kanbanColumns().size()));
    KanbanColumnListItemsMover* doneMover = doneController ? doneController->itemsMover() : nullptr;
    if (doneMover) {
        doneMover->insertItems(items, IndexPath {0, 0}, true, false);
    } else {
        const QDateTime now = QDateTime::currentDateTimeUtc();
        for (ListItem* card : items)
            card->setDoneDate(now);
        CardPlacement::fileInDoneColumn(kanban, items, 0);
    }

    for (ListItem* card : items)
        CardHistory::append(card, ListItemAction::markedDone);

    if (doneController && !m_defaults.boolForKey(QLatin1String(demoScrolledToDoneColumnKey))) {
        m_delegate->scrollToController(doneController);
        if (!items.isEmpty())
            m_delegate->showAndSelect(items.first());
        m_defaults.setValue(QLatin1String(demoScrolledToDoneColumnKey), true);
    }

    if (UndoManager* undoManager = m_delegate->undoManager()) {
        undoManager->registerUndo(this, [this, items, pack, formerPlaces] {
            if (undoing())
                undoMarkDone(items, pack, formerPlaces);
            else
                markDone(items);
        });
        undoManager->setActionName(markDoneActionName);
    }
    CoreDataManager::shared().saveContext();
}

void DoneItemsMover::undoMarkDone(
    const QList<ListItem*>& items, const std::optional<UndoPack>& undoPack, const Places& formerPlaces)
{
    Kanban* kanban = m_delegate->kanban();
    const QList<KanbanColumn*> stages = m_delegate->kanbanColumns();

    KanbanColumnController* doneController = m_delegate->controllerFor(int(stages.size()));
    if (KanbanColumnListItemsMover* doneMover = doneController ? doneController->itemsMover() : nullptr)
        doneMover->removeItemsFromController(items, doneController);
    else
        CardPlacement::leaveDoneColumn(kanban, items);

    for (ListItem* card : items)
        CardHistory::removeLast(card);

    if (undoPack) {
        for (int i = 0; i < stages.size(); ++i) {
            const auto entry = undoPack->constFind(stages.at(i));
            if (entry == undoPack->cend())
                continue;
            KanbanColumnController* controller = m_delegate->controllerFor(i);
            KanbanColumnListItemsMover* mover = controller ? controller->itemsMover() : nullptr;
            int j = 0;
            for (auto it = entry->cbegin(); it != entry->cend(); ++it, ++j) {
                if (mover)
                    mover->insertItems({it.value()}, it.key(), j == 0, j != 0);
                else
                    CardPlacement::placeInStageColumn(kanban, stages.at(i), {it.value()}, it.key().item);
            }
        }
    }

    // Cards the column did not show when they were marked done have no row in the pack: they go
    // back to their place in the model, or to the head of the last stage column.
    for (ListItem* card : items) {
        if (card->column() && stages.contains(card->column()))
            continue;
        if (const auto former = formerPlaces.constFind(card); former != formerPlaces.cend())
            CardPlacement::restore(kanban, card, *former);
        else if (!stages.isEmpty())
            CardPlacement::placeInStageColumn(kanban, stages.last(), {card}, 0);
        else
            CardPlacement::fileInDoneColumn(kanban, {card}, 0);
    }

    if (UndoManager* undoManager = m_delegate->undoManager()) {
        undoManager->registerUndo(this, [this, items] { moveDoneItems(items, std::nullopt); });
        undoManager->setActionName(markDoneActionName);
    }
    CoreDataManager::shared().saveContext();
}

void DoneItemsMover::markUndone(const QList<ListItem*>& items)
{
    Kanban* kanban = m_delegate->kanban();
    KanbanColumnController* doneController = m_delegate->controllerFor(int(m_delegate->kanbanColumns().size()));

    QHash<ListItem*, IndexPath> positions;
    Places donePlaces;
    for (ListItem* card : items) {
        if (doneController)
            if (std::optional<IndexPath> path = doneController->indexPathOfItemInDoneColumn(card))
                positions.insert(card, *path);
        if (std::optional<CardPlacement::Place> place = CardPlacement::placeOf(kanban, card); place && !place->column)
            donePlaces.insert(card, *place);
    }

    if (KanbanColumnListItemsMover* doneMover = doneController ? doneController->itemsMover() : nullptr)
        doneMover->removeItemsFromController(items, doneController);
    else
        CardPlacement::leaveDoneColumn(kanban, items);

    QList<ListItem*> working = items;
    QSet<ListItem*> recorded;
    const QList<KanbanColumn*> stages = m_delegate->kanbanColumns();
    for (int i = 0; i < stages.size(); ++i) {
        KanbanColumnController* controller = m_delegate->controllerFor(i);
        KanbanColumn* column = controller ? stageAt(stages, controller->specifiedSection()) : nullptr;
        if (!column)
            continue;
        QList<ListItem*> found;
        for (ListItem* card : working) {
            if (!cameFrom(card, kanban, column))
                continue;
            CardHistory::append(card, ListItemAction::moved, column->uniqueIdentifier());
            recorded.insert(card);
            found.append(card);
        }
        if (found.isEmpty())
            continue;
        if (KanbanColumnListItemsMover* mover = controller->itemsMover())
            mover->insertItems(found, IndexPath {0, 0}, true, false);
        else
            CardPlacement::placeInStageColumn(kanban, column, found, 0);
        working.removeIf([&](ListItem* card) { return found.contains(card); });
    }

    // The others go to the top of the last stage column, made when the board has none.
    if (!working.isEmpty()) {
        if (m_delegate->kanbanColumns().isEmpty())
            m_delegate->insertNewSectionAtEnd();
        const QList<KanbanColumn*> stagesNow = m_delegate->kanbanColumns();
        if (!stagesNow.isEmpty()) {
            KanbanColumnController* last = m_delegate->controllerFor(int(stagesNow.size()) - 1);
            if (KanbanColumnListItemsMover* mover = last ? last->itemsMover() : nullptr)
                mover->insertItems(working, IndexPath {0, 0}, true, false);
            else
                CardPlacement::placeInStageColumn(kanban, stagesNow.last(), working, 0);
        } else {
            // No stage column to go to: the cards stay done rather than go nowhere.
            for (ListItem* card : working) {
                if (const auto place = donePlaces.constFind(card); place != donePlaces.cend())
                    CardPlacement::restore(kanban, card, *place);
                else
                    CardPlacement::fileInDoneColumn(kanban, {card}, 0);
            }
        }
    }

    if (UndoManager* undoManager = m_delegate->undoManager()) {
        undoManager->registerUndo(this, [this, items, positions, donePlaces, recorded] {
            if (undoing())
                undoMarkUndone(items, positions, donePlaces, recorded);
            else
                markUndone(items);
        });
        undoManager->setActionName(unmarkDoneActionName);
    }
}

void DoneItemsMover::undoMarkUndone(const QList<ListItem*>& items,
    const std::optional<QHash<ListItem*, IndexPath>>& positions, const Places& donePlaces,
    const QSet<ListItem*>& recorded)
{
    Kanban* kanban = m_delegate->kanban();
    const QList<KanbanColumn*> stages = m_delegate->kanbanColumns();
    for (int i = 0; i < stages.size(); ++i) {
        KanbanColumnController* controller = m_delegate->controllerFor(i);
        KanbanColumn* column = controller ? stageAt(stages, controller->specifiedSection()) : nullptr;
        if (!column)
            continue;
        const QList<ListItem*> cardsOfColumn = column->item();
        QList<ListItem*> inColumn;
        for (ListItem* card : items)
            if (cardsOfColumn.contains(card))
                inColumn.append(card);
        if (inColumn.isEmpty())
            continue;
        if (KanbanColumnListItemsMover* mover = controller->itemsMover())
            mover->removeItemsFromController(inColumn, controller);
        else
            CardPlacement::takeOutOfStageColumns(kanban, inColumn);
    }

    // Only the records this unmarking added come off: a card sent to the last stage column for
    // want of a former one got none.
    for (ListItem* card : items)
        if (recorded.contains(card))
            CardHistory::removeLast(card);

    KanbanColumnController* doneController = m_delegate->controllerFor(int(stages.size()));
    KanbanColumnListItemsMover* doneMover = doneController ? doneController->itemsMover() : nullptr;
    if (positions && doneMover)
        doneMover->returnItemsToDoneColumn(*positions);

    // A card without a recorded row, or without the done column's view, still goes back to its
    // day group in the model.
    for (ListItem* card : items) {
        if (card->parentDoneGroup())
            continue;
        if (const auto place = donePlaces.constFind(card); place != donePlaces.cend())
            CardPlacement::restore(kanban, card, *place);
        else
            CardPlacement::fileInDoneColumn(kanban, {card}, 0);
    }

    if (UndoManager* undoManager = m_delegate->undoManager()) {
        undoManager->registerUndo(this, [this, items] { moveUnDoneItems(items, std::nullopt); });
        undoManager->setActionName(unmarkDoneActionName);
    }
}
