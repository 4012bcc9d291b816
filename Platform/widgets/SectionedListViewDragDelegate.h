#pragma once

#include "Platform/core/IndexPath.h"

#include <QList>
#include <QPixmap>
#include <QSet>
#include <Qt>

class QMimeData;
class SectionedListView;

// Drag and drop of items: the list asks its drag delegate what to put on the drag, and, as a
// drop target, proposes the index path under the pointer for the delegate to correct, accept or
// refuse.
class SectionedListViewDragDelegate
{
public:
    enum class DropOperation {
        On, // onto the item at the path
        Before, // between items, before the path
    };

    struct DropProposal
    {
        IndexPath path;
        DropOperation operation = DropOperation::Before;
    };

    virtual ~SectionedListViewDragDelegate() = default;

    // The data for dragging the items at `paths` (ascending); none refuses the drag.
    virtual QMimeData* mimeDataForItems(SectionedListView* view, const QList<IndexPath>& paths) = 0;
    // `pressedPath` is the item under the pointer where the drag started.
    virtual void dragWillBegin(SectionedListView* view, const QSet<IndexPath>& paths, const IndexPath& pressedPath)
    {
        Q_UNUSED(view)
        Q_UNUSED(paths)
        Q_UNUSED(pressedPath)
    }
    // The picture the pointer carries for the whole drag; a null one shows the pressed item as it
    // is on screen.
    virtual QPixmap dragPixmap(SectionedListView* view, const QList<IndexPath>& paths, const IndexPath& pressedPath)
    {
        Q_UNUSED(view)
        Q_UNUSED(paths)
        Q_UNUSED(pressedPath)
        return {};
    }
    // The drag started in `view` has ended; IgnoreAction when nobody took it.
    virtual void dragEnded(SectionedListView* view, Qt::DropAction action)
    {
        Q_UNUSED(view)
        Q_UNUSED(action)
    }

    // May correct the proposed path and operation; IgnoreAction refuses the drop here.
    virtual Qt::DropAction validateDrop(
        SectionedListView* view, const QMimeData* data, IndexPath& proposedPath, DropOperation& operation)
        = 0;
    // `source` is the list the drag came from, or none for a drag from elsewhere.
    virtual bool acceptDrop(SectionedListView* view, const QMimeData* data, const IndexPath& path,
        DropOperation operation, SectionedListView* source)
        = 0;
    virtual void dragExited(SectionedListView* view) { Q_UNUSED(view) }
};
