#include "Platform/widgets/ReusableItemAccessible.h"

#include <QWidget>

ReusableItemAccessible::ReusableItemAccessible(QWidget* widget, QAccessible::Role role)
    : QAccessibleWidget(widget, role)
{
}

bool ReusableItemAccessible::isPutAway() const
{
    // The list hides the item it keeps for reuse, which may hold this widget; a window not
    // shown yet hides nothing inside it.
    for (const QWidget* shown = widget(); shown && !shown->isWindow(); shown = shown->parentWidget())
        if (shown->isHidden())
            return true;
    return false;
}

QString ReusableItemAccessible::text(QAccessible::Text t) const
{
    return isPutAway() ? QString() : QAccessibleWidget::text(t);
}

int ReusableItemAccessible::childCount() const
{
    return isPutAway() ? 0 : QAccessibleWidget::childCount();
}

QAccessibleInterface* ReusableItemAccessible::child(int index) const
{
    return isPutAway() ? nullptr : QAccessibleWidget::child(index);
}

int ReusableItemAccessible::indexOfChild(const QAccessibleInterface* child) const
{
    return isPutAway() ? -1 : QAccessibleWidget::indexOfChild(child);
}
