#include "Pelorins/card/TextDatePickerWithDelegate.h"

#include "Pelorins/card/TextDatePickerDelegate.h"

#include <QFocusEvent>
#include <QGraphicsDropShadowEffect>

TextDatePickerWithDelegate::TextDatePickerWithDelegate(QWidget* parent)
    : QDateEdit(parent)
{
}

void TextDatePickerWithDelegate::focusInEvent(QFocusEvent* event)
{
    QDateEdit::focusInEvent(event);
    if (m_delegate)
        m_delegate->textDatePickerDidBecomeFirstResponder();
    auto* shadow = new QGraphicsDropShadowEffect(this);
    shadow->setColor(Qt::black);
    shadow->setOffset(0, 1);
    shadow->setBlurRadius(1);
    setGraphicsEffect(shadow);
}

void TextDatePickerWithDelegate::focusOutEvent(QFocusEvent* event)
{
    QDateEdit::focusOutEvent(event);
    // A menu or pop-up of the field's own keeps the editing going.
    if (event->reason() == Qt::PopupFocusReason)
        return;
    setGraphicsEffect(nullptr);
    if (m_delegate)
        m_delegate->textDatePickerDidResignFirstResponder();
}
