#include "Pelorins/print/PrintablePageRenderer.h"

#include "Pelorins/print/PrintPreviewView.h"
#include "Pelorins/print/PrintableHeaderView.h"
#include "Pelorins/print/PrintableItemCellView.h"
#include "Pelorins/print/PrintedNotes.h"
#include "PelorinsKit/notes/NoteTextConventions.h"

#include <QPaintDevice>
#include <QPainter>
#include <QPicture>
#include <QThread>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>

namespace {

constexpr int cellViewPoolSize = 48;
// Pages whose notes are laid out ahead of the page being written: enough to keep the threads
// busy, few enough to keep little in memory.
constexpr int pagesAhead = 6;

} // namespace

PrintablePageRenderer::PrintablePageRenderer(const PrintablePageDelegate& delegate)
    : m_delegate(delegate)
    , m_headerView(std::make_unique<PrintableHeaderView>())
{
    m_layoutThreads.setMaxThreadCount(std::max(1, QThread::idealThreadCount() - 1));
    m_layoutThreads.setExpiryTimeout(-1);
}

PrintablePageRenderer::~PrintablePageRenderer()
{
    forgetAll();
}

void PrintablePageRenderer::render(QPainter& painter, const PrintablePageBox& page, bool inPreview)
{
    painter.save();
    const QRectF sheet(QPointF(0, 0), m_delegate.paperSize());
    if (inPreview) {
        painter.fillRect(sheet.translated(0, 1).adjusted(-1, 0, 1, 1), QColor(0, 0, 0, 40));
        painter.fillRect(sheet, Qt::white);
        painter.setPen(QPen(QColor(0xc8, 0xc8, 0xc8), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(sheet.adjusted(0.5, 0.5, -0.5, -0.5));
    } else {
        painter.fillRect(sheet, Qt::white);
    }
    painter.translate(page.printableRect.topLeft());
    const bool forPaper = painter.device()->devType() == QInternal::Printer;
    if (forPaper)
        layOutAhead(page);
    if (page.showsHeaderBand())
        drawHeaders(painter, page);
    drawSlices(painter, page, forPaper);
    QFont label = systemFontOfSize(labelFontSize, QFont::Normal);
    painter.setFont(label);
    painter.setPen(Qt::black);
    const QRectF printable = page.printableRect;
    painter.drawText(QRectF(0, printable.height() - PrintPreviewView::footerHeight, printable.width(),
                         PrintPreviewView::footerHeight),
        Qt::AlignCenter, page.label);
    painter.restore();
}

void PrintablePageRenderer::renderWidget(QPainter& painter, QWidget& widget, QPoint offset, const QRegion& source)
{
    if (painter.device()->devType() != QInternal::Printer) {
        widget.render(&painter, offset, source, QWidget::DrawChildren);
        return;
    }
    QPicture commands;
    QPainter recorder(&commands);
    widget.render(&recorder, offset, source, QWidget::DrawChildren);
    recorder.end();
    // A picture plays back scaled from its resolution to the device's; the page is in points.
    painter.save();
    painter.scale(qreal(commands.logicalDpiX()) / painter.device()->logicalDpiX(),
        qreal(commands.logicalDpiY()) / painter.device()->logicalDpiY());
    painter.drawPicture(0, 0, commands);
    painter.restore();
}

void PrintablePageRenderer::forget(ListItem* card)
{
    stopLayingOut(card);
    delete m_cellViews.take(card);
    m_cellViewOrder.removeOne(card);
    m_laidOutElsewhere.remove(card);
}

void PrintablePageRenderer::forgetAll()
{
    for (ListItem* card : m_layingOut.keys())
        stopLayingOut(card);
    qDeleteAll(m_cellViews);
    m_cellViews.clear();
    m_cellViewOrder.clear();
    m_laidOutElsewhere.clear();
}

bool PrintablePageRenderer::LayingOut::begunThere() const
{
    Layer none = Layer::None;
    return !layer->compare_exchange_strong(none, Layer::Here) && none == Layer::There;
}

void PrintablePageRenderer::stopLayingOut(ListItem* card)
{
    auto found = m_layingOut.find(card);
    if (found == m_layingOut.end())
        return;
    // A layout begun there ends before it goes, on this thread, which it was moved to.
    if (found->begunThere())
        found->notes.waitForFinished();
    m_layingOut.erase(found);
}

QList<double> PrintablePageRenderer::lineBottoms(ListItem* card)
{
    return cellView(card, false).lineBottoms();
}

void PrintablePageRenderer::layOutAhead(const PrintablePageBox& page)
{
    const QList<QList<PrintablePageBox>>& pages = m_delegate.pages();
    int strip = page.strip;
    int row = page.row;
    for (int ahead = 0; ahead <= pagesAhead && strip >= 0 && strip < pages.size(); ++ahead) {
        if (row >= pages.at(strip).size()) {
            // Pages are numbered strip by strip.
            ++strip;
            row = 0;
            continue;
        }
        for (const PrintSlice& slice : m_delegate.slicesOnPage(pages.at(strip).at(row))) {
            ListItem* card = slice.card;
            if (m_cellViews.contains(card) || m_layingOut.contains(card)
                || !(m_delegate.notesHeightOf(card).value_or(0) > 0))
                continue;
            std::optional<PrintableItemCellView::NotesSource> source = PrintableItemCellView::notesSource(card);
            if (!source)
                continue;
            // Pictures decoded there too, for the page's zoom: a page is drawn in points.
            QThread* here = QThread::currentThread();
            const double zoom = m_delegate.itemScale();
            auto layer = std::make_shared<std::atomic<Layer>>(Layer::None);
            QFuture<std::shared_ptr<const PrintedNotes>> notes = QtConcurrent::run(&m_layoutThreads,
                [source = std::move(*source), here, zoom, layer]() -> std::shared_ptr<const PrintedNotes> {
                    Layer none = Layer::None;
                    if (!layer->compare_exchange_strong(none, Layer::There))
                        return nullptr;
                    return PrintableItemCellView::layOutNotes(source, here, zoom);
                });
            m_layingOut.insert(card, {notes, layer});
        }
        ++row;
    }
}

void PrintablePageRenderer::drawHeaders(QPainter& painter, const PrintablePageBox& page)
{
    const double scale = m_delegate.itemScale();
    painter.save();
    painter.setClipRect(page.headerRect, Qt::IntersectClip);
    for (qsizetype p = 0; p < page.headerColumns.size(); ++p) {
        m_headerView->setColumn(page.headerColumns.at(p));
        painter.save();
        painter.translate(PrintPreviewView::columnWidth * scale * double(p), 0);
        painter.scale(scale, scale);
        renderWidget(painter, *m_headerView, QPoint(), QRegion());
        painter.restore();
    }
    painter.restore();
}

void PrintablePageRenderer::drawSlices(QPainter& painter, const PrintablePageBox& page, bool forPaper)
{
    const double scale = m_delegate.itemScale();
    const QRectF content = page.contentRect;
    painter.save();
    painter.setClipRect(content, Qt::IntersectClip);
    for (const PrintSlice& slice : m_delegate.slicesOnPage(page)) {
        PrintableItemCellView& card = cellView(slice.card, forPaper);
        // Only the slice's part of the card is drawn, so a long card's other pages cost nothing
        // here and each of its lines is on one page only.
        const double top = slice.top / scale;
        const double bottom = std::min(slice.bottom / scale, double(card.height()));
        if (!(bottom > top))
            continue;
        painter.save();
        painter.translate(content.topLeft() + QPointF(slice.x, slice.offset));
        painter.scale(scale, scale);
        card.print(painter, top, bottom);
        painter.restore();
    }
    painter.restore();
}

PrintableItemCellView& PrintablePageRenderer::cellView(ListItem* card, bool forPaper)
{
    if (PrintableItemCellView* kept = m_cellViews.value(card)) {
        if (!forPaper && m_laidOutElsewhere.remove(card))
            kept->configure();
        return *kept;
    }
    // The card drawn longest ago gives its view to this one: a view is made only while the pool
    // fills, which is most of the cost of a card drawn once.
    PrintableItemCellView* view = nullptr;
    if (m_cellViewOrder.size() >= cellViewPoolSize) {
        ListItem* oldest = m_cellViewOrder.takeFirst();
        view = m_cellViews.take(oldest);
        m_laidOutElsewhere.remove(oldest);
    } else {
        view = new PrintableItemCellView;
    }
    std::shared_ptr<const PrintedNotes> notes;
    if (forPaper) {
        // Notes whose layout has not begun yet are laid out here instead.
        auto laidOut = m_layingOut.find(card);
        if (laidOut != m_layingOut.end() && laidOut->begunThere()) {
            notes = laidOut->notes.result();
            m_laidOutElsewhere.insert(card);
        }
    }
    stopLayingOut(card);
    view->setObjectValue(card, m_delegate.notesHeightOf(card));
    view->configure(std::move(notes));
    m_cellViews.insert(card, view);
    m_cellViewOrder.append(card);
    return *view;
}
