#pragma once

#include <QWidget>

class PrintInfo;

// The page of the test print: a red box and a line of text, one page the size of the paper.
class PrintableView : public QWidget
{
    Q_OBJECT

public:
    explicit PrintableView(PrintInfo& printInfo, QWidget* parent = nullptr);

    void addTestContent();
    bool knowsPageRange(int& location, int& length) const;
    QRectF rectForPage(int pageNumber) const;

private:
    PrintInfo& m_printInfo;
};
