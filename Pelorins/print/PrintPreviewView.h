#pragma once

#include "Pelorins/print/PrintablePageDelegate.h"

#include <QHash>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

class Kanban;
class KanbanColumn;
class ListItem;
class ManagedObject;
class PrintInfo;
class PrintablePageRenderer;
class QPainter;
struct KeyChange;

// Lays a board's stages out on paper-sized pages: stages side by side in vertical strips of
// pages, each card below the one before, a card too tall for the rest of a page moved to the
// next one or cut into slices across pages. It draws the grid, zoomed, as the print preview, and
// hands single pages to the print job. Pages and slices are records; cards are drawn by one
// renderer for the preview and for paper alike.
class PrintPreviewView : public QWidget, public PrintablePageDelegate
{
    Q_OBJECT

public:
    static constexpr double canvasPadding = 10;
    static constexpr double pageSpacing = 10;
    // A stage's width on paper before scaling.
    static constexpr double columnWidth = 300;
    static constexpr double cellPadding = 8;
    static constexpr double headerHeight = 40;
    // Holds the page label; never scaled.
    static constexpr double footerHeight = 20;
    // What a card adds to its notes on paper, the gap to the next card included.
    static constexpr double heightOfFixedItems = 78;
    // Notes are measured and printed at the card's width on the board.
    static constexpr double printedCardWidth = 284;
    static const QString paperTooSmallMessage;

    // The notes height of a card at the printed width, or none for a card without notes. Without
    // one, notes are measured at the printed width.
    using HeightMeasure = std::function<std::optional<double>(ListItem* card)>;

    struct Position
    {
        int strip = 0;
        int page = 0;
        double x = 0;
        double y = 0;
        bool operator==(const Position&) const = default;
    };

    explicit PrintPreviewView(PrintInfo& printInfo, QWidget* parent = nullptr);
    ~PrintPreviewView() override;

    Kanban* kanban() const { return m_kanban; }
    // The board to print; buildPages() lays it out. Its stages and cards are followed from then.
    void setKanban(Kanban* kanban);
    void setItemScale(double scale) { m_itemScale = scale; }
    void setRepeatHeaders(bool repeat) { m_repeatHeaders = repeat; }
    void setHeightMeasure(HeightMeasure measure);

    // Lays every card of the board out afresh.
    void buildPages();
    // After a scale change.
    void layoutPages();
    // After a paper or orientation change: the pages take the new size and the cards are placed
    // again, since the room on a page may have changed.
    void updatePageFrames();
    void printInfoChanged();

    void placeCard(ListItem* card);
    // Where the card's first slice lies: its strip, page and place in the content area.
    Position position(ListItem* card) const;
    void addPage(int strip);

    // Every slice, in placing order.
    QList<PrintSlice> cellViewsOnPage() const;
    QList<PrintSlice> slicesOf(ListItem* card) const;

    // The height left for cards on every page; not positive when the paper is too small.
    double pageCapacity() const;
    bool canPaginate() const { return pageCapacity() > 0; }
    QRectF printableRect() const;
    int pageCount() const;
    // The print system's questions: pages 1 to pageCount(), and the canvas rect of page p.
    bool knowsPageRange(int& location, int& length) const;
    QRectF rectForPage(int pageNumber) const;
    // The page numbered p (from 1), or none.
    const PrintablePageBox* page(int pageNumber) const;
    QSizeF canvasSize() const;

    // Draws one page with its top left corner at the painter's origin, in points; the sheet's
    // border and shadow only in the preview.
    void renderPage(QPainter& painter, const PrintablePageBox& page, bool inPreview) const;

    double magnification() const { return m_magnification; }
    void setMagnification(double magnification);

    // PrintablePageDelegate
    QSizeF paperSize() const override { return m_paperSize; }
    QSizeF imageablePageBounds() const override { return m_imageablePageBounds; }
    double itemScale() const override { return m_itemScale; }
    bool repeatHeaders() const override { return m_repeatHeaders; }
    const QList<QList<PrintablePageBox>>& pages() const override { return m_pages; }
    QList<KanbanColumn*> columnsOnPage(const PrintablePageBox& page) const override;
    QList<PrintSlice> slicesOnPage(const PrintablePageBox& page) const override;
    std::optional<double> notesHeightOf(ListItem* card) const override { return notesHeight(card); }

signals:
    // The grid was laid out again.
    void pagesChanged();
    // A pinch or Ctrl+wheel zoom is over.
    void magnificationEnded();

protected:
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    bool event(QEvent* event) override;

private:
    struct Placement
    {
        Position position;
        double height = 0;
        // Where each slice starts on the card, in points on paper; one slice at 0 for a card
        // that fits a page.
        QList<double> sliceTops {0};
    };
    // Reads the paper and the imageable size from the print info.
    void readPrintInfo();
    QList<KanbanColumn*> stages() const;
    QList<ListItem*> printedCards(KanbanColumn* stage) const;
    // The stage's strip and left edge.
    std::pair<int, double> stagePlace(int stageIndex) const;
    int stagesPerStrip() const;
    // Walks a stage's cards from the top, placing each below the one before; stops after `until`.
    void walkStage(KanbanColumn* stage, ListItem* until, const std::function<void(ListItem*, Placement)>& visit) const;
    std::optional<double> notesHeight(ListItem* card) const;
    // Measures the notes of every card to print that has no height yet, on several threads at
    // once; an injected measure is left to run card by card.
    void measureCards();
    double cardHeight(ListItem* card) const;
    // The card's slices, from the card's top: the first at 0, each next where the one before
    // ends, below the last line of the card that fits the page. The last entry starts the page
    // the card ends on, with less than a page's room of the card left.
    QList<double> sliceTops(ListItem* card, double height, double capacity) const;
    void placeSlices(ListItem* card, const Placement& placement);
    void updatePage(PrintablePageBox& page, int number) const;
    void finishLayout();
    void clearGrid();
    void boardObjectChanged(ManagedObject* object, const KeyChange& change);
    void scheduleRebuild();
    void zoomBy(double factor);

    PrintInfo& m_printInfo;
    QPointer<QObject> m_contextConnection;
    Kanban* m_kanban = nullptr;
    double m_itemScale = 0.75;
    bool m_repeatHeaders = false;
    QSizeF m_paperSize;
    QSizeF m_imageablePageBounds;
    QList<QList<PrintablePageBox>> m_pages;
    // Cards in placing order, and their slices.
    QList<ListItem*> m_placedCards;
    QHash<ListItem*, QList<PrintSlice>> m_slices;
    // The slices of each page, [strip][row], in placing order; made again after a placement.
    mutable QList<QList<QList<PrintSlice>>> m_slicesByPage;
    mutable bool m_slicesByPageValid = false;
    mutable QHash<ListItem*, std::optional<double>> m_cachedItemHeights;
    // Where a page may end on a card taller than a page, unscaled, measured once.
    mutable QHash<ListItem*, QList<double>> m_cachedLineBottoms;
    HeightMeasure m_measure;
    std::unique_ptr<PrintablePageRenderer> m_renderer;
    double m_magnification = 1.0;
    bool m_rebuildPending = false;
};
