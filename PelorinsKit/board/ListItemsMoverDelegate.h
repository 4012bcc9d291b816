#pragma once

#include "PelorinsKit/board/KanbanColumnController.h"

#include <QDateTime>
#include <QHash>
#include <QList>

class ListItem;

// What a column's card mover needs from its column beyond the column protocol: the done
// column's per-day card cache and the rows its list shows.
class ListItemsMoverDelegate : public KanbanColumnController
{
public:
    // Whether the column keeps the cards of each day in doneItemsOnDateCached().
    virtual bool useDoneItemsOnDateCache() const = 0;
    virtual QHash<QDateTime, QList<ListItem*>> doneItemsOnDateCached() const = 0;
    virtual void setDoneItemsOnDateCached(const QHash<QDateTime, QList<ListItem*>>& doneItemsOnDateCached) = 0;
    // Drops the column's cached list of day sections.
    virtual void clearDistinctDoneDatesCache() = 0;
    // The rows the column's list shows in `inSection`, add-card and placeholder rows included.
    virtual int numberOfItems(int inSection) = 0;
    // Moves one row of the column's list.
    virtual void moveItem(const IndexPath& at, const IndexPath& to) = 0;
};
