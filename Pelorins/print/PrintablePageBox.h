#pragma once

#include <QList>
#include <QRectF>
#include <QString>

class KanbanColumn;

// One printed page of the preview's grid, as a record: where it sits and what frames it. Rects
// are in points; `frame` on the preview's canvas, `printableRect` in the page, `contentRect` and
// `headerRect` in the printable rect.
struct PrintablePageBox
{
    int strip = 0;
    int row = 0;
    QRectF frame;
    QRectF printableRect;
    QRectF contentRect;
    // Empty on a page without the header band.
    QRectF headerRect;
    // The stages whose headers the band shows, left to right.
    QList<KanbanColumn*> headerColumns;
    // "Page n".
    QString label;

    bool showsHeaderBand() const { return !headerRect.isEmpty(); }
    bool operator==(const PrintablePageBox&) const = default;
};
