#include "Pelorins/print/PrintPreviewViewController.h"

#include "Pelorins/print/PrintInfoDelegate.h"
#include "Pelorins/print/PrintPreviewView.h"
#include "Platform/core/ConsoleLog.h"

#include <QLocale>
#include <QScrollArea>
#include <QVBoxLayout>
#include <cmath>

namespace {

// A number as a double reads: integral values keep ".0".
QString doubleDescription(double value)
{
    QString text = QString::number(value, 'g', QLocale::FloatingPointShortest);
    if (std::isfinite(value) && !text.contains(QLatin1Char('.')) && !text.contains(QLatin1Char('e')))
        text += QStringLiteral(".0");
    return text;
}

} // namespace

PrintPreviewViewController::PrintPreviewViewController(PrintInfo& printInfo, QWidget* parent)
    : QWidget(parent)
    , m_scrollView(new QScrollArea(this))
    , m_previewView(new PrintPreviewView(printInfo))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_scrollView);
    m_scrollView->setWidget(m_previewView);
    m_scrollView->setWidgetResizable(false);
    m_scrollView->setAlignment(Qt::AlignCenter);
    m_scrollView->setBackgroundRole(QPalette::Mid);
}

void PrintPreviewViewController::setKanban(Kanban* kanban)
{
    m_kanban = kanban;
    if (m_printInfoDelegate)
        m_previewView->setItemScale(m_printInfoDelegate->itemScale());
    m_previewView->setKanban(kanban);
    m_previewView->buildPages();
    fitDocumentSize();
}

void PrintPreviewViewController::fitDocumentSize()
{
    const QSizeF size = m_previewView->canvasSize();
    ConsoleLog::write(QStringLiteral("sizeRequiredToFit is ") + sizeDescription(size));
    m_previewView->setMagnification(m_previewView->magnification());
}

void PrintPreviewViewController::printOperationDidRun(bool success)
{
    ConsoleLog::write(
        QStringLiteral("print operation did run: ") + (success ? QStringLiteral("true") : QStringLiteral("false")));
}

QString PrintPreviewViewController::sizeDescription(QSizeF size)
{
    return QStringLiteral("(") + doubleDescription(size.width()) + QStringLiteral(", ")
        + doubleDescription(size.height()) + QStringLiteral(")");
}
