#pragma once

#include "Pelorins/print/PrintServices.h"
#include "Pelorins/print/PrintSetupDelegate.h"

#include <QSplitter>

class Kanban;
class PrintPreviewViewController;
class PrintSetupViewController;

// The print set-up window: the preview of the board's pages on the left, the set-up pane on the
// right. It carries the scale of cards on paper between the two and runs the print job.
class PrintSplitViewController : public QSplitter, public PrintSetupDelegate
{
    Q_OBJECT

public:
    explicit PrintSplitViewController(PrintServices services, QWidget* parent = nullptr);

    // The window for a board, laid out and ready to show.
    static PrintSplitViewController* make(PrintServices services, Kanban* kanban);

    PrintPreviewViewController* previewViewController() const { return m_preview; }
    PrintSetupViewController* setupViewController() const { return m_setup; }

    // PrintSetupDelegate
    double itemScale() const override { return m_itemScale; }
    void setItemScale(double scale) override;
    double magnification() const override;
    void setMagnification(double magnification) override;
    bool print(PrintInfo& printInfo) override;
    QWidget* view() override { return this; }

private:
    PrintServices m_services;
    double m_itemScale = 0.75;
    PrintPreviewViewController* m_preview;
    PrintSetupViewController* m_setup;
};
