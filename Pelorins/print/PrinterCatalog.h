#pragma once

#include <QList>
#include <QMarginsF>
#include <QPageSize>
#include <QString>
#include <QStringList>

// The printers of the machine and what each offers. "Save as PDF" is always there, last: it
// writes a file and has no margins of its own.
class PrinterCatalog
{
public:
    static const QString saveAsPdf;

    virtual ~PrinterCatalog() = default;

    // The system's printers in its order, then "Save as PDF".
    virtual QStringList printerNames() const = 0;
    // The system's default printer, or "Save as PDF" without one.
    virtual QString defaultPrinterName() const = 0;
    // The papers of a printer; none for a printer that is not there.
    virtual QList<QPageSize> papers(const QString& printer) const = 0;
    // The paper a printer starts with; invalid when it names none.
    virtual QPageSize defaultPaper(const QString& printer) const = 0;
    // The edges of `paper` the printer cannot print on, in points, portrait.
    virtual QMarginsF minimumMargins(const QString& printer, const QPageSize& paper) const = 0;

    bool hasPrinter(const QString& printer) const { return printerNames().contains(printer); }
    static bool isPdf(const QString& printer) { return printer == saveAsPdf; }
    // What "Save as PDF" offers: the common sizes.
    static QList<QPageSize> commonPapers();
};
