#include "Pelorins/column/NSCollectionViewTestSubclass.h"

#include "Pelorins/column/ColumnCollectionView.h"
#include "Platform/widgets/DragPictureWindow.h"

void NSCollectionViewTestSubclass::draggingSessionMoved(const QPoint& screenPoint)
{
    const std::optional<bool> inside = ColumnCollectionView::isInsideBoard(this, screenPoint);
    if (!inside || *inside == m_dragIsInside)
        return;
    m_dragIsInside = *inside;
    DragPictureWindow* picture = dragPicture();
    if (!picture)
        return;
    if (m_pictureOf != picture) {
        m_pictureOf = picture;
        m_firstPicture = picture->picture();
        m_firstHotSpot = picture->hotSpot();
    }
    const QSizeF size = m_dragIsInside ? m_dragIconSize : QSizeF(200, 200);
    const auto [drawn, hotSpot] = ColumnCollectionView::resized(m_firstPicture, m_firstHotSpot, size);
    picture->setPicture(drawn, hotSpot);
}
