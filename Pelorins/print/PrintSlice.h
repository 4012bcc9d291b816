#pragma once

class ListItem;

// The part of a card that one page shows: from `top` to `bottom` of the card, the card moved up
// so that its part starts at the top of the page's content area. A card taller than a page is
// cut between lines of its notes, so that each line is on one page, whole. Offsets are in points
// on paper.
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
    // The part of the card on this page, from the card's top.
    double top = 0;
    double bottom = 0;

    bool operator==(const PrintSlice&) const = default;
};
