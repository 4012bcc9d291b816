#include "Platform/widgets/DragPictureWindow.h"

#include <QBitmap>
#include <QPainter>
#include <QWindow>

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

void DragPictureWindow::setVisible(bool visible)
{
    QWidget::setVisible(visible);
    // On X11 the native window made on the way to the screen can lack the empty input region the
    // flag asks for, and then a drop lands on the picture instead of what lies under the pointer.
    // Setting the flag again once the window is up gives it its region.
    if (QWindow* window = windowHandle(); visible && window) {
        window->setFlag(Qt::WindowTransparentForInput, false);
        window->setFlag(Qt::WindowTransparentForInput, true);
    }
}

void DragPictureWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(rect(), Qt::transparent);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.drawPixmap(0, 0, m_picture);
}
