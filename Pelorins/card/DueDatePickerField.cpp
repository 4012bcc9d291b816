#include "Pelorins/card/DueDatePickerField.h"

#include "Platform/core/ConsoleLog.h"

#include <QFocusEvent>

DueDatePickerField::DueDatePickerField(QWidget* parent)
    : QDateTimeEdit(parent)
{
}

void DueDatePickerField::focusInEvent(QFocusEvent* event)
{
    QDateTimeEdit::focusInEvent(event);
    ConsoleLog::write(QStringLiteral("DueDatePickerField become first responder ") + (hasFocus() ? "true" : "false"));
}
