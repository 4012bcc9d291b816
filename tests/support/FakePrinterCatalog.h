#pragma once

#include "Pelorins/print/PrinterCatalog.h"

// Printers a test makes up: each with its papers, its first paper and the margins it cannot
// print on. "Save as PDF" comes last, with the common papers and Letter first.
class FakePrinterCatalog : public PrinterCatalog
{
public:
    struct Printer
    {
        QString name;
        QList<QPageSize> papers;
        QPageSize defaultPaper;
        QMarginsF margins;
    };

    QList<Printer> printers;
    QString defaultPrinter;

    QStringList printerNames() const override
    {
        QStringList names;
        for (const Printer& printer : printers)
            names.append(printer.name);
        names.append(saveAsPdf);
        return names;
    }
    QString defaultPrinterName() const override { return defaultPrinter.isEmpty() ? saveAsPdf : defaultPrinter; }
    QList<QPageSize> papers(const QString& name) const override
    {
        if (isPdf(name))
            return commonPapers();
        const Printer* printer = find(name);
        return printer ? printer->papers : QList<QPageSize>();
    }
    QPageSize defaultPaper(const QString& name) const override
    {
        if (isPdf(name))
            return QPageSize(QPageSize::Letter);
        const Printer* printer = find(name);
        return printer ? printer->defaultPaper : QPageSize();
    }
    QMarginsF minimumMargins(const QString& name, const QPageSize&) const override
    {
        const Printer* printer = find(name);
        return printer ? printer->margins : QMarginsF();
    }

    void remove(const QString& name)
    {
        printers.removeIf([&](const Printer& printer) { return printer.name == name; });
    }

private:
    const Printer* find(const QString& name) const
    {
        for (const Printer& printer : printers)
            if (printer.name == name)
                return &printer;
        return nullptr;
    }
};
