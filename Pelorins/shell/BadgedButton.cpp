#include "Pelorins/shell/BadgedButton.h"

#include "Pelorins/common/AppConstants.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPainter>

BadgedButton::BadgedButton(QWidget* parent)
    : QToolButton(parent)
    , m_badgeColour(badgeGreyColour())
{
}

void BadgedButton::setCount(int count)
{
    m_count = count;
    update();
}

void BadgedButton::setBadgeColour(const QColor& badgeColour)
{
    m_badgeColour = badgeColour;
    update();
}

QRectF BadgedButton::badgeRect() const
{
    if (m_count < 1)
        return {};
    const qreal textWidth = QFontMetricsF(badgeFont()).boundingRect(QString::number(m_count)).width();
    return QRectF(width() - textWidth - 6, 2, textWidth + 6, 10);
}

void BadgedButton::paintEvent(QPaintEvent* event)
{
    QToolButton::paintEvent(event);
    if (m_count < 1)
        return;
    const QRectF pill = badgeRect();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(m_badgeColour);
    painter.drawRoundedRect(pill, 5, 5);
    painter.setPen(Qt::white);
    painter.setFont(badgeFont());
    painter.drawText(
        QRectF(pill.left() + 3, 0, pill.width(), 12), Qt::AlignLeft | Qt::AlignVCenter, QString::number(m_count));
}

QFont BadgedButton::badgeFont() const
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPixelSize(9);
    font.setBold(true);
    return font;
}
