#pragma once

// What an overlay scroller asks of the view it scrolls.
class VerticalScrollerDelegate
{
public:
    virtual ~VerticalScrollerDelegate() = default;

    // Whether the pointer lies over the scrolled area now.
    virtual bool mouseIsWithinBounds() const = 0;
};
