#include "Pelorins/column/AddButton.h"

#include "Pelorins/common/AppConstants.h"

#include <QPainter>

AddButton::AddButton(QWidget* parent)
    : QAbstractButton(parent)
    , m_colour(palette().color(QPalette::PlaceholderText))
{
    setFocusPolicy(Qt::NoFocus);
}

void AddButton::setColour(const QColor& colour)
{
    m_colour = colour;
    update();
}

void AddButton::setScale(qreal scale)
{
    if (!(scale > 0))
        return;
    m_scale = scale;
    update();
}

void AddButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(m_scale, m_scale);
    const qreal w = width() / m_scale;
    const qreal h = height() / m_scale;
    QColor stroke = m_colour;
    if (isDown()) {
        painter.fillRect(QRectF(0, 0, w, h), accentBlueColour());
        stroke = palette().color(QPalette::HighlightedText);
    }
    painter.setPen(QPen(stroke, 1.0));
    painter.drawLine(QPointF(m_padding, h / 2), QPointF(w - m_padding, h / 2));
    painter.drawLine(QPointF(w / 2, m_padding), QPointF(w / 2, h - m_padding));
}
