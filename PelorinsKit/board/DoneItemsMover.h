#pragma once

#include "PelorinsKit/board/CardPlacement.h"
#include "Platform/core/IndexPath.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QSet>
#include <functional>
#include <optional>

class DoneItemsMoverDelegate;
class Kanban;
class KanbanColumn;
class KanbanColumnController;
class ListItem;
class UserDefaults;

// Moves cards between a board's stage columns and its done column when their done state flips:
// marking done ("Mark Done") files them at the head of today's group and saves; unmarking
// ("Unmark Done") sends each back to the stage column its history names. It drives the card
// movers of the columns concerned, reached through the board every time, and keeps nothing
// between calls. While the board's undo manager is undoing, each call takes its step back.
// Its undo steps, filed under the board, hold the board's Kanban and the cards: they go through
// the columns the board shows when it still shows that Kanban, and through the model otherwise.
class DoneItemsMover
{
public:
    // For each stage column cards were taken from, the cards by the row each had there.
    using UndoPack = QHash<KanbanColumn*, QMap<IndexPath, ListItem*>>;

    static constexpr const char* demoScrolledToDoneColumnKey = "demoScrolledToDoneColumn";

    explicit DoneItemsMover(DoneItemsMoverDelegate* delegate);
    DoneItemsMover(DoneItemsMoverDelegate* delegate, UserDefaults& defaults);
    DoneItemsMover() = delete;
    DoneItemsMover(const DoneItemsMover&) = delete;
    DoneItemsMover& operator=(const DoneItemsMover&) = delete;

    DoneItemsMoverDelegate* delegate() const { return m_delegate; }

    // Marks the cards done; while undoing, returns the cards of the pack to their rows.
    void moveDoneItems(const QList<ListItem*>& newDoneItems, const std::optional<UndoPack>& undoPack);
    // Marks the cards open; while undoing, returns them to the done column at their rows.
    void moveUnDoneItems(
        const QList<ListItem*>& newUnDoneItems, const std::optional<QHash<ListItem*, IndexPath>>& itemsAndPositions);

private:
    using Places = QHash<ListItem*, CardPlacement::Place>;

    // The board a call works on: the delegate's, through its live columns, while the delegate
    // shows `kanban`, and `kanban` in the model alone once it shows another.
    struct Board
    {
        DoneItemsMoverDelegate* view = nullptr;
        Kanban* kanban = nullptr;

        bool live() const;
        QList<KanbanColumn*> stages() const;
        KanbanColumnController* controllerFor(int section) const;
        bool undoing() const;
    };

    // `defaults` null: no first-time scroll to the done column (a redo shows none).
    static void markDone(const Board& board, const QList<ListItem*>& items, UserDefaults* defaults);
    static void undoMarkDone(const Board& board, const QList<ListItem*>& items, const std::optional<UndoPack>& undoPack,
        const Places& formerPlaces);
    static void markUndone(const Board& board, const QList<ListItem*>& items);
    static void undoMarkUndone(const Board& board, const QList<ListItem*>& items,
        const std::optional<QHash<ListItem*, IndexPath>>& positions, const Places& donePlaces,
        const QSet<ListItem*>& recorded);
    // Files, under the board's view, a step on `items` that runs on the board as it is then; it
    // does nothing once the board or a card was deleted.
    static void fileStep(const Board& board, const QList<ListItem*>& items, const QString& actionName,
        std::function<void(const Board&)> step);
    Board board() const;

    DoneItemsMoverDelegate* m_delegate = nullptr;
    UserDefaults& m_defaults;
};
