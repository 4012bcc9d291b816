#pragma once

#include "Pelorins/print/PrintServices.h"

#include <QWidget>

class PrintableView;

// A developer's check of the print path: one fixed page printed with the shared settings.
class TestPrintViewController : public QWidget
{
    Q_OBJECT

public:
    explicit TestPrintViewController(PrintServices services, QWidget* parent = nullptr);

    PrintableView* printableView() const { return m_printableView; }
    void printButtonClicked();
    // True when the page was printed.
    bool printTest();

private:
    PrintServices m_services;
    PrintableView* m_printableView;
};
