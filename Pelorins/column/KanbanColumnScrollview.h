#pragma once

#include "Pelorins/column/VerticalScrollView.h"
#include "Pelorins/column/VerticalScrollerDelegate.h"

// The list of every column: its overlay scroller shows while the pointer is over the column and
// fades when the pointer leaves it.
class KanbanColumnScrollview : public VerticalScrollView, public VerticalScrollerDelegate
{
    Q_OBJECT

public:
    explicit KanbanColumnScrollview(QWidget* parent = nullptr);

    bool mouseIsWithinBounds() const override;

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
};
