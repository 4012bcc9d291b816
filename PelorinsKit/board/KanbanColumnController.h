#pragma once

#include "Platform/core/IndexPath.h"

#include <QDateTime>
#include <QList>
#include <QSet>
#include <QString>
#include <optional>

class AttributedString;
class KanbanColumn;
class KanbanColumnDelegate;
class KanbanColumnListItemsMover;
class ListItem;
class UndoManager;

// The controller of one column on a board: a stage column, the done column (one section per
// day, newest first, today always leading) or, in the single-column layout, all of them (stage
// sections first, then the days).
//
// The pure virtual members are the column view's to answer. The others have the behaviour every
// column keeps: they turn the column's sections and rows into cards and back, filter cards by
// the board's tag filter and search text, and measure cards. They read the board afresh on
// every call and keep nothing; without a board (`kanbanColumnDelegate()` null) they answer
// empty, none, false or 0. Whatever filters cards is not const: filtering without an active
// filter makes the column forget the cards it added while filtering.
//
// Rows of a column, for a stage column with k shown cards: items 0 to k-1 are the cards, item k
// is the add-card cell (the section number is not consulted). For the done column alone:
// section s is the day distinctDoneDates()[s]; section 0 holds the empty placeholder cell at
// item 0 when it has no card. In the single-column layout, sections below the number of stage
// columns are those columns (each with its add-card cell), the later ones the days (no add-card
// or placeholder cell).
class KanbanColumnController
{
public:
    // The constants that place the column in the board's document: its horizontal offset, its
    // vertical offset and its width. Setting them moves the column.
    struct Margins
    {
        qreal left = 0;
        qreal top = 0;
        qreal width = 0;

        friend bool operator==(const Margins&, const Margins&) = default;
    };

    virtual ~KanbanColumnController() = default;

    // The column's section on the board: below the number of stage columns it is that stage
    // column, otherwise the done column.
    virtual int specifiedSection() const = 0;
    virtual void setSpecifiedSection(int specifiedSection) = 0;
    // Member of the board's column selection; setting it repaints the column's selection look.
    virtual bool isSelected() const = 0;
    virtual void setSelected(bool selected) = 0;
    // The board; null until the board sets itself.
    virtual KanbanColumnDelegate* kanbanColumnDelegate() const = 0;
    virtual void setKanbanColumnDelegate(KanbanColumnDelegate* kanbanColumnDelegate) = 0;
    // None until the column is placed in the board.
    virtual std::optional<Margins> margins() const = 0;
    virtual void setMargins(const std::optional<Margins>& margins) = 0;
    // The board slot the column's left edge sits on now.
    virtual int sectionPositionInDocument() const;
    // True in the single-column layout, where the column shows every stage column and every day.
    virtual bool showAllSections() const = 0;
    virtual void setShowAllSections(bool showAllSections) = 0;
    // The window's undo manager; null while the column has no window.
    virtual UndoManager* undoManager() const = 0;
    // Height of a card cell without its text (78).
    virtual qreal heightOfFixedItems() const = 0;
    // The mover the column made for itself.
    virtual KanbanColumnListItemsMover* itemsMover() const = 0;
    // Moves the column to its slot plus the board's offsetForPushedColumns() for it, animated
    // when its slot changes.
    virtual void updateColumnPosition() = 0;
    virtual void deselectAllItems() = 0;
    virtual void selectItems(const QSet<IndexPath>& at) = 0;
    virtual void reloadData() = 0;
    // Animated removal of the rows.
    virtual void deleteItems(const QSet<IndexPath>& at) = 0;
    // One animated batch update: reloads the placeholder row when it was shown, inserts the new
    // section when asked, else the rows at `pathsToSelect`; then selects the inserted rows
    // (keeping the earlier selection when asked) and scrolls them into view.
    virtual void animateInsertion(const QSet<IndexPath>& pathsToSelect, bool placeholderShown,
        const IndexPath& placeholderPath, bool newSection, int newSectionIndex, bool keepEarlierSelection,
        int numberOfCards)
        = 0;
    // One animated batch update deleting the sections and rows and, with `reload`, reloading the
    // row at `reloadPath` (it becomes the empty placeholder cell).
    virtual void animateRemoval(
        const QList<int>& sections, const QSet<IndexPath>& rows, bool reload, const IndexPath& reloadPath)
        = 0;
    virtual qreal lastClipViewOffset() const = 0;
    virtual void setLastClipViewOffset(qreal lastClipViewOffset) = 0;
    // Cards added while a tag filter or search is active: they stay shown although they may not
    // match.
    virtual QList<ListItem*> itemsAddedWhenInFilteredMode() const = 0;
    virtual void setItemsAddedWhenInFilteredMode(const QList<ListItem*>& items) = 0;
    // Lays the column out in the board; in the single-column layout `section` (or the board's
    // bookmarked column when `animated` is true) is the one shown at the top.
    virtual void updateColumnHeight(int section, bool animated) = 0;
    virtual void clearFilteredModeItems() = 0;
    // Removes the card's first occurrence from itemsAddedWhenInFilteredMode().
    virtual void removeFilteredModeItem(ListItem* item) = 0;
    virtual void addFilteredModeItems(const QList<ListItem*>& items) = 0;
    virtual qreal scrollViewHeight() const = 0;
    virtual qreal scrollViewWidth() const = 0;
    // Inner horizontal padding of a card's text (8).
    virtual qreal itemPadding() const = 0;
    // The day sections of the done column in display order: the board's day groups newest first
    // (under a filter only those that still show a card), with today put in front when no group
    // is today's. Never empty.
    virtual QList<QDateTime> distinctDoneDates();
    // True for the empty placeholder cell of the done column shown alone.
    virtual bool pathIsEmptyCell(const IndexPath& path);
    // Where the card is shown in this column; none when it is not shown here.
    virtual std::optional<IndexPath> indexPathFor(const ListItem* item);
    // The shown cards of a stage column, in order.
    virtual QList<ListItem*> filteredItemsFor(const KanbanColumn* column);
    // Places the column while it is dragged: at its slot plus `emptyColumnsGap` slots, shifted
    // by `deltaX`.
    virtual void moveColumn(qreal deltaX, int emptyColumnsGap);
    // The cards of the day group whose date is exactly `date` (the first such group), through
    // the board's filter when `filtered` is true.
    virtual QList<ListItem*> doneItemsOn(const QDateTime& date, bool filtered);
    // Rewrites the card counts of the visible section headers; none for all of them.
    virtual void updateSectionHeaders(const std::optional<QSet<IndexPath>>& paths) = 0;

    // Where the card sits among all day groups, unfiltered, with sections numbered as the done
    // column numbers them when shown alone. Movers record it for undo.
    std::optional<IndexPath> indexPathOfItemInDoneColumn(const ListItem* item) const;
    // The card shown at `path`; null for the add-card cell, the placeholder and empty rows.
    ListItem* itemFor(const IndexPath& path);
    // The wording of a card count in a section header: "empty", "1 card", "5 cards".
    QString numberAsCards(int number) const;
    // Height of the card's cell: the fixed part plus its first line, or its whole notes when
    // expanded, laid out at the unzoomed column width less the padding, all times the board's
    // magnification. The board's cache, when in use, holds the unzoomed heights.
    qreal heightForItem(ListItem* item) const;
    // The same for notes not yet written into the card, as an editor shows them (pictures
    // read); the cache gets this height.
    qreal heightForShownNotes(ListItem* item, const AttributedString& shownNotes) const;
    // The shown cards of a list, in its order: those matching the board's tag filter and search
    // text, plus the cards added while filtering (at their place in `items`), less the cards
    // marked for deletion. Without an active filter the column forgets its added cards.
    QList<ListItem*> filteredItemsFrom(const QList<ListItem*>& items);
    bool pathIsAddButton(const IndexPath& path);

private:
    qreal measureItem(ListItem* item, const AttributedString* shownNotes) const;
};
