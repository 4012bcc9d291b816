#pragma once

class DisplayItem;

// Told when the user ticks or clears a row's check box in the archive sheet; the row's export
// mark has changed already.
class ItemCheckedDelegate
{
public:
    virtual ~ItemCheckedDelegate() = default;
    virtual void exportItemChecked(DisplayItem* item) = 0;
};
