#pragma once

// The sidebar's commands that add and copy items. A sidebar pane that offers them also derives
// from this; until it does, the main window's menu items for them stay disabled.
class SidebarEditing
{
public:
    virtual ~SidebarEditing() = default;

    // Adds "untitled folder" next to the selected row, saves, selects it and edits its title.
    virtual void addFolder() = 0;
    // Adds "untitled project" with one stage next to the selected row, likewise.
    virtual void addKanban() = 0;
    // Duplicates the selected item next to it and selects the copy.
    virtual void duplicateItem() = 0;
};
