#include "Platform/widgets/ReadingOrderAccessible.h"

#include <QMenu>
#include <QWidget>
#include <algorithm>

ReadingOrderAccessible::ReadingOrderAccessible(QWidget* widget, Qt::Orientation flow, QAccessible::Role role)
    : QAccessibleWidget(widget, role)
    , m_flow(flow)
{
}

QList<QWidget*> ReadingOrderAccessible::children() const
{
    QList<QWidget*> found;
    for (QObject* object : widget()->children()) {
        auto* child = qobject_cast<QWidget*>(object);
        // Windows and menus are read where they open, as every widget's are.
        if (child && !child->isWindow() && !qobject_cast<QMenu*>(child))
            found << child;
    }
    // Of two children at one place, the one raised over the other is what shows there: it comes
    // first (a pinned day header over a card scrolled under it).
    std::reverse(found.begin(), found.end());
    const bool down = m_flow == Qt::Vertical;
    const QRect whole = widget()->rect();
    std::stable_sort(found.begin(), found.end(), [down, whole](const QWidget* one, const QWidget* other) {
        if (one->isHidden() != other->isHidden())
            return other->isHidden();
        // A child filling the whole widget is the ground the others lie on (a column's list under
        // its header): it is read after them.
        const bool oneFills = one->geometry() == whole;
        if (oneFills != (other->geometry() == whole))
            return !oneFills;
        const QPoint a = one->pos();
        const QPoint b = other->pos();
        return down ? std::pair(a.y(), a.x()) < std::pair(b.y(), b.x())
                    : std::pair(a.x(), a.y()) < std::pair(b.x(), b.y());
    });
    return found;
}

int ReadingOrderAccessible::childCount() const
{
    return int(children().size());
}

QAccessibleInterface* ReadingOrderAccessible::child(int index) const
{
    const QList<QWidget*> found = children();
    return index >= 0 && index < found.size() ? QAccessible::queryAccessibleInterface(found.at(index)) : nullptr;
}

int ReadingOrderAccessible::indexOfChild(const QAccessibleInterface* child) const
{
    if (!child || !child->object() || !child->object()->isWidgetType())
        return -1;
    return int(children().indexOf(static_cast<QWidget*>(child->object())));
}
