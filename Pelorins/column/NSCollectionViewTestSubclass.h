#pragma once

#include "Platform/widgets/SectionedListView.h"

#include <QPixmap>
#include <QPointer>
#include <QSizeF>

class DragPictureWindow;

// A plain list that only switches the look of what is dragged out of it, as a column does,
// without autoscroll or drop routing: over the scroll view around it the picture is shown at
// dragIconSize, beyond it at 200 by 200.
class NSCollectionViewTestSubclass : public SectionedListView
{
    Q_OBJECT

public:
    using SectionedListView::SectionedListView;

    bool dragIsInside() const { return m_dragIsInside; }
    void setDragIsInside(bool inside) { m_dragIsInside = inside; }
    QSizeF dragIconSize() const { return m_dragIconSize; }
    void setDragIconSize(const QSizeF& size) { m_dragIconSize = size; }

    void draggingSessionMoved(const QPoint& screenPoint) override;

private:
    bool m_dragIsInside = false;
    QSizeF m_dragIconSize;
    // The picture the drag started with, and the drag it belongs to.
    QPointer<DragPictureWindow> m_pictureOf;
    QPixmap m_firstPicture;
    QPoint m_firstHotSpot;
};
