#pragma once

#include "PelorinsKit/model/DisplayItem.h"

// A folder of boards and folders in the sidebar.
class Folder : public DisplayItem
{
public:
    explicit Folder(const Init& init);

    QString title() const;
    void setTitle(const QString& title);
    // Whether the sidebar shows the folder open.
    bool expanded() const;
    void setExpanded(bool expanded);

    // Sets the folder's own export mark from its children's (on only when every child's is on)
    // and tells whether the children disagree.
    bool childrenHasMixedStates();
};
