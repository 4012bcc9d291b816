#pragma once

#include <optional>

class KanbanColumn;
class MacKanbanColumnDelegate;
class QMouseEvent;
class QPointF;
class QWheelEvent;

// What a section header asks of the column that owns it.
class ListItemHeaderCellDelegate
{
public:
    virtual ~ListItemHeaderCellDelegate() = default;

    // Whether the owner's column is selected: the header shows the selected look.
    virtual bool isSelected() const = 0;
    virtual void setSelected(bool selected) = 0;

    // The two ends of a click on the header, and the wheel over it.
    virtual void headerMouseDown(QMouseEvent* event) = 0;
    virtual void headerMouseUp(QMouseEvent* event) = 0;
    virtual void headerScrollWheel(QWheelEvent* event) = 0;
    // The user clicked the bookmark of the header's stage.
    virtual void bookmarkToggled(KanbanColumn* column) = 0;

    // What a sideways drag of the header needs: the board, whether the column is the single
    // list (which is never dragged), its section and where the click went down on the board.
    virtual MacKanbanColumnDelegate* delegate() const = 0;
    virtual bool showAllSections() const = 0;
    virtual int specifiedSection() const = 0;
    virtual std::optional<QPointF> mouseDownPoint() const = 0;
};
