#include "Pelorins/column/RFOverlayScrollView.h"

#include "Pelorins/column/RFOverlayScroller.h"

#include <QScrollBar>
#include <cmath>

RFOverlayScrollView::RFOverlayScrollView(QWidget* parent)
    : SectionedListView(parent)
    , m_headerOffset(tableHeaderOffsetFromSuperview())
{
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroller = new RFOverlayScroller(verticalScrollBar(), this);
    tile();
}

void RFOverlayScrollView::setHeaderOffset(int offset)
{
    m_headerOffset = offset;
    tile();
}

void RFOverlayScrollView::setScrollerTopInset(int inset)
{
    m_scrollerTopInset = inset;
    tile();
}

void RFOverlayScrollView::setScrollerBottomInset(int inset)
{
    m_scrollerBottomInset = inset;
    tile();
}

void RFOverlayScrollView::setMagnification(qreal magnification)
{
    if (!std::isfinite(magnification) || magnification <= 0 || magnification == m_magnification)
        return;
    m_magnification = magnification;
    emit magnificationChanged(magnification);
}

void RFOverlayScrollView::resizeEvent(QResizeEvent* event)
{
    SectionedListView::resizeEvent(event);
    tile();
}

void RFOverlayScrollView::tile()
{
    const int top = m_headerOffset + m_scrollerTopInset;
    m_scroller->setGeometry(width() - RFOverlayScroller::scrollerWidth, top, RFOverlayScroller::scrollerWidth,
        std::max(0, height() - top - m_scrollerBottomInset));
    m_scroller->setPageStep(verticalScrollBar()->pageStep());
    m_scroller->raise();
}
