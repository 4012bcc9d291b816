#pragma once

#include <QWidget>

// The due-date popover's content view: no state and no drawing of its own.
class DatePickerPopUpView : public QWidget
{
    Q_OBJECT

public:
    using QWidget::QWidget;
};
