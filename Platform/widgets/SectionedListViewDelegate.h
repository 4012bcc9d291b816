#pragma once

#include "Platform/core/IndexPath.h"

#include <QPoint>
#include <QSet>

// Reacts to what the user does in a SectionedListView. Every hook has a neutral default.
class SectionedListViewDelegate
{
public:
    virtual ~SectionedListViewDelegate() = 0;

    // The paths the user's click proposes to select; the answer is what gets selected, so a
    // delegate can drop paths (veto) or add some (extend).
    virtual QSet<IndexPath> shouldSelectItems(const QSet<IndexPath>& proposed) { return proposed; }
    virtual QSet<IndexPath> shouldDeselectItems(const QSet<IndexPath>& proposed) { return proposed; }
    virtual void didSelectItems(const QSet<IndexPath>& paths) { Q_UNUSED(paths) }
    virtual void didDeselectItems(const QSet<IndexPath>& paths) { Q_UNUSED(paths) }

    // A plain click on an item: pressed and released on it without Shift or Control and without
    // moving far enough to drag it. `viewportPoint` is where it was released.
    virtual void itemClicked(const IndexPath& path, const QPoint& viewportPoint)
    {
        Q_UNUSED(path)
        Q_UNUSED(viewportPoint)
    }

    // A section's header was placed with its top at `top` in content coordinates (after pinning).
    virtual void headerPlaced(int section, int top)
    {
        Q_UNUSED(section)
        Q_UNUSED(top)
    }
};
