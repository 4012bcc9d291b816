#pragma once

#include <QLatin1String>
#include <array>
#include <optional>

// How far ahead a due date counts as due soon. Stored as its raw value under "dueSoonDefinition";
// the test itself is DateHelpers::dueSoon.
enum class DueSoonDefinition {
    dueToday = 0,
    due24hours = 1,
    due2days = 2,
    due3days = 3,
    due4days = 4,
    due5days = 5,
    due1week = 6,
};

inline constexpr QLatin1String dueSoonDefinitionKey("dueSoonDefinition");

inline constexpr std::array<DueSoonDefinition, 7> dueSoonDefinitionAllCases = {
    DueSoonDefinition::dueToday,
    DueSoonDefinition::due24hours,
    DueSoonDefinition::due2days,
    DueSoonDefinition::due3days,
    DueSoonDefinition::due4days,
    DueSoonDefinition::due5days,
    DueSoonDefinition::due1week,
};

// Empty for a raw value that names no case, such as a preference written by a later version.
constexpr std::optional<DueSoonDefinition> dueSoonDefinitionFromRawValue(int rawValue)
{
    if (rawValue < int(DueSoonDefinition::dueToday) || rawValue > int(DueSoonDefinition::due1week))
        return std::nullopt;
    return DueSoonDefinition(rawValue);
}
