#include "Pelorins/print/DialogPrintPanelPresenter.h"

#include <QPrintDialog>

bool DialogPrintPanelPresenter::runPrintPanel(QPrinter& printer, QWidget* parent)
{
    QPrintDialog dialog(&printer, parent);
    return dialog.exec() == QDialog::Accepted;
}
