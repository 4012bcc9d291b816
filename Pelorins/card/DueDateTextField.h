#pragma once

#include <QDateTime>
#include <QLabel>
#include <optional>

// The time a card was done, shown in the user's short time format.
class DueDateTextField : public QLabel
{
    Q_OBJECT

public:
    explicit DueDateTextField(QWidget* parent = nullptr);

    std::optional<QDateTime> dateValue() const { return m_dateValue; }
    void setDateValue(const std::optional<QDateTime>& date) { m_dateValue = date; }
    // The date's time, or nothing without a date.
    void updateDisplay();

private:
    std::optional<QDateTime> m_dateValue;
};
