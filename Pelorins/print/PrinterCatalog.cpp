#include "Pelorins/print/PrinterCatalog.h"

const QString PrinterCatalog::saveAsPdf = QStringLiteral("Save as PDF");

QList<QPageSize> PrinterCatalog::commonPapers()
{
    QList<QPageSize> papers;
    for (QPageSize::PageSizeId id : {QPageSize::A3, QPageSize::A4, QPageSize::A5, QPageSize::B5, QPageSize::Letter,
             QPageSize::Legal, QPageSize::Tabloid, QPageSize::Executive, QPageSize::Envelope10, QPageSize::EnvelopeDL})
        papers.append(QPageSize(id));
    return papers;
}
