#include "Pelorins/common/ColorCountButtonCell.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPainter>
#include <algorithm>

ColorCountButtonCell::ColorCountButtonCell(const QString& title)
    : m_title(title)
{
}

QFont ColorCountButtonCell::font()
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPixelSize(11);
    font.setBold(true);
    return font;
}

QPointF ColorCountButtonCell::textOffset(const QSizeF& frame, const QSizeF& outline)
{
    return {(frame.width() - outline.width()) / 2 - 1, (frame.height() - outline.height()) / 2};
}

QSizeF ColorCountButtonCell::sizeThatFits(qreal height) const
{
    // Long counts widen the pill rather than being clipped or shrunk.
    const qreal textWidth = QFontMetricsF(font()).horizontalAdvance(m_title);
    return {std::max(height, textWidth + height), height};
}

QPainterPath ColorCountButtonCell::textPath(const QRectF& frame) const
{
    QPainterPath text;
    if (m_title.isEmpty())
        return text;
    text.addText(QPointF(0, 0), font(), m_title);
    const QRectF outline = text.boundingRect();
    const QPointF offset = textOffset(frame.size(), outline.size());
    return text.translated(frame.topLeft() + offset - outline.topLeft());
}

QPainterPath ColorCountButtonCell::badgePath(const QRectF& frame) const
{
    QPainterPath badge;
    const qreal radius = frame.height() / 2;
    badge.addRoundedRect(frame, radius, radius);
    // Every glyph area lies inside the pill once more, so under the odd-even rule it becomes a
    // hole while the counters of 0, 6, 8 and 9 stay filled.
    badge.addPath(textPath(frame));
    badge.setFillRule(Qt::OddEvenFill);
    return badge;
}

void ColorCountButtonCell::draw(QPainter& painter, const QRectF& frame) const
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(m_backgroundColor.value_or(QColor(Qt::yellow)));
    painter.drawPath(badgePath(frame));
    if (m_emphasized) {
        painter.setBrush(Qt::white);
        painter.drawPath(textPath(frame));
    }
    painter.restore();
}
