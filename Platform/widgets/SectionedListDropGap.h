#pragma once

#include "Platform/core/IndexPath.h"

#include <QMap>
#include <optional>

// Where dragged rows would land, and how much room to open for them. Rows dragged out of the
// same list carry their own heights so that the rows between their old place and the drop
// position can close up behind them; rows coming from elsewhere open one gap of
// `incomingHeight`.
struct SectionedListDropGap
{
    IndexPath position;
    bool draggedFromThisList = false;
    QMap<IndexPath, int> draggedItemHeights;
    std::optional<IndexPath> dragOrigin;
    int incomingHeight = 0;

    friend bool operator==(const SectionedListDropGap&, const SectionedListDropGap&) = default;
};
