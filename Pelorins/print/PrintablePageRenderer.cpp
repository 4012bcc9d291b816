#include "Pelorins/print/PrintablePageRenderer.h"

#include "Pelorins/print/PrintPreviewView.h"
#include "Pelorins/print/PrintableHeaderView.h"
#include "Pelorins/print/PrintableItemCellView.h"
#include "PelorinsKit/notes/NoteTextConventions.h"

#include <QPaintDevice>
#include <QPainter>
#include <QPicture>
#include <algorithm>

namespace {

constexpr int cellViewPoolSize = 48;

} // namespace

PrintablePageRenderer::PrintablePageRenderer(const PrintablePageDelegate& delegate)
    : m_delegate(delegate)
    , m_headerView(std::make_unique<PrintableHeaderView>())
{
}

PrintablePageRenderer::~PrintablePageRenderer()
{
    qDeleteAll(m_cellViews);
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
    if (page.showsHeaderBand())
        drawHeaders(painter, page);
    drawSlices(painter, page);
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
    delete m_cellViews.take(card);
    m_cellViewOrder.removeOne(card);
}

void PrintablePageRenderer::forgetAll()
{
    qDeleteAll(m_cellViews);
    m_cellViews.clear();
    m_cellViewOrder.clear();
}

QList<double> PrintablePageRenderer::lineBottoms(ListItem* card)
{
    return cellView(card).lineBottoms();
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

void PrintablePageRenderer::drawSlices(QPainter& painter, const PrintablePageBox& page)
{
    const double scale = m_delegate.itemScale();
    const QRectF content = page.contentRect;
    painter.save();
    painter.setClipRect(content, Qt::IntersectClip);
    for (const PrintSlice& slice : m_delegate.slicesOnPage(page)) {
        PrintableItemCellView& card = cellView(slice.card);
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

PrintableItemCellView& PrintablePageRenderer::cellView(ListItem* card)
{
    if (PrintableItemCellView* kept = m_cellViews.value(card))
        return *kept;
    // The card drawn longest ago gives its view to this one: a view is made only while the pool
    // fills, which is most of the cost of a card drawn once.
    PrintableItemCellView* view = nullptr;
    if (m_cellViewOrder.size() >= cellViewPoolSize) {
        view = m_cellViews.take(m_cellViewOrder.takeFirst());
    } else {
        view = new PrintableItemCellView;
    }
    view->setObjectValue(card, m_delegate.notesHeightOf(card));
    view->configure();
    m_cellViews.insert(card, view);
    m_cellViewOrder.append(card);
    return *view;
}
