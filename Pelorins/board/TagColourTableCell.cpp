#include "Pelorins/board/TagColourTableCell.h"

#include "Pelorins/board/ColourPopupButton.h"
#include "Pelorins/board/ColourPopupButtonMenu.h"
#include "PelorinsKit/model/Tag.h"

#include <QHBoxLayout>

TagColourTableCell::TagColourTableCell(QWidget* parent)
    : QWidget(parent)
    , m_colourPopupMenu(new ColourPopupButton(0, this))
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_colourPopupMenu);
    layout->addStretch();
    connect(m_colourPopupMenu->colourMenu(), &ColourPopupButtonMenu::colourChosen, this, [this](int, int colour) {
        if (m_tag)
            emit colourChanged(m_tag, colour);
    });
}

void TagColourTableCell::setObjectValue(Tag* tag)
{
    m_tag = tag;
    m_colourPopupMenu->selectItem(tag ? tag->colour() : -1);
}
