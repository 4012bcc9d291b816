#pragma once

class ListItem;

// The part of a card that one page shows: the whole card moved up by whole page capacities and
// clipped to the page's content area. Offsets are in points on paper.
struct PrintSlice
{
    ListItem* card = nullptr;
    int index = 0;
    int strip = 0;
    int page = 0;
    // The card's left edge and its top edge (above the content area for later slices).
    double x = 0;
    double offset = 0;
    // The card's room on paper, which the next card starts below.
    double height = 0;

    bool operator==(const PrintSlice&) const = default;
};
