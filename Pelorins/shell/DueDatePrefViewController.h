#pragma once

#include <QWidget>

class QComboBox;
class QTimeEdit;
class UserDefaults;

// The due-date pane: the time of day a new due date falls due ("dueHour", "dueMinute"), and how
// far ahead a card counts as due soon ("dueSoonDefinition").
class DueDatePrefViewController : public QWidget
{
    Q_OBJECT
public:
    explicit DueDatePrefViewController(UserDefaults& defaults, QWidget* parent = nullptr);

    QTimeEdit* dueTimePicker() const { return m_dueTimePicker; }
    QComboBox* dueSoonPopUpButton() const { return m_dueSoonPopUpButton; }

    // Stores the picked hour and minute; readers see them the next time they ask.
    void timeChanged(QTimeEdit* sender);
    // Stores the chosen definition and tells the program.
    void definitionChanged(QComboBox* sender);

private:
    void viewDidLoad();

    UserDefaults& m_defaults;
    QTimeEdit* m_dueTimePicker = nullptr;
    QComboBox* m_dueSoonPopUpButton = nullptr;
};
