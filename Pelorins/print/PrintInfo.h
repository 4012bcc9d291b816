#pragma once

#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QRectF>
#include <QSizeF>
#include <QString>

class PrinterCatalog;

// The print settings the whole program shares: printer, paper, orientation, margins and
// pagination. The set-up pane writes them, the preview and the print job read them. Sizes are
// in points and in the chosen orientation.
class PrintInfo
{
public:
    // The catalog's default printer with its default paper, portrait.
    explicit PrintInfo(const PrinterCatalog& catalog);

    // The program's one instance, over the system's printers; it lives for the run.
    static PrintInfo& shared();

    const PrinterCatalog& catalog() const { return m_catalog; }

    QString printerName() const { return m_printerName; }
    // Another printer; the paper stays as it is until one is chosen.
    void setPrinterName(const QString& name);
    QPageSize paper() const { return m_paper; }
    // The paper's key, as the printer names it.
    QString paperName() const { return m_paper.key(); }
    void setPaper(const QPageSize& paper);
    QPageLayout::Orientation orientation() const { return m_orientation; }
    void setOrientation(QPageLayout::Orientation orientation) { m_orientation = orientation; }
    QMarginsF margins() const { return m_margins; }
    void setMargins(const QMarginsF& margins) { m_margins = margins; }
    bool automaticPagination() const { return m_automaticPagination; }
    void setAutomaticPagination(bool automatic) { m_automaticPagination = automatic; }

    // Landscape swaps width and height.
    QSizeF paperSize() const;
    // The paper less the edges the printer cannot reach.
    QRectF imageablePageBounds() const;

private:
    void readMinimumMargins();

    const PrinterCatalog& m_catalog;
    QString m_printerName;
    QPageSize m_paper;
    QPageLayout::Orientation m_orientation = QPageLayout::Portrait;
    QMarginsF m_margins;
    QMarginsF m_minimumMargins;
    bool m_automaticPagination = true;
};
