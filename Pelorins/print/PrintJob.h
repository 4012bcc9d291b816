#pragma once

#include "Pelorins/print/PrintServices.h"

#include <QString>
#include <functional>

class QPainter;
class QWidget;

// Prints pages with the shared settings: full page, no margins, the chosen paper and
// orientation. "Save as PDF" first asks where to save, another printer shows the print dialog.
// Pages are drawn in points, 1 to `pageCount` in order. A printer that is gone, a paper without
// a size or a file that cannot be written ends the job with an alert naming it.
class PrintJob
{
public:
    using PageDrawer = std::function<void(QPainter& painter, int pageNumber)>;

    PrintJob(PrintServices services, QWidget* parent);

    // True when every page was printed; false when cancelled or failed.
    bool run(int pageCount, const PageDrawer& drawPage);

private:
    void alert(const QString& message, const QString& information);

    PrintServices m_services;
    QWidget* m_parent;
};
