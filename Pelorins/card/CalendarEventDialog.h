#pragma once

#include <QDialog>

struct CalendarEvent;
class QLabel;

// Shows one event of the user's calendars, as a card's calendar link leads to it: its title, its
// calendar, when it takes place and its notes, all as plain text.
class CalendarEventDialog : public QDialog
{
    Q_OBJECT

public:
    explicit CalendarEventDialog(const CalendarEvent& event, QWidget* parent = nullptr);

    QString titleText() const;
    QString calendarText() const;
    QString timeText() const;
    QString notesText() const;

private:
    QLabel* m_title = nullptr;
    QLabel* m_calendar = nullptr;
    QLabel* m_time = nullptr;
    QLabel* m_notes = nullptr;
};
