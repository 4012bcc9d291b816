#include "Pelorins/print/QtPrinterCatalog.h"

#include <QLocale>
#include <QPrinter>
#include <QPrinterInfo>

namespace {

QPageSize pdfDefaultPaper()
{
    return QPageSize(
        QLocale::system().measurementSystem() == QLocale::ImperialUSSystem ? QPageSize::Letter : QPageSize::A4);
}

} // namespace

QStringList QtPrinterCatalog::printerNames() const
{
    QStringList names = QPrinterInfo::availablePrinterNames();
    names.removeAll(saveAsPdf);
    names.append(saveAsPdf);
    return names;
}

QString QtPrinterCatalog::defaultPrinterName() const
{
    const QString name = QPrinterInfo::defaultPrinterName();
    return name.isEmpty() || !printerNames().contains(name) ? saveAsPdf : name;
}

QList<QPageSize> QtPrinterCatalog::papers(const QString& printer) const
{
    if (isPdf(printer))
        return commonPapers();
    const QPrinterInfo info = QPrinterInfo::printerInfo(printer);
    return info.isNull() ? QList<QPageSize>() : info.supportedPageSizes();
}

QPageSize QtPrinterCatalog::defaultPaper(const QString& printer) const
{
    if (isPdf(printer))
        return pdfDefaultPaper();
    const QPrinterInfo info = QPrinterInfo::printerInfo(printer);
    return info.isNull() ? QPageSize() : info.defaultPageSize();
}

QMarginsF QtPrinterCatalog::minimumMargins(const QString& printer, const QPageSize& paper) const
{
    if (isPdf(printer))
        return {};
    const QPrinterInfo info = QPrinterInfo::printerInfo(printer);
    if (info.isNull())
        return {};
    QPrinter device(info);
    device.setPageOrientation(QPageLayout::Portrait);
    device.setPageSize(paper);
    QPageLayout layout = device.pageLayout();
    layout.setUnits(QPageLayout::Point);
    return layout.minimumMargins();
}
