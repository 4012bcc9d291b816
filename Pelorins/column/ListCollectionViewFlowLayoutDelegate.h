#pragma once

#include "Platform/core/IndexPath.h"

#include <QSet>
#include <optional>

class ListItem;

// What a column's flow layout asks of its column: the drag under way and the heights of the
// dragged cards, to open the drop gap; and where each section header is, to colour it.
class ListCollectionViewFlowLayoutDelegate
{
public:
    virtual ~ListCollectionViewFlowLayoutDelegate() = default;

    // The rows dragged out of this column; none when the drag started elsewhere.
    virtual std::optional<QSet<IndexPath>> draggingIndexPaths() const = 0;
    // The row under the pointer when the drag started in this column.
    virtual std::optional<IndexPath> dragOriginatedPath() const = 0;
    virtual ListItem* itemFor(const IndexPath& path) = 0;
    virtual qreal heightForItem(ListItem* item) const = 0;
    // The summed height of the cards being dragged, from whichever column they come.
    virtual qreal draggedItemsHeight() = 0;
    // The section header at `path` has its top at `offset` in the list's content.
    virtual void headerTextColourChanged(const IndexPath& path, qreal offset) = 0;
};
