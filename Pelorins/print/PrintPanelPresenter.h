#pragma once

class QPrinter;
class QWidget;

// Shows the print dialog for a printer before a job starts. The program reaches it only through
// this interface, so tests can script the answer.
class PrintPanelPresenter
{
public:
    virtual ~PrintPanelPresenter() = default;

    // False when the user cancelled; the printer then prints nothing.
    virtual bool runPrintPanel(QPrinter& printer, QWidget* parent) = 0;
};
