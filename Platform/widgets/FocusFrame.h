#pragma once

#include <QColor>
#include <QRectF>

class QPainter;

// The frame that shows where the keyboard is, on a selected card and on a focused button: a
// ring of blue lined with a white one, each two pixels wide. The blue stands out on white and
// on dark greys and black, the white on the mid tones and pictures where the blue would sink, so
// the frame shows on any background.
class FocusFrame
{
public:
    // How far the frame reaches in from the rectangle it is drawn in.
    static constexpr qreal width = 4;
    static constexpr qreal buttonRadius = 6;

    static QColor ringColour() { return QColor(30, 120, 230); }
    static QColor liningColour() { return QColor(Qt::white); }

    // Draws the frame just inside `rect`, its outer corners rounded by `radius`.
    static void paint(QPainter& painter, const QRectF& rect, qreal radius);
};
