#include "Pelorins/board/ColourPopupButtonMenu.h"

#include "PelorinsKit/model/Hashtags.h"
#include "PelorinsKit/notes/NoteTextConventions.h"

#include <QActionGroup>
#include <QPainter>
#include <QPixmap>

namespace {
constexpr int swatchSize = 16;
}

ColourPopupButtonMenu::ColourPopupButtonMenu(int pos, QWidget* parent)
    : QMenu(parent)
    , m_pos(pos)
{
    auto* group = new QActionGroup(this);
    for (int colour = 0; colour < tagColourPalette().size(); ++colour) {
        QAction* item = addAction(swatch(colour), QString());
        item->setData(colour);
        item->setCheckable(true);
        group->addAction(item);
    }
    connect(this, &QMenu::triggered, this, [this](QAction* item) { emit colourChosen(m_pos, item->data().toInt()); });
}

void ColourPopupButtonMenu::selectItem(int colour)
{
    for (QAction* item : actions())
        item->setChecked(item->data().toInt() == colour);
}

std::optional<int> ColourPopupButtonMenu::selectedColour() const
{
    for (const QAction* item : actions())
        if (item->isChecked())
            return item->data().toInt();
    return std::nullopt;
}

QIcon ColourPopupButtonMenu::swatch(int colour)
{
    QPixmap pixmap(swatchSize, swatchSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(tagColour(colour).darker(130), 1));
    painter.setBrush(tagColour(colour));
    painter.drawRoundedRect(QRectF(0.5, 0.5, swatchSize - 1, swatchSize - 1), 3, 3);
    return QIcon(pixmap);
}
