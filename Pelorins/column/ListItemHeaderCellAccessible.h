#pragma once

#include "Platform/widgets/ReusableItemAccessible.h"

class ListItemHeaderCellView;

// A section header as assistive technology sees it: a heading named by its title and count as
// shown ("To Do, 3 cards", "Today, nothing done today yet"), selected with its column, with its
// bookmark among its children.
class ListItemHeaderCellAccessible : public ReusableItemAccessible
{
public:
    explicit ListItemHeaderCellAccessible(ListItemHeaderCellView* header);

    QAccessible::State state() const override;
};
