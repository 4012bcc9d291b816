#pragma once

#include <array>
#include <optional>

// When the reminder for a card's due date fires: the choices of the due-date reminder menu.
enum class PLDueAlertTime {
    none = 0,
    dueSoon = 1,
    overDue = 2,
    hourBefore = 3,
    twoHoursBefore = 4,
    dayBefore = 5,
    twoDaysBefore = 6,
    custom = 7,
};

inline constexpr std::array<PLDueAlertTime, 8> plDueAlertTimeAllCases = {
    PLDueAlertTime::none,
    PLDueAlertTime::dueSoon,
    PLDueAlertTime::overDue,
    PLDueAlertTime::hourBefore,
    PLDueAlertTime::twoHoursBefore,
    PLDueAlertTime::dayBefore,
    PLDueAlertTime::twoDaysBefore,
    PLDueAlertTime::custom,
};

constexpr std::optional<PLDueAlertTime> plDueAlertTimeFromRawValue(int rawValue)
{
    if (rawValue < int(PLDueAlertTime::none) || rawValue > int(PLDueAlertTime::custom))
        return std::nullopt;
    return PLDueAlertTime(rawValue);
}
