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
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal unit = width() / qreal(defaultWidth);
    painter.scale(unit, unit);
    const QColor ink = palette().color(QPalette::Text);
    painter.setPen(QPen(ink, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(0.5, 0.5, defaultWidth - 1, defaultWidth - 1), 4, 4);
    if (!isChecked())
        return;
    QPainterPath tick;
    tick.moveTo(4, 8.5);
    tick.lineTo(7, 11.5);
    tick.lineTo(12, 4.5);
    painter.setPen(QPen(ink, 1.5, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    painter.drawPath(tick);
}
