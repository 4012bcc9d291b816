#include "Pelorins/shell/TAAdaptiveSpaceItem.h"

#include <QAction>
#include <QEvent>
#include <QTimer>
#include <QToolBar>
#include <algorithm>

TAAdaptiveSpaceItem::TAAdaptiveSpaceItem(QToolBar* toolbar)
    : QWidget(toolbar)
    , m_toolbar(toolbar)
{
    setFixedWidth(0);
    toolbar->installEventFilter(this);
}

int TAAdaptiveSpaceItem::adaptiveWidth(int x, std::optional<int> nextItemWidth, int rowWidth)
{
    if (x <= 0 || !nextItemWidth)
        return 0;
    return std::max(0, int((rowWidth - *nextItemWidth) * 0.5 - x - 6));
}

void TAAdaptiveSpaceItem::updateWidth()
{
    const QList<QAction*> actions = m_toolbar->actions();
    std::optional<int> nextItemWidth;
    for (int i = 0; i + 1 < actions.size(); ++i) {
        if (m_toolbar->widgetForAction(actions.at(i)) != this)
            continue;
        if (QWidget* next = m_toolbar->widgetForAction(actions.at(i + 1)))
            nextItemWidth = next->width();
        break;
    }
    const int width = adaptiveWidth(x(), nextItemWidth, m_toolbar->width());
    if (width != this->width())
        setFixedWidth(width);
}

bool TAAdaptiveSpaceItem::eventFilter(QObject* watched, QEvent* event)
{
    // After the toolbar has placed its items at the new size.
    if (watched == m_toolbar && (event->type() == QEvent::Resize || event->type() == QEvent::Show))
        QTimer::singleShot(0, this, &TAAdaptiveSpaceItem::updateWidth);
    return QWidget::eventFilter(watched, event);
}
