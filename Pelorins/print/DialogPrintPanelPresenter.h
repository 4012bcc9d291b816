#pragma once

#include "Pelorins/print/PrintPanelPresenter.h"

// The desktop's print dialog.
class DialogPrintPanelPresenter : public PrintPanelPresenter
{
public:
    bool runPrintPanel(QPrinter& printer, QWidget* parent) override;
};
