#pragma once

// Where a card view is shown.
enum class ListItemCellViewPresentedInContext {
    listView,
    kanbanColumn,
};
