#pragma once

#include "PelorinsKit/board/CardPlacement.h"
#include "Platform/core/IndexPath.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QSet>
#include <optional>

class DoneItemsMoverDelegate;
class KanbanColumn;
class ListItem;
class UserDefaults;

// Moves cards between a board's stage columns and its done column when their done state flips:
// marking done ("Mark Done") files them at the head of today's group and saves; unmarking
// ("Unmark Done") sends each back to the stage column its history names. It drives the card
// movers of the columns concerned, reached through the board every time, and keeps nothing
// between calls. While the board's undo manager is undoing, each call takes its step back.
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

    void markDone(const QList<ListItem*>& items);
    void undoMarkDone(
        const QList<ListItem*>& items, const std::optional<UndoPack>& undoPack, const Places& formerPlaces);
    void markUndone(const QList<ListItem*>& items);
    void undoMarkUndone(const QList<ListItem*>& items, const std::optional<QHash<ListItem*, IndexPath>>& positions,
        const Places& donePlaces, const QSet<ListItem*>& recorded);
    bool undoing() const;

    DoneItemsMoverDelegate* m_delegate = nullptr;
    UserDefaults& m_defaults;
};
