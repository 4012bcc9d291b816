// Printing the reference board of 10,000 cards (2,000 of them open, in 8 stages) on Letter at
// the scale 0.75: the pagination from a freshly loaded store whose notes are not read yet, the
// layout again after a scale change, one page drawn at twice the size (1224 x 1584) for pages
// whose cards were not drawn before and again once they were, and the whole board written as PDF
// (its figure with the machine's load, and the pages of memory it faulted in: fresh memory and
// other programs move the time).
//
// Usage: PrintBench [--pdf] [store]; the reference dataset is written there first when the file does
// not exist (into a temporary folder when no store is named), and its pictures into a temporary data
// folder. With --pdf only the PDF is written, to profile it alone.
#include "BenchTiming.h"
#include "LoadedStore.h"
#include "Pelorins/print/PrintInfo.h"
#include "Pelorins/print/PrintJob.h"
#include "Pelorins/print/PrintPanelPresenter.h"
#include "Pelorins/print/PrintPreviewView.h"
#include "PelorinsKit/model/PictureFolders.h"
#include "Platform/core/DataFolders.h"
#include "Platform/core/FreedMemory.h"
#include "Platform/widgets/ScriptedAlertPresenter.h"
#include "Platform/widgets/ScriptedFilePanelPresenter.h"
#include "ReferenceDataset.h"
#include "support/FakePrinterCatalog.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

namespace {

constexpr int runs = 5;
constexpr int coldPages = 20;
constexpr double paginateGoal = 500.0;
constexpr double renderGoal = 30.0;
constexpr double pdfGoal = 1500.0;

class NoPrintPanel : public PrintPanelPresenter
{
public:
    bool runPrintPanel(QPrinter&, QWidget*) override { return false; }
};

struct Result
{
    QList<double> paginations;
    QList<double> paginationsProcessor;
    QList<double> relayouts;
    QList<double> coldRenders;
    QList<double> coldRendersProcessor;
    QList<double> warmRenders;
    int pages = 0;
    int cards = 0;
};

// Wall and processor milliseconds.
std::pair<double, double> renderPage(const PrintPreviewView& preview, int number)
{
    QImage image(1224, 1584, QImage::Format_ARGB32_Premultiplied);
    BenchClock clock;
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.scale(2, 2);
    preview.renderPage(painter, *preview.page(number), false);
    painter.end();
    return {clock.wall(), clock.processor()};
}

void run(const QString& path, const FakePrinterCatalog& catalog, Result& result)
{
    LoadedStore store = load(path);
    Kanban* kanban = ReferenceDataset::largeBoard(*store.context);
    PrintInfo info(catalog);
    PrintPreviewView preview(info);
    preview.setItemScale(0.75);
    preview.setKanban(kanban);
    BenchClock clock;
    preview.buildPages();
    result.paginations.append(clock.wall());
    result.paginationsProcessor.append(clock.processor());
    result.pages = preview.pageCount();
    result.cards = int(preview.cellViewsOnPage().size());

    for (int number = 1; number <= std::min(coldPages, preview.pageCount()); ++number) {
        const auto [wall, processor] = renderPage(preview, number);
        result.coldRenders.append(wall);
        result.coldRendersProcessor.append(processor);
    }
    for (int number = 1; number <= std::min(coldPages, preview.pageCount()); ++number)
        result.warmRenders.append(renderPage(preview, number).first);

    preview.setItemScale(0.6);
    clock.restart();
    preview.layoutPages();
    result.relayouts.append(clock.wall());
}

struct PdfResult
{
    double wall = 0;
    double processor = 0;
    long pageFaults = 0;
    int pages = 0;
};

PdfResult writePdf(const QString& path, const FakePrinterCatalog& catalog, const QTemporaryDir& folder)
{
    LoadedStore store = load(path);
    Kanban* kanban = ReferenceDataset::largeBoard(*store.context);
    PrintInfo info(catalog);
    PrintPreviewView preview(info);
    preview.setItemScale(0.75);
    preview.setKanban(kanban);
    preview.buildPages();
    ScriptedFilePanelPresenter panels;
    panels.enqueueSaveAnswer(folder.filePath(QStringLiteral("board.pdf")));
    NoPrintPanel printPanels;
    ScriptedAlertPresenter alerts;
    PrintJob job({info, panels, printPanels, alerts}, nullptr);
    const long faults = pageFaults();
    BenchClock clock;
    const bool printed = job.run(preview.pageCount(),
        [&preview](QPainter& painter, int number) { preview.renderPage(painter, *preview.page(number), false); });
    if (!printed)
        qFatal("the PDF was not written");
    return {clock.wall(), clock.processor(), pageFaults() - faults, preview.pageCount()};
}

} // namespace

int main(int argc, char** argv)
{
    // As the program does.
    FreedMemory::keepForReuse();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const bool pdfOnly = argc > 1 && qstrcmp(argv[1], "--pdf") == 0;
    if (pdfOnly) {
        --argc;
        ++argv;
    }
    QTemporaryDir folder;
    const QString path = ReferenceDataset::storeFromArguments(argc, argv, folder);
    // The cards' pictures are printed with them, as the program would find them.
    QTemporaryDir dataFolder;
    DataFolders::setBaseFolderForTesting(dataFolder.path());
    {
        LoadedStore store = load(path);
        ReferenceDataset::writePictures(*store.context, *PictureFolders::attachmentPicturesFolderURL());
    }
    // "Save as PDF" on Letter: no printer margins.
    const FakePrinterCatalog catalog;

    if (pdfOnly) {
        const PdfResult pdf = writePdf(path, catalog, folder);
        std::printf("print to PDF: %.0f ms, %d pages\n", pdf.wall, pdf.pages);
        return 0;
    }
    Result result;
    for (int i = 0; i < runs; ++i)
        run(path, catalog, result);
    std::printf("reference board on Letter at 0.75: %d open cards on %d pages\n", result.cards, result.pages);
    const double paginate = median(result.paginations);
    std::printf("paginate: %.0f ms\n", paginate);
    std::printf("  from a freshly loaded store, median over %d runs (goal <= %.0f ms, %.2fx of it); processor time "
                "%.0f ms\n",
        runs, paginateGoal, paginate / paginateGoal, median(result.paginationsProcessor));
    std::printf("  again after a scale change to 0.6: median %.1f ms\n", median(result.relayouts));
    const double render = median(result.coldRenders);
    std::printf("render page: %.0f ms\n", render);
    std::printf("  one page at 2x, its cards not drawn before, median over the first %d pages of %d runs (goal <= "
                "%.0f ms, %.2fx of it); processor time %.1f ms\n",
        coldPages, runs, renderGoal, render / renderGoal, median(result.coldRendersProcessor));
    std::printf("  the same pages drawn again: median %.2f ms\n", median(result.warmRenders));
    const PdfResult pdf = writePdf(path, catalog, folder);
    std::printf("print to PDF: %.0f ms\n", pdf.wall);
    std::printf("  the whole board, %d pages, from a store loaded afresh (goal <= %.0f ms, %.2fx of it); processor time %.0f "
                "ms; %ld pages of memory faulted in; load %s\n",
        pdf.pages, pdfGoal, pdf.wall / pdfGoal, pdf.processor, pdf.pageFaults, qPrintable(loadAverage()));
    return 0;
}
