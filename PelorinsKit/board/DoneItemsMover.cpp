#include "PelorinsKit/board/DoneItemsMover.h"

#include "PelorinsKit/board/CardHistory.h"
#include "PelorinsKit/board/DoneItemsMoverDelegate.h"
#include "PelorinsKit/board/KanbanColumnController.h"
#include "PelorinsKit/board/KanbanColumnListItemsMover.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/model/ListItemHistory.h"
#include "PelorinsKit/store/CoreDataManager.h"
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

// The stage column the controller shows; null without a controller or such a column.
KanbanColumn* stageShownBy(const QList<KanbanColumn*>& stages, const KanbanColumnController* controller)
{
    const int section = controller ? controller->specifiedSection() : -1;
    return section >= 0 && section < stages.size() ? stages.at(section) : nullptr;
}

// Takes the cards out of the stage column the controller shows: through its mover, or in the
// model when it has none.
void takeOutOfStage(Kanban* kanban, KanbanColumnController* controller, const QList<ListItem*>& cards)
{
    if (KanbanColumnListItemsMover* mover = controller->itemsMover())
        mover->removeItemsFromController(cards, controller);
    else
        CardPlacement::takeOutOfStageColumns(kanban, cards);
}

// Puts the cards at the head of the stage column: through the mover of the controller that shows
// it, or in the model when there is none.
void placeAtHeadOfStage(
    Kanban* kanban, KanbanColumnController* controller, KanbanColumn* column, const QList<ListItem*>& cards)
{
    if (KanbanColumnListItemsMover* mover = controller ? controller->itemsMover() : nullptr)
        mover->insertItems(cards, IndexPath {0, 0}, true, false);
    else
        CardPlacement::placeInStageColumn(kanban, column, cards, 0);
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

bool DoneItemsMover::Board::live() const
{
    return view->kanban() == kanban;
}

QList<KanbanColumn*> DoneItemsMover::Board::stages() const
{
    if (live())
        return view->kanbanColumns();
    return kanban ? kanban->column() : QList<KanbanColumn*>();
}

KanbanColumnController* DoneItemsMover::Board::controllerFor(int section) const
{
    return live() ? view->controllerFor(section) : nullptr;
}

bool DoneItemsMover::Board::undoing() const
{
    const UndoManager* undoManager = view->undoManager();
    return undoManager && undoManager->isUndoing();
}

DoneItemsMover::Board DoneItemsMover::board() const
{
    return {m_delegate, m_delegate->kanban()};
}

void DoneItemsMover::fileStep(const Board& board, const QList<ListItem*>& items, const QString& actionName,
    std::function<void(const Board&)> step)
{
    UndoManager* undoManager = board.view->undoManager();
    if (!undoManager)
        return;
    DoneItemsMoverDelegate* view = board.view;
    Kanban* kanban = board.kanban;
    undoManager->registerUndo(view->undoOwner(), [view, kanban, items, step] {
        if (!CardPlacement::namesDeleted(kanban, items))
            step(Board {view, kanban});
    });
    undoManager->setActionName(actionName);
}

void DoneItemsMover::moveDoneItems(const QList<ListItem*>& newDoneItems, const std::optional<UndoPack>& undoPack)
{
    const Board current = board();
    if (current.undoing())
        undoMarkDone(current, newDoneItems, undoPack, {});
    else
        markDone(current, newDoneItems, &m_defaults);
}

void DoneItemsMover::moveUnDoneItems(
    const QList<ListItem*>& newUnDoneItems, const std::optional<QHash<ListItem*, IndexPath>>& itemsAndPositions)
{
    const Board current = board();
    if (current.undoing())
        undoMarkUndone(current, newUnDoneItems, itemsAndPositions, {}, {});
    else
        markUndone(current, newUnDoneItems);
}

void DoneItemsMover::markDone(const Board& board, const QList<ListItem*>& items, UserDefaults* defaults)
{
    Kanban* kanban = board.kanban;
    const QList<KanbanColumn*> stages = board.stages();

    // Where each card stood in the model, for a card the undo cannot put back by its row.
    Places formerPlaces;
    for (ListItem* card : items)
        if (std::optional<CardPlacement::Place> place = CardPlacement::placeOf(kanban, card); place && place->column)
            formerPlaces.insert(card, *place);

    UndoPack pack;
    for (int i = 0; i < stages.size(); ++i) {
        KanbanColumnController* controller = board.controllerFor(i);
        KanbanColumn* column = stageShownBy(stages, controller);
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
        takeOutOfStage(kanban, controller, found);
    }

    // Without the done column's view the cards are still filed, in the model: leaving them in
    // no column would lose them.
    KanbanColumnController* doneController = board.controllerFor(int(stages.size()));
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

    if (doneController && defaults && !defaults->boolForKey(QLatin1String(demoScrolledToDoneColumnKey))) {
        board.view->scrollToController(doneController);
        if (!items.isEmpty())
            board.view->showAndSelect(items.first());
        defaults->setValue(QLatin1String(demoScrolledToDoneColumnKey), true);
    }

    fileStep(board, items, markDoneActionName, [items, pack, formerPlaces](const Board& stepBoard) {
        if (stepBoard.undoing())
            undoMarkDone(stepBoard, items, pack, formerPlaces);
        else
            markDone(stepBoard, items, nullptr);
    });
    CoreDataManager::shared().saveContext();
}

void DoneItemsMover::undoMarkDone(const Board& board, const QList<ListItem*>& items,
    const std::optional<UndoPack>& undoPack, const Places& formerPlaces)
{
    Kanban* kanban = board.kanban;
    const QList<KanbanColumn*> stages = board.stages();

    KanbanColumnController* doneController = board.controllerFor(int(stages.size()));
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
            KanbanColumnController* controller = board.controllerFor(i);
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

    fileStep(board, items, markDoneActionName, [items](const Board& stepBoard) {
        if (stepBoard.undoing())
            undoMarkDone(stepBoard, items, std::nullopt, {});
        else
            markDone(stepBoard, items, nullptr);
    });
    CoreDataManager::shared().saveContext();
}

void DoneItemsMover::markUndone(const Board& board, const QList<ListItem*>& items)
{
    Kanban* kanban = board.kanban;
    KanbanColumnController* doneController = board.controllerFor(int(board.stages().size()));

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
    const QList<KanbanColumn*> stages = board.stages();
    for (int i = 0; i < stages.size(); ++i) {
        KanbanColumnController* controller = board.controllerFor(i);
        KanbanColumn* column = stageShownBy(stages, controller);
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
        placeAtHeadOfStage(kanban, controller, column, found);
        working.removeIf([&](ListItem* card) { return found.contains(card); });
    }

    // The others go to the top of the last stage column, made when the board has none.
    if (!working.isEmpty()) {
        if (board.live() && board.stages().isEmpty())
            board.view->insertNewSectionAtEnd();
        const QList<KanbanColumn*> stagesNow = board.stages();
        if (!stagesNow.isEmpty()) {
            placeAtHeadOfStage(kanban, board.controllerFor(int(stagesNow.size()) - 1), stagesNow.last(), working);
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

    fileStep(board, items, unmarkDoneActionName, [items, positions, donePlaces, recorded](const Board& stepBoard) {
        if (stepBoard.undoing())
            undoMarkUndone(stepBoard, items, positions, donePlaces, recorded);
        else
            markUndone(stepBoard, items);
    });
}

void DoneItemsMover::undoMarkUndone(const Board& board, const QList<ListItem*>& items,
    const std::optional<QHash<ListItem*, IndexPath>>& positions, const Places& donePlaces,
    const QSet<ListItem*>& recorded)
{
    Kanban* kanban = board.kanban;
    const QList<KanbanColumn*> stages = board.stages();
    for (int i = 0; i < stages.size(); ++i) {
        KanbanColumnController* controller = board.controllerFor(i);
        KanbanColumn* column = stageShownBy(stages, controller);
        if (!column)
            continue;
        const QList<ListItem*> cardsOfColumn = column->item();
        QList<ListItem*> inColumn;
        for (ListItem* card : items)
            if (cardsOfColumn.contains(card))
                inColumn.append(card);
        if (inColumn.isEmpty())
            continue;
        takeOutOfStage(kanban, controller, inColumn);
    }

    // Only the records this unmarking added come off: a card sent to the last stage column for
    // want of a former one got none.
    for (ListItem* card : items)
        if (recorded.contains(card))
            CardHistory::removeLast(card);

    KanbanColumnController* doneController = board.controllerFor(int(stages.size()));
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

    fileStep(board, items, unmarkDoneActionName, [items](const Board& stepBoard) {
        if (stepBoard.undoing())
            undoMarkUndone(stepBoard, items, std::nullopt, {}, {});
        else
            markUndone(stepBoard, items);
    });
}
