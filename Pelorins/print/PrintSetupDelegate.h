#pragma once

#include "Pelorins/print/PrintInfoDelegate.h"

class PrintInfo;
class QWidget;

// What the set-up pane asks of the print window beyond the scale and the zoom.
class PrintSetupDelegate : public PrintInfoDelegate
{
public:
    // Prints the preview's pages with the settings; true when they were printed.
    virtual bool print(PrintInfo& printInfo) = 0;
    // The window's view, which Done closes.
    virtual QWidget* view() = 0;
};
