#include "Pelorins/column/ListItemHeaderCellAccessible.h"

#include "Pelorins/column/ListItemHeaderCellDelegate.h"
#include "Pelorins/column/ListItemHeaderCellView.h"

#include <QWidget>

ListItemHeaderCellAccessible::ListItemHeaderCellAccessible(ListItemHeaderCellView* header)
    : ReusableItemAccessible(header, QAccessible::Heading)
{
}

QAccessible::State ListItemHeaderCellAccessible::state() const
{
    QAccessible::State state = ReusableItemAccessible::state();
    const auto* header = static_cast<const ListItemHeaderCellView*>(widget());
    if (isPutAway() || !header->delegate())
        return state;
    // A click on a header selects its column.
    state.selectable = true;
    state.selected = header->delegate()->isSelected();
    return state;
}

QList<QAccessibleInterface*> ListItemHeaderCellAccessible::shownChildren() const
{
    QList<QAccessibleInterface*> shown;
    const int count = ReusableItemAccessible::childCount();
    for (int index = 0; index < count; ++index) {
        QAccessibleInterface* child = ReusableItemAccessible::child(index);
        const auto* control = child ? qobject_cast<const QWidget*>(child->object()) : nullptr;
        if (control && !control->isHidden())
            shown << child;
    }
    return shown;
}

int ListItemHeaderCellAccessible::childCount() const
{
    return int(shownChildren().size());
}

QAccessibleInterface* ListItemHeaderCellAccessible::child(int index) const
{
    return shownChildren().value(index);
}

int ListItemHeaderCellAccessible::indexOfChild(const QAccessibleInterface* child) const
{
    return int(shownChildren().indexOf(const_cast<QAccessibleInterface*>(child)));
}
