#pragma once

#include "Pelorins/print/PrintSlice.h"
#include "Pelorins/print/PrintablePageBox.h"

#include <QList>
#include <QSizeF>
#include <optional>

class KanbanColumn;
class ListItem;

// What drawing a printed page needs of the preview that owns it.
class PrintablePageDelegate
{
public:
    virtual ~PrintablePageDelegate() = default;

    virtual QSizeF paperSize() const = 0;
    virtual QSizeF imageablePageBounds() const = 0;
    virtual double itemScale() const = 0;
    virtual bool repeatHeaders() const = 0;
    virtual const QList<QList<PrintablePageBox>>& pages() const = 0;
    virtual QList<KanbanColumn*> columnsOnPage(const PrintablePageBox& page) const = 0;
    // The card slices the page shows, in placing order.
    virtual QList<PrintSlice> slicesOnPage(const PrintablePageBox& page) const = 0;
    // The card's notes height at the printed width, as placing measured it; none without notes.
    virtual std::optional<double> notesHeightOf(ListItem* card) const = 0;
};
