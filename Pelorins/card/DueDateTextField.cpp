#include "Pelorins/card/DueDateTextField.h"

#include "PelorinsKit/model/DateHelpers.h"

DueDateTextField::DueDateTextField(QWidget* parent)
    : QLabel(parent)
{
}

void DueDateTextField::updateDisplay()
{
    setText(m_dateValue ? DateHelpers::shortTimeString(*m_dateValue) : QString());
}
