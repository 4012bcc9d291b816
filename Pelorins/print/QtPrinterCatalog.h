#pragma once

#include "Pelorins/print/PrinterCatalog.h"

// The printers Qt finds (CUPS where it runs), plus "Save as PDF".
class QtPrinterCatalog : public PrinterCatalog
{
public:
    QStringList printerNames() const override;
    QString defaultPrinterName() const override;
    QList<QPageSize> papers(const QString& printer) const override;
    QPageSize defaultPaper(const QString& printer) const override;
    QMarginsF minimumMargins(const QString& printer, const QPageSize& paper) const override;
};
