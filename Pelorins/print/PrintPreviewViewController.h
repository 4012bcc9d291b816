#pragma once

#include <QWidget>

class Kanban;
class PrintInfo;
class PrintInfoDelegate;
class PrintPreviewView;
class QScrollArea;

// The left side of the print window: the page grid of a board in a scroll area.
class PrintPreviewViewController : public QWidget
{
    Q_OBJECT

public:
    explicit PrintPreviewViewController(PrintInfo& printInfo, QWidget* parent = nullptr);

    Kanban* kanban() const { return m_kanban; }
    // Takes the window's scale, lays the board out and sizes the scroll area's document.
    void setKanban(Kanban* kanban);
    PrintInfoDelegate* printInfoDelegate() const { return m_printInfoDelegate; }
    void setPrintInfoDelegate(PrintInfoDelegate* delegate) { m_printInfoDelegate = delegate; }
    QScrollArea* scrollView() const { return m_scrollView; }
    PrintPreviewView* previewView() const { return m_previewView; }

    void fitDocumentSize();
    // Reports how a print job ended.
    void printOperationDidRun(bool success);

    // A size as the console shows it: "(632.0, 812.0)".
    static QString sizeDescription(QSizeF size);

private:
    Kanban* m_kanban = nullptr;
    PrintInfoDelegate* m_printInfoDelegate = nullptr;
    QScrollArea* m_scrollView;
    PrintPreviewView* m_previewView;
};
