#include "Pelorins/print/PrintSplitViewController.h"

#include "Pelorins/print/PrintJob.h"
#include "Pelorins/print/PrintPreviewView.h"
#include "Pelorins/print/PrintPreviewViewController.h"
#include "Pelorins/print/PrintSetupViewController.h"

#include <QPainter>

PrintSplitViewController::PrintSplitViewController(PrintServices services, QWidget* parent)
    : QSplitter(Qt::Horizontal, parent)
    , m_services(services)
    , m_preview(new PrintPreviewViewController(services.printInfo, this))
    , m_setup(new PrintSetupViewController(services.printInfo, this))
{
    setWindowTitle(QStringLiteral("Print Setup"));
    addWidget(m_preview);
    addWidget(m_setup);
    setStretchFactor(0, 1);
    setStretchFactor(1, 0);
    setCollapsible(0, false);
    setCollapsible(1, false);
    // The pane answers with its first scale, which reaches the preview before any board does.
    m_setup->setDelegate(this);
    m_preview->setPrintInfoDelegate(this);
    PrintPreviewView* preview = m_preview->previewView();
    connect(preview, &PrintPreviewView::magnificationEnded, m_setup, &PrintSetupViewController::viewZoomChanged);
    connect(preview, &PrintPreviewView::pagesChanged, m_setup,
        [this, preview] { m_setup->setPrintingPossible(preview->pageCount() > 0); });
    m_setup->setPrintingPossible(preview->pageCount() > 0);
    resize(1100, 760);
}

PrintSplitViewController* PrintSplitViewController::make(PrintServices services, Kanban* kanban)
{
    auto* window = new PrintSplitViewController(services);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->m_preview->setKanban(kanban);
    return window;
}

void PrintSplitViewController::setItemScale(double scale)
{
    m_itemScale = scale;
    PrintPreviewView* preview = m_preview->previewView();
    preview->setItemScale(scale);
    preview->layoutPages();
}

double PrintSplitViewController::magnification() const
{
    return m_preview->previewView()->magnification();
}

void PrintSplitViewController::setMagnification(double magnification)
{
    m_preview->previewView()->setMagnification(magnification);
}

bool PrintSplitViewController::print(PrintInfo& printInfo)
{
    PrintPreviewView* preview = m_preview->previewView();
    PrintServices services = m_services;
    PrintServices withInfo {printInfo, services.filePanels, services.printPanels, services.alerts};
    PrintJob job(withInfo, window());
    int first = 0;
    int count = 0;
    preview->knowsPageRange(first, count);
    const bool printed = count > 0 && job.run(count, [preview](QPainter& painter, int number) {
        if (const PrintablePageBox* page = preview->page(number))
            preview->renderPage(painter, *page, false);
    });
    m_preview->printOperationDidRun(printed);
    return printed;
}
