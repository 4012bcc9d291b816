#include "Pelorins/column/KanbanColumnContainerView.h"

#include "Platform/core/ConsoleLog.h"
#include "Platform/widgets/ActionRouter.h"

#include <QEvent>
#include <QPainter>

KanbanColumnContainerView::KanbanColumnContainerView(QWidget* parent)
    : QWidget(parent)
{
}

void KanbanColumnContainerView::setActionRouter(ActionRouter* router)
{
    m_router = router;
}

void KanbanColumnContainerView::addIntermediateResponder()
{
    if (!parentWidget())
        return;
    if (!m_mediumResponder)
        return;
    ConsoleLog::write(QStringLiteral("addIntermediateResponder "));
    if (m_router)
        m_router->attach(this, m_mediumResponder);
    m_intermediateResponderAdded = true;
    ConsoleLog::write(QStringLiteral("next responder sets again"));
}

void KanbanColumnContainerView::setShowsTranslucentFill(bool shows)
{
    if (shows == m_showsTranslucentFill)
        return;
    m_showsTranslucentFill = shows;
    update();
}

QColor KanbanColumnContainerView::translucentFill() const
{
    QColor fill = palette().color(QPalette::Window);
    fill.setAlphaF(0.7);
    return fill;
}

void KanbanColumnContainerView::setContentView(QWidget* content)
{
    m_content = content;
    if (content)
        content->setParent(this);
    layOutChildren();
}

void KanbanColumnContainerView::setTopHeaderView(QWidget* header, int top, int height)
{
    m_topHeader = header;
    m_topHeaderTop = top;
    m_topHeaderHeight = height;
    if (header) {
        header->setParent(this);
        header->show();
        header->raise();
    }
    layOutChildren();
}

bool KanbanColumnContainerView::event(QEvent* event)
{
    const bool handled = QWidget::event(event);
    // A new parent is a new place in the routing; the controller stays linked behind the
    // container wherever it goes, so it is put in once.
    if (event->type() == QEvent::ParentChange) {
        if (m_intermediateResponderAdded)
            ConsoleLog::write(QStringLiteral("next responder sets again"));
        else
            addIntermediateResponder();
    }
    return handled;
}

void KanbanColumnContainerView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layOutChildren();
}

void KanbanColumnContainerView::paintEvent(QPaintEvent*)
{
    if (!m_showsTranslucentFill)
        return;
    QPainter painter(this);
    painter.fillRect(rect(), translucentFill());
}

void KanbanColumnContainerView::layOutChildren()
{
    if (m_content)
        m_content->setGeometry(rect());
    if (m_topHeader)
        m_topHeader->setGeometry(0, m_topHeaderTop, width(), m_topHeaderHeight);
}
