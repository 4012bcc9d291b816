#pragma once

#include "Platform/widgets/SectionedListView.h"

class RFOverlayScroller;

// A list whose vertical scroller takes no room from the content: the list's own bar is never
// shown, and an overlay scroller floats over the right edge, below a band at the top that it
// keeps clear (`headerOffset` plus the top scroller inset) and above the bottom scroller inset.
//
// Its magnification is the zoom of everything it shows: the owner draws its rows, headers and
// insets at that scale.
class RFOverlayScrollView : public SectionedListView
{
    Q_OBJECT

public:
    explicit RFOverlayScrollView(QWidget* parent = nullptr);

    // The band the scroller keeps clear before any inset.
    static int tableHeaderOffsetFromSuperview() { return 40; }

    int headerOffset() const { return m_headerOffset; }
    void setHeaderOffset(int offset);
    int scrollerTopInset() const { return m_scrollerTopInset; }
    void setScrollerTopInset(int inset);
    int scrollerBottomInset() const { return m_scrollerBottomInset; }
    void setScrollerBottomInset(int inset);
    RFOverlayScroller* overlayScroller() const { return m_scroller; }

    qreal magnification() const { return m_magnification; }
    void setMagnification(qreal magnification);

signals:
    void magnificationChanged(qreal magnification);

protected:
    void resizeEvent(QResizeEvent* event) override;
    // Places the overlay scroller over the content, on top of every other child.
    void tile();

private:
    RFOverlayScroller* m_scroller = nullptr;
    int m_headerOffset = 0;
    int m_scrollerTopInset = 0;
    int m_scrollerBottomInset = 0;
    qreal m_magnification = 1.0;
};
