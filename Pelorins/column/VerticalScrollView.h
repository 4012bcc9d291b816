#pragma once

#include "Pelorins/column/RFOverlayScrollView.h"

// A column's list inside the sideways-scrolling board: a gesture that starts more sideways than
// vertical goes to the board, momentum included, and one that starts vertical (or diagonal)
// stays with the list, even when it turns.
class VerticalScrollView : public RFOverlayScrollView
{
    Q_OBJECT

public:
    explicit VerticalScrollView(QWidget* parent = nullptr);

    bool currentScrollIsHorizontal() const { return m_currentScrollIsHorizontal; }
    // The column is selected: the list is shaded.
    bool isSelected() const { return m_selected; }
    void setSelected(bool selected);

protected:
    void wheelEvent(QWheelEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void passToBoard(const QWheelEvent& event);

    bool m_currentScrollIsHorizontal = false;
    // A gesture began without telling its direction yet: its first move decides.
    bool m_directionPending = false;
    bool m_selected = false;
};
