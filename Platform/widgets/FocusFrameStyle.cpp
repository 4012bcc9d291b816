#include "Platform/widgets/FocusFrameStyle.h"

#include "Platform/widgets/FocusFrame.h"

#include <QApplication>
#include <QStyleOption>

FocusFrameStyle::FocusFrameStyle() = default;

void FocusFrameStyle::install()
{
    if (!qobject_cast<FocusFrameStyle*>(QApplication::style()))
        QApplication::setStyle(new FocusFrameStyle);
}

void FocusFrameStyle::drawPrimitive(
    PrimitiveElement element, const QStyleOption* option, QPainter* painter, const QWidget* widget) const
{
    const bool keyboardFocus
        = option->state.testFlag(State_HasFocus) && option->state.testFlag(State_KeyboardFocusChange);
    switch (element) {
    case PE_FrameFocusRect:
        // Around what the style would mark (a check box's label, a tool button's face), not on it.
        if (option->state.testFlag(State_KeyboardFocusChange))
            FocusFrame::paint(*painter, QRectF(option->rect).adjusted(-2, -2, 2, 2), FocusFrame::buttonRadius);
        return;
    case PE_PanelButtonCommand:
        // A push button marks its focus in its own face.
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        if (keyboardFocus)
            FocusFrame::paint(*painter, option->rect, FocusFrame::buttonRadius);
        return;
    default:
        QProxyStyle::drawPrimitive(element, option, painter, widget);
    }
}
