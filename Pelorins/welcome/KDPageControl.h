#pragma once

#include <QColor>
#include <QWidget>
#include <algorithm>

// A row of page dots along the bottom edge, the current one in the welcome's mint and teal. It
// draws and takes no clicks, and its owner asks for the redraw after changing a page. With the
// keyboard focus, the right and down arrows ask for the next page; there is no going back.
class KDPageControl : public QWidget
{
    Q_OBJECT
public:
    explicit KDPageControl(QWidget* parent = nullptr);

    // Counted from 0; a page outside the row marks no dot.
    qint64 currentPage() const { return m_currentPage; }
    void setCurrentPage(qint64 page);
    qint64 numberOfPages() const { return m_numberOfPages; }
    void setNumberOfPages(qint64 count) { m_numberOfPages = std::max<qint64>(count, 0); }
    qint64 gapWidth() const { return m_gapWidth; }
    qint64 dotWidth() const { return m_dotWidth; }

    // The width of a row of `count` dots.
    qint64 rowWidth() const { return m_numberOfPages * m_dotWidth + (m_numberOfPages - 1) * m_gapWidth; }

signals:
    void nextPageRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    qint64 m_currentPage = 0;
    qint64 m_numberOfPages = 1;
    const qint64 m_gapWidth = 4;
    const qint64 m_dotWidth = 6;
    const QColor m_pageIndicatorFillColor = QColor::fromRgbF(0.938085f, 0.938085f, 0.938085f);
    const QColor m_pageIndicatorStrokeColor = QColor::fromRgbF(0.776679f, 0.776679f, 0.776679f);
    const QColor m_currentPageIndicatorFillColor = QColor::fromRgbF(0.764706f, 0.92549f, 0.909804f);
    const QColor m_currentPageIndicatorStrokeColor = QColor::fromRgbF(0.215686f, 0.705882f, 0.662745f);
};
