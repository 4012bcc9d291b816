#pragma once

#include "PelorinsKit/board/BoardColumn.h"
#include "PelorinsKit/board/CardPlacement.h"
#include "Platform/core/IndexPath.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QMap>
#include <QSet>
#include <optional>

class KanbanColumnController;
class KanbanColumnDelegate;
class ListItem;
class ListItemsMoverDelegate;

// The object through which one board column changes its cards: it moves cards in from another
// column, takes them out, files them into the day groups of the done column, rearranges and
// soft-deletes them, and registers the inverse of each change with the column's undo manager.
// Every operation runs forward, or, while the undo manager is undoing, as the inverse of what
// the forward run recorded. Its undo step, filed under the board, holds the cards and columns
// and finds the column's live mover through the board when it runs, to call the same operation
// again; with none live, it makes the change in the model.
//
// The mover keeps no cards and no rows: it reads the column through its delegate and the board
// through the delegate's board, afresh on every call, and does nothing without a board. Only the
// rearrangement inside the done column saves the store; the callers save after the others.
class KanbanColumnListItemsMover
{
public:
    // Where a card sat in the done column before a rearrangement: its exact done date and the
    // row it was dragged from.
    struct OriginalPlacement
    {
        QDateTime date;
        int position = 0;

        friend bool operator==(const OriginalPlacement&, const OriginalPlacement&) = default;
    };

    explicit KanbanColumnListItemsMover(ListItemsMoverDelegate* delegate);
    KanbanColumnListItemsMover() = delete;
    KanbanColumnListItemsMover(const KanbanColumnListItemsMover&) = delete;
    KanbanColumnListItemsMover& operator=(const KanbanColumnListItemsMover&) = delete;

    ListItemsMoverDelegate* delegate() const { return m_delegate; }
    void setDelegate(ListItemsMoverDelegate* delegate) { m_delegate = delegate; }

    // Soft delete ("Delete Items"): the cards leave the column and are marked for deletion; the
    // undo, given the rows recorded by the deletion, puts them back there.
    void deleteItems(const QList<ListItem*>& itemsToDelete,
        const std::optional<QHash<ListItem*, IndexPath>>& undoIndexPaths = std::nullopt);
    // The drop entry: rearranges inside this column when the cards come from it (no source, or
    // this column's own controller), else moves them in from the source column.
    void moveItems(const QSet<IndexPath>& fromPaths, const IndexPath& to, KanbanColumnController* sourceController);
    // Moves cards from another column into this one at the drop path, with a history entry per
    // card ("Move Card", "Move Cards"); while undoing, sends them back to their recorded paths.
    void move(const QList<ListItem*>& items, KanbanColumnController* sourceController,
        const QMap<IndexPath, ListItem*>& fromPathsAndItems, const IndexPath& to);
    // Files done cards back at the paths they had in this done column, lowest section and row
    // first, so that each lands exactly at its recorded place.
    void returnItemsToDoneColumn(const QHash<ListItem*, IndexPath>& itemsAndPositions);
    // Reorders cards inside this column ("Rearrange Cards"); in the done column cards may change
    // day group, and the store is saved.
    void rearrangeItems(const QSet<IndexPath>& fromPaths, const IndexPath& to);
    // Makes an empty day group for each date that has none, keeping the groups newest first.
    void restoreDoneDates(const QList<QDateTime>& datesToRestore);
    // Files cards into this column at the path and animates the insertion. In the done column
    // they become done cards with their notes struck through, in the group of the first card's
    // day (made when missing); `assignDoneDate` gives them the day of the path's section.
    void insertItems(
        const QList<ListItem*>& itemsToMove, const IndexPath& to, bool assignDoneDate, bool retainSelections);
    // Takes the cards out of the column the controller shows and animates the removal; cards
    // leaving the done column become open, lose their strike-through, and day groups left empty
    // are deleted, except today's.
    void removeItemsFromController(const QList<ListItem*>& itemsToMove, KanbanColumnController* sourceController);

private:
    using Places = QHash<ListItem*, CardPlacement::Place>;

    class Steps;

    // `places`: where each card stood before the deletion.
    void deleteItems(const QList<ListItem*>& itemsToDelete,
        const std::optional<QHash<ListItem*, IndexPath>>& undoIndexPaths, const Places& places);
    // `sourceController`: the one showing `source` now, if any; `places`: where a reverse move
    // puts the cards back when the source has no mover.
    void moveCards(const QList<ListItem*>& items, const BoardColumn& source, KanbanColumnController* sourceController,
        const QMap<IndexPath, ListItem*>& fromPathsAndItems, const IndexPath& to, const Places& places);
    void returnToSource(const QList<ListItem*>& items, const BoardColumn& source,
        KanbanColumnController* sourceController, const QMap<IndexPath, ListItem*>& fromPathsAndItems,
        const Places& places);
    void rearrangeInStageColumn(const QList<int>& indexes, int toIndex);
    void rearrangeInDoneColumn(const QSet<IndexPath>& fromPaths, const IndexPath& to,
        const std::optional<QHash<ListItem*, OriginalPlacement>>& placements);
    // The cards, in the rows the column shows them at now, become its whole selection.
    void selectOnly(const QList<ListItem*>& cards);
    bool undoing() const;

    ListItemsMoverDelegate* m_delegate = nullptr;
};
