#pragma once

#include <QtGlobal>
#include <optional>

// What a card's history entry records; stored as its raw value in "actionInt".
enum class ListItemAction : qint16 {
    created = 0,
    moved = 1,
    markedDone = 2,
};

constexpr std::optional<ListItemAction> listItemActionFromRawValue(int rawValue)
{
    if (rawValue < int(ListItemAction::created) || rawValue > int(ListItemAction::markedDone))
        return std::nullopt;
    return ListItemAction(rawValue);
}
