#pragma once

#include "Platform/core/IndexPath.h"

#include <QSet>
#include <optional>

class ColumnCollectionView;
class KanbanColumnScrollview;
class MacKanbanColumnDelegate;

// What a column's list asks of its column while cards are dragged out of it.
class ColumnCollectionViewDragAndDropDelegate
{
public:
    virtual ~ColumnCollectionViewDragAndDropDelegate() = default;

    // The rows dragged out of this column; none while no drag started here.
    virtual std::optional<QSet<IndexPath>> draggingIndexPaths() const = 0;
    virtual void setDraggingIndexPaths(const std::optional<QSet<IndexPath>>& paths) = 0;
    virtual KanbanColumnScrollview* scrollView() const = 0;
    virtual ColumnCollectionView* collectionView() const = 0;
    // The board.
    virtual MacKanbanColumnDelegate* delegate() const = 0;
};
