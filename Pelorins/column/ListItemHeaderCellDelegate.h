#pragma once

// What a section header asks of the column that owns it.
class ListItemHeaderCellDelegate
{
public:
    virtual ~ListItemHeaderCellDelegate() = default;

    // Whether the owner's column is selected: the header shows the selected look.
    virtual bool isSelected() const = 0;
    virtual void setSelected(bool selected) = 0;
};
