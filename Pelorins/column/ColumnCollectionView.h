#pragma once

#include "Pelorins/column/KanbanColumnScrollview.h"

#include <QPixmap>
#include <QPoint>
#include <optional>
#include <utility>

class ColumnCollectionViewDragAndDropDelegate;
class SectionedListView;

// The list of one column, which is also its scroll view.
class ColumnCollectionView : public KanbanColumnScrollview
{
    Q_OBJECT

public:
    using KanbanColumnScrollview::KanbanColumnScrollview;

    ColumnCollectionViewDragAndDropDelegate* dragAndDropDelegate() const { return m_dragAndDropDelegate; }
    void setDragAndDropDelegate(ColumnCollectionViewDragAndDropDelegate* delegate) { m_dragAndDropDelegate = delegate; }
    // Where the pointer of the drag moving over the list is, in viewport coordinates; none while
    // no drag is over it.
    std::optional<QPoint> dragPosition() const { return m_dragPosition; }
    // Whether the last place of a drag started here lay over the board's visible area; kept
    // from one drag to the next.
    bool dragIsInside() const { return m_dragIsInside; }
    // Also forgets the picture of the drag before.
    void setDragIsInside(bool inside);

    // Over the board the dragged cards show as they are; beyond it, as a small picture.
    void draggingSessionMoved(const QPoint& screenPoint) override;

    // Whether `screenPoint` lies over the scroll view that holds `list`'s own container; none
    // when there is no such view or no window.
    static std::optional<bool> isInsideBoard(const SectionedListView* list, const QPoint& screenPoint);
    // `size` scaled, its shape kept, so that its longer side is `side` long.
    static QSizeF fittedInto(const QSizeF& size, qreal side);
    // `picture` drawn at `size`, and the point `hotSpot` of it moved with it.
    static std::pair<QPixmap, QPoint> resized(const QPixmap& picture, const QPoint& hotSpot, const QSizeF& size);

protected:
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    ColumnCollectionViewDragAndDropDelegate* m_dragAndDropDelegate = nullptr;
    std::optional<QPoint> m_dragPosition;
    bool m_dragIsInside = false;
    // What the drag looked like over the board, while it shows the small picture.
    QPixmap m_inBoardPicture;
    QPoint m_inBoardHotSpot;
};
