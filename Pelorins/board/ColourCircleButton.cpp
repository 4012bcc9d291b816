#include "Pelorins/board/ColourCircleButton.h"

#include "Pelorins/board/BoardColourPalette.h"

#include <QPainter>
#include <algorithm>

ColourCircleButton::ColourCircleButton(QWidget* parent)
    : QAbstractButton(parent)
{
    setCheckable(true);
    setCursor(Qt::PointingHandCursor);
}

void ColourCircleButton::setTag(int tag)
{
    m_tag = tag;
    const QColor colour = boardColour(tag);
    m_colour = colour;
    m_strokeColour = QColor::fromRgbF(std::max(0.0f, colour.redF() - 0.2f), std::max(0.0f, colour.greenF() - 0.2f),
        std::max(0.0f, colour.blueF() - 0.2f));
    update();
}

QSize ColourCircleButton::sizeHint() const
{
    return QSize(int(outerRingSize), int(outerRingSize));
}

void ColourCircleButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // The swatches are square: the width places both circles.
    const qreal width = this->width();
    if (isChecked()) {
        const qreal offset = (width - outerRingSize) / 2;
        painter.setPen(QPen(m_outerStrokeColour, 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(QRectF(offset + 0.5, offset + 0.5, outerRingSize - 1, outerRingSize - 1));
    }
    if (m_colour && m_strokeColour) {
        const qreal offset = (width - innerRingSize) / 2;
        painter.setPen(QPen(*m_strokeColour, 1));
        painter.setBrush(*m_colour);
        painter.drawEllipse(QRectF(offset + 0.5, offset + 0.5, innerRingSize - 1, innerRingSize - 1));
    }
}
