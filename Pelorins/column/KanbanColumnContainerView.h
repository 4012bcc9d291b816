#pragma once

#include <QColor>
#include <QPointer>
#include <QWidget>

class ActionResponder;
class ActionRouter;

// The root widget of a column, which the board places in its document view. It puts the column
// controller into the action routing right behind itself, so that actions reaching any view of
// the column reach the controller; the link outlives moves of the container (pooled, then placed
// again). It lays out the column's list to fill it, and the pinned top header over it.
class KanbanColumnContainerView : public QWidget
{
    Q_OBJECT

public:
    explicit KanbanColumnContainerView(QWidget* parent = nullptr);

    bool isSelected() const { return m_selected; }
    void setSelected(bool selected) { m_selected = selected; }

    ActionResponder* mediumResponder() const { return m_mediumResponder; }
    void setMediumResponder(ActionResponder* responder) { m_mediumResponder = responder; }
    void setActionRouter(ActionRouter* router);
    bool intermediateResponderAdded() const { return m_intermediateResponderAdded; }
    // Cleared by the board before it places a pooled column again.
    void setIntermediateResponderAdded(bool added) { m_intermediateResponderAdded = added; }
    // Puts the medium responder into the routing behind this view once it has a parent.
    void addIntermediateResponder();

    // A translucent window-coloured fill behind the list (the done column's).
    void setShowsTranslucentFill(bool shows);
    bool showsTranslucentFill() const { return m_showsTranslucentFill; }
    QColor translucentFill() const;

    void setContentView(QWidget* content);
    // The pinned header, `top` below the container's top and `height` high; none removes it.
    void setTopHeaderView(QWidget* header, int top, int height);

protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void layOutChildren();

    bool m_selected = false;
    ActionResponder* m_mediumResponder = nullptr;
    QPointer<ActionRouter> m_router;
    bool m_intermediateResponderAdded = false;
    bool m_showsTranslucentFill = false;
    QPointer<QWidget> m_content;
    QPointer<QWidget> m_topHeader;
    int m_topHeaderTop = 0;
    int m_topHeaderHeight = 0;
};
