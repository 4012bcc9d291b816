#include "Pelorins/print/TestPrintViewController.h"

#include "Pelorins/print/PrintInfo.h"
#include "Pelorins/print/PrintJob.h"
#include "Pelorins/print/PrintablePageRenderer.h"
#include "Pelorins/print/PrintableView.h"

#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

TestPrintViewController::TestPrintViewController(PrintServices services, QWidget* parent)
    : QWidget(parent)
    , m_services(services)
    , m_printableView(new PrintableView(services.printInfo))
{
    setWindowTitle(QStringLiteral("Test Print"));
    m_printableView->addTestContent();
    m_printableView->resize(services.printInfo.paperSize().toSize());
    auto* layout = new QVBoxLayout(this);
    auto* scroll = new QScrollArea(this);
    scroll->setWidget(m_printableView);
    layout->addWidget(scroll, 1);
    auto* print = new QPushButton(QStringLiteral("Print"), this);
    layout->addWidget(print, 0, Qt::AlignRight);
    connect(print, &QPushButton::clicked, this, &TestPrintViewController::printButtonClicked);
    resize(680, 820);
}

void TestPrintViewController::printButtonClicked()
{
    printTest();
}

bool TestPrintViewController::printTest()
{
    int first = 0;
    int count = 0;
    m_printableView->knowsPageRange(first, count);
    PrintJob job(m_services, window());
    return job.run(count, [this](QPainter& painter, int number) {
        const QRectF page = m_printableView->rectForPage(number);
        PrintablePageRenderer::renderWidget(painter, *m_printableView, QPoint(), QRegion(page.toAlignedRect()));
    });
}
