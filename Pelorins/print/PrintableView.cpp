#include "Pelorins/print/PrintableView.h"

#include "Pelorins/print/PrintInfo.h"
#include "Platform/core/ConsoleLog.h"

#include <QFrame>
#include <QLabel>

PrintableView::PrintableView(PrintInfo& printInfo, QWidget* parent)
    : QWidget(parent)
    , m_printInfo(printInfo)
{
    setAutoFillBackground(true);
    QPalette paper = palette();
    paper.setColor(QPalette::Window, Qt::white);
    setPalette(paper);
}

void PrintableView::addTestContent()
{
    auto* box = new QFrame(this);
    box->setAutoFillBackground(true);
    QPalette red = box->palette();
    red.setColor(QPalette::Window, Qt::red);
    box->setPalette(red);
    box->setGeometry(10, 10, 200, 100);
    auto* text = new QLabel(QStringLiteral("Hello this is a test print"), this);
    text->setTextFormat(Qt::PlainText);
    text->setGeometry(10, 150, 200, 40);
}

bool PrintableView::knowsPageRange(int& location, int& length) const
{
    location = 1;
    length = 1;
    return true;
}

QRectF PrintableView::rectForPage(int) const
{
    ConsoleLog::write(QStringLiteral("rec for page called"));
    return QRectF(QPointF(0, 0), m_printInfo.paperSize());
}
