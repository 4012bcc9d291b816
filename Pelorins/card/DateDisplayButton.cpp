#include "Pelorins/card/DateDisplayButton.h"

#include "Pelorins/common/AppConstants.h"
#include "Pelorins/common/ColourHelpers.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/model/DateHelpers.h"
#include "PelorinsKit/model/LocalizedString.h"
#include "PelorinsKit/notes/NoteTextConventions.h"

#include <QFontMetricsF>
#include <QPainter>

namespace {

// The calendar glyph of a card without a due date: a sheet with two rings and a grid of days,
// in the text colour of the palette at half strength, in an 18 x 18 box.
void drawCalendarIcon(QPainter& painter, const QColor& ink)
{
    painter.setPen(QPen(ink, 1.2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(2.5, 3.5, 13, 12), 2, 2);
    painter.drawLine(QPointF(2.5, 7), QPointF(15.5, 7));
    painter.drawLine(QPointF(6, 2), QPointF(6, 5));
    painter.drawLine(QPointF(12, 2), QPointF(12, 5));
    painter.setPen(Qt::NoPen);
    painter.setBrush(ink);
    for (int row = 0; row < 2; ++row)
        for (int column = 0; column < 3; ++column)
            painter.drawRect(QRectF(5 + column * 3, 9 + row * 3, 1.6, 1.6));
}

constexpr qreal horizontalMargin = 4;

} // namespace

DateDisplayButton::DateDisplayButton(QWidget* parent)
    : QAbstractButton(parent)
{
}

void DateDisplayButton::updateDateDisplay(const QDateTime& now)
{
    m_showsIcon = !m_dateValue;
    if (m_dateValue)
        setText(DateHelpers::stringForDuedateCell(*m_dateValue, now));
    // Named by what it shows: the due text, or what the calendar icon offers. The text stays as
    // it was under the icon, and must never name a badge that shows none.
    setAccessibleName(m_dateValue ? text() : local(QStringLiteral("Set Due Date")));
    updateGeometry();
    update();
}

void DateDisplayButton::setBackgroundColour(const std::optional<QColor>& colour)
{
    m_backgroundColour = colour;
    update();
}

void DateDisplayButton::setTextColour(const QColor& colour)
{
    m_textColour = colour;
    update();
}

QColor DateDisplayButton::badgeColour(const ListItem& card, const QDateTime& now, const UserDefaults& defaults)
{
    if (card.done())
        return QColor(170, 170, 170);
    if (card.isOverdue(now))
        return badgeRedColour();
    if (card.isDueSoon(now, defaults))
        return badgeOrangeColour();
    return badgeGreyColour();
}

void DateDisplayButton::setScale(qreal scale)
{
    if (scale == m_scale || !(scale > 0))
        return;
    m_scale = scale;
    updateGeometry();
    update();
}

QColor DateDisplayButton::fillColour() const
{
    const QColor colour = m_backgroundColour.value_or(QColor(Qt::green));
    return isDown() && m_backgroundColour ? darker(colour) : colour;
}

QFont DateDisplayButton::titleFont() const
{
    return systemFontOfSize(12, QFont::Light);
}

QSize DateDisplayButton::sizeHint() const
{
    if (m_showsIcon)
        return QSize(iconSize, iconSize) * m_scale;
    const qreal textWidth = QFontMetricsF(titleFont()).horizontalAdvance(text()) + 2 * horizontalMargin;
    return QSizeF((textWidth + 8) * m_scale, badgeHeight * m_scale).toSize();
}

void DateDisplayButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    draw(painter);
}

void DateDisplayButton::draw(QPainter& painter) const
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(m_scale, m_scale);
    const QRectF frame(0, 0, width() / m_scale, height() / m_scale);
    if (m_showsIcon) {
        QColor ink = palette().color(QPalette::Text);
        ink.setAlphaF(0.5);
        drawCalendarIcon(painter, ink);
    } else {
        painter.setPen(Qt::NoPen);
        painter.setBrush(fillColour());
        const qreal radius = frame.height() / 6;
        painter.drawRoundedRect(frame, radius, radius);
        painter.setPen(m_textColour);
        painter.setFont(titleFont());
        painter.drawText(frame, Qt::AlignCenter, text());
    }
    painter.restore();
}
