#pragma once

#include <QPainterPath>

// The outlines of the eight application icons on the first page (calendar, sidebar, archive
// box, plus button, pencil, tag, theme picture and clock), in the coordinates of the shape that
// draws each part. The page's hidden vector row draws them as they are; the artwork strokes them
// into the pictures of the row that shows.
class WelcomeIconPaths
{
public:
    static QPainterPath calendarFrame();
    static QPainterPath calendarRule();
    static QPainterPath calendarRing();
    static QPainterPath calendarDay();
    static QPainterPath sidebarFrame();
    static QPainterPath sidebarDivider();
    static QPainterPath sidebarRow();
    static QPainterPath archiveLid();
    static QPainterPath archiveBox();
    static QPainterPath archiveLabel();
    // A plus sign cut out of a disc, under the even-odd rule.
    static QPainterPath plusButton();
    static QPainterPath pencilBody();
    static QPainterPath pencilTip();
    static QPainterPath pencilEdge();
    static QPainterPath tagBody();
    static QPainterPath tagHole();
    static QPainterPath themeSun();
    static QPainterPath themeFrame();
    static QPainterPath themeHills();
    static QPainterPath clockFace();
    static QPainterPath clockHands();
};
