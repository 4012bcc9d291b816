#pragma once

#include <QDateEdit>

class TextDatePickerDelegate;

// The popover's day field: tells its delegate when editing it begins and ends, and shows a
// shadow while it is being edited.
class TextDatePickerWithDelegate : public QDateEdit
{
    Q_OBJECT

public:
    explicit TextDatePickerWithDelegate(QWidget* parent = nullptr);

    TextDatePickerDelegate* textDatePickerDalegate() const { return m_delegate; }
    void setTextDatePickerDalegate(TextDatePickerDelegate* delegate) { m_delegate = delegate; }

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    TextDatePickerDelegate* m_delegate = nullptr;
};
