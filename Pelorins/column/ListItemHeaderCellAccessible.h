#pragma once

#include "Platform/widgets/ReusableItemAccessible.h"

class ListItemHeaderCellView;

// A section header as assistive technology sees it: a heading named by its title and count as
// shown ("To Do, 3 cards", "Today, nothing done today yet"), selected with its column, with its
// bookmark among its children. Its controls that are hidden are left out: a day's header has no
// bookmark, and the title field shows only while the title is edited.
class ListItemHeaderCellAccessible : public ReusableItemAccessible
{
public:
    explicit ListItemHeaderCellAccessible(ListItemHeaderCellView* header);

    QAccessible::State state() const override;
    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;

private:
    QList<QAccessibleInterface*> shownChildren() const;
};
