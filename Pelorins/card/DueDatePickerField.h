#pragma once

#include <QDateTimeEdit>

// A date and time field that logs when it takes the keyboard focus.
class DueDatePickerField : public QDateTimeEdit
{
    Q_OBJECT

public:
    explicit DueDatePickerField(QWidget* parent = nullptr);

protected:
    void focusInEvent(QFocusEvent* event) override;
};
