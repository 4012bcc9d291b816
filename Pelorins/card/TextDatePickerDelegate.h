#pragma once

// What the popover's day field tells its owner: editing it began or ended.
class TextDatePickerDelegate
{
public:
    virtual ~TextDatePickerDelegate() = default;

    virtual void textDatePickerDidBecomeFirstResponder() = 0;
    virtual void textDatePickerDidResignFirstResponder() = 0;
};
