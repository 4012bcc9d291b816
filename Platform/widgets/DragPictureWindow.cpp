#include "Platform/widgets/DragPictureWindow.h"

#include <QBitmap>
#include <QPainter>

DragPictureWindow::DragPictureWindow()
    : QWidget(nullptr,
          Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowTransparentForInput | Qt::WindowDoesNotAcceptFocus
              | Qt::BypassWindowManagerHint)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_ShowWithoutActivating);
}

void DragPictureWindow::setPicture(const QPixmap& picture, const QPoint& hotSpot)
{
    m_picture = picture;
    m_hotSpot = hotSpot;
    resize(picture.deviceIndependentSize().toSize().expandedTo(QSize(1, 1)));
    // Without a compositor the transparent corners would show black: the shape keeps them out.
    if (!picture.isNull())
        setMask(picture.mask().isNull() ? QRegion(rect()) : QRegion(QBitmap(picture.mask().scaled(size()))));
    follow(m_pointer);
    update();
}

void DragPictureWindow::follow(const QPoint& screenPoint)
{
    m_pointer = screenPoint;
    move(screenPoint - m_hotSpot);
}

void DragPictureWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(rect(), Qt::transparent);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.drawPixmap(0, 0, m_picture);
}
