#pragma once

#include <QProxyStyle>

// The platform's style with one change: where it marks the control the keyboard is on, it
// draws the FocusFrame, which shows on light and dark backgrounds alike, in place of its own
// faint one. As before, the frame shows once the keyboard has moved the focus.
class FocusFrameStyle : public QProxyStyle
{
    Q_OBJECT

public:
    FocusFrameStyle();

    // Makes it the application's style over the current one; once made, it stays.
    static void install();

    void drawPrimitive(
        PrimitiveElement element, const QStyleOption* option, QPainter* painter, const QWidget* widget) const override;
};
