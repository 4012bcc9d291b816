#pragma once

class DisplayItem;
class QWidget;

// What the sidebar and the board's info panel need of the main window: the item it shows.
class PelorinsMainWindow
{
public:
    virtual ~PelorinsMainWindow() = default;

    virtual DisplayItem* currentDisplayItem() const = 0;
    virtual QWidget* window() const = 0;
    // Clears the export mark of the item shown so far (also when it is `item` again), stores
    // `item` and retitles the window after it when it is a board with a title.
    virtual void setCurrentDisplayItem(DisplayItem* item) = 0;
    // Gives the item shown the colour `tag` (a palette index). Nothing is saved here.
    virtual void setColour(int tag) = 0;
};
