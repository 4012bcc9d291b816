#pragma once

#include <QPixmap>
#include <QPoint>
#include <QWidget>

// The picture that follows the pointer while a drag runs. The window system's own drag picture
// is fixed once a drag starts; this one can change on the way, and it takes no input, so drops
// go to what lies under it.
class DragPictureWindow : public QWidget
{
    Q_OBJECT

public:
    DragPictureWindow();

    // `hotSpot` is the point of the picture that stays under the pointer.
    void setPicture(const QPixmap& picture, const QPoint& hotSpot);
    QPixmap picture() const { return m_picture; }
    QPoint hotSpot() const { return m_hotSpot; }
    // Puts the hot spot at `screenPoint`.
    void follow(const QPoint& screenPoint);
    void setVisible(bool visible) override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap m_picture;
    QPoint m_hotSpot;
    QPoint m_pointer;
};
