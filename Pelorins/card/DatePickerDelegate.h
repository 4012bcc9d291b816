#pragma once

#include <QDateTime>
#include <QString>
#include <optional>

class CalendarStore;
class ListItem;
class NotesTextView;
class ReminderCenter;
class UserDefaults;

// What the due-date popover asks of the card cell that opened it.
class DatePickerDelegate
{
public:
    virtual ~DatePickerDelegate() = default;

    // The date now chosen; none: no due date.
    virtual void datePickedWithDate(const std::optional<QDateTime>& date) = 0;
    // The card; null without one.
    virtual ListItem* objectValue() const = 0;
    // The card's link; none without a card.
    virtual std::optional<QString> listItemURLString() const = 0;
    // The card's notes editor, which calendar links go into.
    virtual NotesTextView* noteTextView() const = 0;
    // The user's calendars; null without them.
    virtual CalendarStore* eventStore() const = 0;
    // Where the card's reminder is scheduled; null without one.
    virtual ReminderCenter* reminderCenter() const = 0;
    // Where the due-soon setting is read.
    virtual UserDefaults& userDefaults() const = 0;
    // The card changed outside its notes (a calendar link): save a little later.
    virtual void requestDeferredSave() = 0;
};
