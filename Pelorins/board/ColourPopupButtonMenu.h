#pragma once

#include <QIcon>
#include <QMenu>

// The menu of a tag's colour pop-up: one swatch per colour of the tag palette, each item's data
// its colour number. `pos` is the row of the tag whose colour it sets.
class ColourPopupButtonMenu : public QMenu
{
    Q_OBJECT
public:
    explicit ColourPopupButtonMenu(int pos = 0, QWidget* parent = nullptr);

    int pos() const { return m_pos; }
    void setPos(int pos) { m_pos = pos; }

    // Checks the item of the colour; a colour outside the palette checks none.
    void selectItem(int colour);
    // The checked item's colour; none when no item is checked.
    std::optional<int> selectedColour() const;

    // A 16 x 16 swatch of the tag colour (grey outside the palette).
    static QIcon swatch(int colour);

signals:
    // The user chose a colour from the menu.
    void colourChosen(int pos, int colour);

private:
    int m_pos = 0;
};
