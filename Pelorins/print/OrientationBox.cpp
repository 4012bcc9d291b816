#include "Pelorins/print/OrientationBox.h"

#include "Platform/widgets/FocusFrame.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

OrientationBox::OrientationBox(QPageLayout::Orientation orientation, QWidget* parent)
    : QWidget(parent)
    , m_orientation(orientation)
{
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setAccessibleName(orientation == QPageLayout::Portrait ? QStringLiteral("Portrait") : QStringLiteral("Landscape"));
}

void OrientationBox::setBorderWidth(int width)
{
    m_borderWidth = width;
    update();
}

void OrientationBox::setTickShown(bool shown)
{
    m_tickShown = shown;
    update();
}

void OrientationBox::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor frame = m_borderWidth > 1 ? palette().color(QPalette::Highlight) : QColor(0xb0, 0xb0, 0xb0);
    const qreal inset = m_borderWidth / 2.0;
    painter.setPen(QPen(frame, m_borderWidth));
    painter.setBrush(palette().color(QPalette::Base));
    painter.drawRoundedRect(QRectF(rect()).adjusted(inset, inset, -inset, -inset), 6, 6);

    // The sheet, with a few lines of text on it.
    const QSizeF sheetSize = m_orientation == QPageLayout::Portrait ? QSizeF(34, 46) : QSizeF(46, 34);
    const QRectF sheet(QPointF((width() - sheetSize.width()) / 2, (height() - sheetSize.height()) / 2), sheetSize);
    painter.setPen(QPen(QColor(0x60, 0x60, 0x60), 1));
    painter.setBrush(Qt::white);
    painter.drawRect(sheet);
    painter.setPen(QPen(QColor(0xa0, 0xa0, 0xa0), 1));
    for (qreal y = sheet.top() + 7; y < sheet.bottom() - 5; y += 5)
        painter.drawLine(QPointF(sheet.left() + 5, y), QPointF(sheet.right() - 5, y));

    if (hasFocus())
        FocusFrame::paint(painter, rect(), 6);
    if (!m_tickShown)
        return;
    const QRectF badge(width() - 24, height() - 24, 18, 18);
    painter.setPen(Qt::NoPen);
    painter.setBrush(palette().color(QPalette::Highlight));
    painter.drawEllipse(badge);
    QPainterPath tick;
    tick.moveTo(badge.left() + 4.5, badge.top() + 9.5);
    tick.lineTo(badge.left() + 7.5, badge.top() + 12.5);
    tick.lineTo(badge.left() + 13.5, badge.top() + 5.5);
    painter.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(tick);
}

void OrientationBox::focusInEvent(QFocusEvent* event)
{
    QWidget::focusInEvent(event);
    update();
}

void OrientationBox::focusOutEvent(QFocusEvent* event)
{
    QWidget::focusOutEvent(event);
    update();
}

void OrientationBox::keyPressEvent(QKeyEvent* event)
{
    // Chosen from the keyboard as by a click.
    if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        emit tapped();
        return;
    }
    QWidget::keyPressEvent(event);
}

void OrientationBox::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit tapped();
}
