#include "Pelorins/print/PrintInfo.h"

#include "Pelorins/print/QtPrinterCatalog.h"

PrintInfo::PrintInfo(const PrinterCatalog& catalog)
    : m_catalog(catalog)
    , m_printerName(catalog.defaultPrinterName())
{
    QPageSize paper = catalog.defaultPaper(m_printerName);
    if (!paper.isValid())
        paper = catalog.defaultPaper(PrinterCatalog::saveAsPdf);
    setPaper(paper);
}

PrintInfo& PrintInfo::shared()
{
    static const QtPrinterCatalog catalog;
    static PrintInfo info(catalog);
    return info;
}

void PrintInfo::setPrinterName(const QString& name)
{
    m_printerName = name;
    readMinimumMargins();
}

void PrintInfo::setPaper(const QPageSize& paper)
{
    m_paper = paper;
    readMinimumMargins();
}

void PrintInfo::readMinimumMargins()
{
    m_minimumMargins = m_paper.isValid() ? m_catalog.minimumMargins(m_printerName, m_paper) : QMarginsF();
}

QSizeF PrintInfo::paperSize() const
{
    const QSizeF portrait = m_paper.isValid() ? m_paper.size(QPageSize::Point) : QSizeF();
    return m_orientation == QPageLayout::Landscape ? portrait.transposed() : portrait;
}

QRectF PrintInfo::imageablePageBounds() const
{
    QMarginsF edges = m_minimumMargins;
    // The long edges' margins turn with the paper.
    if (m_orientation == QPageLayout::Landscape)
        edges = QMarginsF(edges.top(), edges.right(), edges.bottom(), edges.left());
    const QRectF paper(QPointF(0, 0), paperSize());
    const QRectF bounds = paper.marginsRemoved(edges);
    return bounds.isValid() ? bounds : QRectF(paper.topLeft(), QSizeF(0, 0));
}
