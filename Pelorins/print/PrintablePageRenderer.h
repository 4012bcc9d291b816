#pragma once

#include "Pelorins/print/PrintablePageBox.h"

#include <QFuture>
#include <QHash>
#include <QList>
#include <QSet>
#include <QThreadPool>
#include <atomic>
#include <memory>

class ListItem;
class PrintableHeaderView;
class PrintableItemCellView;
class PrintablePageDelegate;
class PrintedNotes;
class QPainter;
class QPoint;
class QRegion;
class QWidget;

// Draws one printed page, the same way for the preview, the printer and pictures of pages: the
// sheet, the band of stage headers on a strip's top page, the card slices clipped to the content
// area and "Page n" in the footer. Cards are drawn by a few printable cards kept for the cards
// drawn last, so a page drawn again configures nothing.
class PrintablePageRenderer
{
public:
    static constexpr int labelFontSize = 13;

    explicit PrintablePageRenderer(const PrintablePageDelegate& delegate);
    ~PrintablePageRenderer();

    // In points, the page's top left corner at the painter's origin. The border and shadow of
    // the sheet are drawn in the preview only.
    void render(QPainter& painter, const PrintablePageBox& page, bool inPreview);
    // The card changed: it is configured again when drawn next.
    void forget(ListItem* card);
    // Lets go of every card, as when the board's store goes.
    void forgetAll();
    // The bottoms of the lines of the card's notes as printed, from the card's top, before
    // scaling.
    QList<double> lineBottoms(ListItem* card);

    // Draws the widget's `source` with the painter. Qt draws a widget for a printer through a
    // picture of pixels; recorded as drawing commands first, its text stays text on paper and in
    // PDF files.
    static void renderWidget(QPainter& painter, QWidget& widget, QPoint offset, const QRegion& source);

private:
    // A card for paper may take notes laid out on another thread; a card for the screen is laid
    // out on this one, since drawing to the screen keeps pictures of glyphs in the fonts the
    // layout used.
    PrintableItemCellView& cellView(ListItem* card, bool forPaper);
    void drawHeaders(QPainter& painter, const PrintablePageBox& page);
    void drawSlices(QPainter& painter, const PrintablePageBox& page, bool forPaper);
    // Starts laying out the notes of the cards of this page and of the few after it.
    void layOutAhead(const PrintablePageBox& page);
    void stopLayingOut(ListItem* card);

    // Declared first to go last: layouts made on its threads point into the fonts those threads
    // keep, so its threads outlast every layout and never expire.
    QThreadPool m_layoutThreads;
    const PrintablePageDelegate& m_delegate;
    std::unique_ptr<PrintableHeaderView> m_headerView;
    QHash<ListItem*, PrintableItemCellView*> m_cellViews;
    // Oldest first; the pool stays small.
    QList<ListItem*> m_cellViewOrder;
    // Notes laid out on another thread. Whichever thread begins first lays them out, so that a
    // busy machine never keeps a page waiting for a layout not yet begun.
    enum class Layer { None, There, Here };
    struct LayingOut
    {
        QFuture<std::shared_ptr<const PrintedNotes>> notes;
        std::shared_ptr<std::atomic<Layer>> layer;
        // Takes the layout for this thread, unless it is begun there already.
        bool begunThere() const;
    };
    QHash<ListItem*, LayingOut> m_layingOut;
    // Cards configured with notes laid out on another thread.
    QSet<ListItem*> m_laidOutElsewhere;
};
