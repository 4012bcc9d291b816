#include "Pelorins/welcome/KDPageControl.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QPainter>

KDPageControl::KDPageControl(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::TabFocus);
}

void KDPageControl::setCurrentPage(qint64 page)
{
    if (page == m_currentPage)
        return;
    m_currentPage = page;
    QAccessibleValueChangeEvent changed(this, int(page + 1));
    QAccessible::updateAccessibility(&changed);
}

void KDPageControl::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Right || event->key() == Qt::Key_Down) {
        emit nextPageRequested();
        return;
    }
    QWidget::keyPressEvent(event);
}

void KDPageControl::paintEvent(QPaintEvent*)
{
    const qint64 count = m_numberOfPages;
    if (count == 0)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    for (qint64 i = 0; i < count; ++i) {
        // Every dot sits on the bottom edge.
        const QRectF dot(double(i * (m_dotWidth + m_gapWidth)), double(height() - m_dotWidth), double(m_dotWidth),
            double(m_dotWidth));
        const bool current = i == m_currentPage;
        painter.setBrush(current ? m_currentPageIndicatorFillColor : m_pageIndicatorFillColor);
        painter.setPen(QPen(current ? m_currentPageIndicatorStrokeColor : m_pageIndicatorStrokeColor, 0.5));
        painter.drawEllipse(dot);
    }
}
