#pragma once

class QWidget;

// The project sidebar as the main window sees it: the left-hand pane of the main split view.
// The pane's object must live as long as its view.
class SidebarPane
{
public:
    virtual ~SidebarPane() = default;

    virtual QWidget* view() = 0;

    // Reloads the tree and its counts, keeping the selected row without showing it again.
    virtual void refreshListWhileKeepingSelection() = 0;
};
