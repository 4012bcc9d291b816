#include "Pelorins/card/PrintableCheckButton.h"

#include <QPainter>
#include <QPainterPath>

PrintableCheckButton::PrintableCheckButton(QWidget* parent)
    : QAbstractButton(parent)
{
    setCheckable(true);
    // Printed boxes carry their line's state only; a click must not change it.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
}

void PrintableCheckButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    draw(painter);
}

void PrintableCheckButton::draw(QPainter& painter) const
{
    draw(painter, width(), isChecked());
}

void PrintableCheckButton::draw(QPainter& painter, int width, bool checked)
{
    // Paper shows no state colours: a done item is a light grey box with a white tick, an open
    // one an empty box, both outlined in black.
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal unit = width / qreal(defaultWidth);
    painter.scale(unit, unit);
    const QRectF box(0.5, 0.5, defaultWidth - 1, defaultWidth - 1);
    if (checked) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(Qt::lightGray));
        painter.drawRoundedRect(box, 4, 4);
    }
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(box, 4, 4);
    if (checked) {
        QPainterPath tick;
        tick.moveTo(2, 9);
        tick.lineTo(5, 12);
        tick.lineTo(13, 4);
        painter.setPen(QPen(Qt::white, 1.5, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
        painter.drawPath(tick);
    }
    painter.restore();
}
