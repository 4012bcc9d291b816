#pragma once

#include "Platform/core/IndexPath.h"

#include <QColor>
#include <optional>

class ListItem;
class CardBoard;

// What a card view asks of the column that hosts it.
class ListItemCellDelegate
{
public:
    virtual ~ListItemCellDelegate() = default;

    // The column's board, which the card's check button hands the card to.
    virtual CardBoard* delegate() const = 0;
    // Makes the card the board's only selected card (its notes editor took the focus).
    virtual void selectItem(ListItem* item) = 0;
    // The card's height changed while it was edited: its cached height is stale.
    virtual void itemHeightChanged(ListItem* item, bool skipLayout) = 0;
    // Where the column shows the card; none when it does not show it.
    virtual std::optional<IndexPath> indexPathFor(const ListItem* item) = 0;
    // Adds a new card at `at` ("Add Card"), its notes ready for typing.
    virtual void addNewItem(const IndexPath& at) = 0;
    // Whether a card can be added at `at`: only in a stage, never among the done cards.
    virtual bool canAddNewItem(const IndexPath& at) const = 0;
    // Deletes the column's selected cards, undoably, and saves.
    virtual void deleteSelectedItems() = 0;
    // What the column shows behind its cards, as one opaque colour: the card's text is made to
    // stand out from it.
    virtual QColor colourBehindItems() const = 0;
};
