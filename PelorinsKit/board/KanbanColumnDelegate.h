#pragma once

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <optional>

class Kanban;
class KanbanColumn;
class KanbanColumnController;
class ListItem;
class QObject;
class Tag;
class UndoManager;

// The board that shows one Kanban as a row of columns, as its columns and the board logic see
// it. Sections: the stage columns are 0 to N-1 in the order of `kanbanColumns()`, the done
// column is N.
//
// The pure virtual members are the board view's to answer; the others have the behaviour every
// board keeps: dragging columns sideways and merging the tags of pasted cards into the board's.
class KanbanColumnDelegate
{
public:
    virtual ~KanbanColumnDelegate() = default;

    // The board shown; null before one is set.
    virtual Kanban* kanban() const = 0;
    // The board's stage columns in board order; empty without a board. Their count is the done
    // column's section.
    virtual QList<KanbanColumn*> kanbanColumns() const = 0;
    // Zoom factor of the board, 1.0 at first.
    virtual qreal storedMagnification() const = 0;
    virtual void setStoredMagnification(qreal storedMagnification) = 0;
    // True: stage columns side by side; false: one column showing every stage and day.
    virtual bool viewAsMultiColumn() const = 0;
    // Width of one column slot: the magnification times 300.
    virtual qreal columnWidth() const = 0;
    // Extra gap before the done column (40).
    virtual qreal columnGap() const = 0;
    // Left inset of the first column (0).
    virtual qreal columnsLeftInset() const = 0;
    // The first bookmarked stage column, 0 when none is.
    virtual int bookmarkedColumnIndex() const = 0;
    // The tags the board is filtered by; none when no tag filter is set.
    virtual std::optional<QList<Tag*>> tagFilter() const = 0;
    // The text of the board's search field; none (or empty) when no search is active.
    virtual std::optional<QString> searchTerm() const = 0;
    // The window's undo manager; null while the board has no window.
    virtual UndoManager* undoManager() const = 0;
    // What the undo steps of the board's movers are filed under: they reach the board when they
    // run, so they must go with it (the board's own QObject).
    virtual QObject* undoOwner() const = 0;
    // Card heights shared by all columns of the board; the board decides when they are stale.
    virtual QHash<ListItem*, qreal> itemHeightCache() const = 0;
    virtual void setItemHeightCache(const QHash<ListItem*, qreal>& itemHeightCache) = 0;
    virtual bool useItemHeightCache() const = 0;
    virtual void setUseItemHeightCache(bool useItemHeightCache) = 0;
    virtual void cacheItemHeight(ListItem* item, qreal height) = 0;
    // The card's entry in the height cache, looked up without copying the cache.
    virtual std::optional<qreal> cachedItemHeight(ListItem* item) const = 0;
    // Inserts a new stage column at `at`, or, with `removing`, takes the removal path.
    virtual void insertNewSection(int at, bool removing) = 0;
    virtual void deleteSelectedSections() = 0;
    // Marks the open cards done and the done cards open.
    virtual void flipDoneStatesOf(const QList<ListItem*>& items) = 0;
    // The column controller whose `specifiedSection` is `section`; null when none is.
    virtual KanbanColumnController* controllerFor(int section) const = 0;
    // Moves the stage columns at `indexes` (ascending) to `to` in the board's column order as
    // one undoable step ("Re-arrange Sections") and lays the board out again.
    virtual void rearrangeSections(const QList<int>& indexes, int to) = 0;
    // Lays the board's columns out again in a short animation.
    virtual void animateLayoutChanges() = 0;

    // The board's clock: what its columns take as now when they decide which day is today.
    virtual QDateTime now() const { return QDateTime::currentDateTimeUtc(); }

    // Gives pasted cards the board's own tag objects: a card's tag named like one of the board's
    // is replaced by the board's (which goes to the end of the card's tags) and deleted once every
    // card has its replacement; the card's other tags join the board. Without a board the cards
    // keep their tags as they are. Saves the store afterwards.
    virtual void cleanUpTagsIn(const QList<ListItem*>& items);
    // The same for a given board, which need not be the one shown.
    static void cleanUpTags(Kanban* board, const QList<ListItem*>& items);

    // One step of dragging the column selection sideways by its header: `deltaX` is the
    // distance from where the drag began, `originatedColumn` the dragged column's section. The
    // selected columns move together, closed up beside the dragged one, within the stage
    // columns; the columns they pass make room.
    virtual void columnDragged(qreal deltaX, int originatedColumn);
    // The end of a drag: the selected stage columns move to the leftmost slot they reached, or,
    // when no column left its slot (or none is selected), the columns return to their slots.
    virtual void columnReleased(qreal deltaX, const std::optional<QHash<KanbanColumn*, int>>& originalColumnPositions);
    // How many slots the column of `section` is pushed by the selected columns that passed it
    // during a drag; 0 when none did.
    virtual int offsetForPushedColumns(int section) const;
};
