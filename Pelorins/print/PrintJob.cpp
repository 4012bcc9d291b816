#include "Pelorins/print/PrintJob.h"

#include "Pelorins/print/PrintInfo.h"
#include "Pelorins/print/PrintPanelPresenter.h"
#include "Pelorins/print/PrinterCatalog.h"
#include "Platform/widgets/AlertPresenter.h"
#include "Platform/widgets/FilePanelPresenter.h"

#include <QPainter>
#include <QPrinter>

namespace {

// A point is a device pixel: the pages are drawn in points, as on screen.
constexpr int pointsPerInch = 72;

} // namespace

PrintJob::PrintJob(PrintServices services, QWidget* parent)
    : m_services(services)
    , m_parent(parent)
{
}

bool PrintJob::run(int pageCount, const PageDrawer& drawPage)
{
    if (pageCount <= 0)
        return false;
    const PrintInfo& info = m_services.printInfo;
    const QString printerName = info.printerName();
    const bool pdf = PrinterCatalog::isPdf(printerName);
    if (!pdf && !info.catalog().hasPrinter(printerName)) {
        alert(QStringLiteral("The printer “%1” is not available.").arg(printerName),
            QStringLiteral("Choose another printer in Print Setup."));
        return false;
    }
    if (!(info.paperSize().width() > 0) || !(info.paperSize().height() > 0)) {
        alert(QStringLiteral("The paper of the printer “%1” has no size.").arg(printerName),
            QStringLiteral("Choose another paper in Print Setup."));
        return false;
    }
    QPrinter printer(QPrinter::HighResolution);
    QString path;
    if (pdf) {
        const QStringList types {QStringLiteral("pdf")};
        const std::optional<QString> chosen
            = m_services.filePanels.runSavePanel({types, QStringLiteral("saveAsPDF")}, m_parent);
        if (!chosen)
            return false;
        path = FilePanelPresenter::withAllowedType(*chosen, types);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path);
    } else {
        printer.setPrinterName(printerName);
    }
    printer.setResolution(pointsPerInch);
    printer.setFullPage(true);
    QPageLayout layout(info.paper(), info.orientation(), QMarginsF(), QPageLayout::Point);
    layout.setMinimumMargins(QMarginsF());
    printer.setPageLayout(layout);
    printer.setFromTo(1, pageCount);
    if (!pdf && !m_services.printPanels.runPrintPanel(printer, m_parent))
        return false;

    const QString failure = pdf ? QStringLiteral("The PDF file “%1” could not be written.").arg(path)
                                : QStringLiteral("The printer “%1” could not print.").arg(printerName);
    QPainter painter;
    if (!painter.begin(&printer)) {
        alert(failure, pdf ? QStringLiteral("Choose a folder you can write to.") : QString());
        return false;
    }
    const double toDevice = double(printer.resolution()) / pointsPerInch;
    bool complete = true;
    for (int number = 1; number <= pageCount && complete; ++number) {
        if (number > 1 && !printer.newPage()) {
            complete = false;
            break;
        }
        painter.save();
        painter.scale(toDevice, toDevice);
        drawPage(painter, number);
        painter.restore();
    }
    const bool ended = painter.end();
    if (!complete || !ended || printer.printerState() == QPrinter::Error) {
        alert(failure, QString());
        return false;
    }
    return true;
}

void PrintJob::alert(const QString& message, const QString& information)
{
    m_services.alerts.runModal(
        {message, information, {QStringLiteral("OK")}, AlertPresenter::Style::Warning}, m_parent);
}
