#pragma once

class QWidget;

// The main split view as the board inside it sees it: the sidebar beside the board and the
// window's search. The host's object must live as long as its view.
class BoardHost
{
public:
    virtual ~BoardHost() = default;

    virtual QWidget* view() = 0;

    // The sidebar's width as shown: 0 while it is collapsed or when there is none.
    virtual int shownSidebarWidth() const = 0;
    // Reloads the sidebar's tree and its counts, keeping the selected row without showing it
    // again.
    virtual void refreshSidebarListWhileKeepingSelection() = 0;
    // Drops the search the board applies, and has the window's search field emptied.
    virtual void clearSearchField() = 0;
};
