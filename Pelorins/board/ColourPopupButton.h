#pragma once

#include <QToolButton>

class ColourPopupButtonMenu;

// A pop-up button that shows a tag's colour as a swatch and offers the palette in its menu.
class ColourPopupButton : public QToolButton
{
    Q_OBJECT
public:
    explicit ColourPopupButton(int pos = 0, QWidget* parent = nullptr);

    ColourPopupButtonMenu* colourMenu() const { return m_menu; }
    // Shows the colour's swatch and checks its item; a colour outside the palette shows grey and
    // checks none.
    void selectItem(int colour);

private:
    ColourPopupButtonMenu* m_menu;
};
