#include "Pelorins/board/ColourPopupButton.h"

#include "Pelorins/board/ColourPopupButtonMenu.h"

ColourPopupButton::ColourPopupButton(int pos, QWidget* parent)
    : QToolButton(parent)
    , m_menu(new ColourPopupButtonMenu(pos, this))
{
    setMenu(m_menu);
    setPopupMode(QToolButton::InstantPopup);
    setIconSize(QSize(16, 16));
    setAutoRaise(true);
    setFocusPolicy(Qt::NoFocus);
    // The swatch follows the choice at once; whoever owns the tag may still set another.
    connect(m_menu, &ColourPopupButtonMenu::colourChosen, this,
        [this](int, int colour) { setIcon(ColourPopupButtonMenu::swatch(colour)); });
}

void ColourPopupButton::selectItem(int colour)
{
    m_menu->selectItem(colour);
    setIcon(ColourPopupButtonMenu::swatch(colour));
}
