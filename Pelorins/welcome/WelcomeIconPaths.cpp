#include "Pelorins/welcome/WelcomeIconPaths.h"

#include "Pelorins/welcome/WelcomePaths.h"

QPainterPath WelcomeIconPaths::calendarFrame()
{
    return WelcomePaths::roundedRectangle(QSizeF(140.241, 119.181), 10);
}

QPainterPath WelcomeIconPaths::calendarRule()
{
    return WelcomePaths::line({7.009, 5.982}, {137.232, 5.982});
}

QPainterPath WelcomeIconPaths::calendarRing()
{
    return WelcomePaths::rectangle(QSizeF(10.017, 9.932));
}

QPainterPath WelcomeIconPaths::calendarDay()
{
    return WelcomePaths::rectangle(QSizeF(20.034, 9.932));
}

QPainterPath WelcomeIconPaths::sidebarFrame()
{
    return WelcomePaths::roundedRectangle(QSizeF(128.358, 96.269), 6);
}

QPainterPath WelcomeIconPaths::sidebarDivider()
{
    return WelcomePaths::line({5.261, 6.011}, {5.261, 94.258});
}

QPainterPath WelcomeIconPaths::sidebarRow()
{
    return WelcomePaths::line({6.011, 5.261}, {14.034, 5.261});
}

QPainterPath WelcomeIconPaths::archiveLid()
{
    return WelcomePaths::roundedRectangle(QSizeF(152.779, 38.195), 4);
}

QPainterPath WelcomeIconPaths::archiveBox()
{
    return WelcomePaths::roundedRectangle(QSizeF(133.682, 95.487), 4);
}

QPainterPath WelcomeIconPaths::archiveLabel()
{
    return WelcomePaths::roundedRectangle(QSizeF(57.292, 24.644), 0.994, 0.997);
}

QPainterPath WelcomeIconPaths::plusButton()
{
    // Each long side of the plus passes through one more point, where the artwork split it.
    QPainterPath path = WelcomePaths::polyline(
        {{37.915, 37.915}, {16.249, 37.915}, {13.541, 37.915}, {13.541, 43.331}, {16.249, 43.331}, {37.915, 43.331},
            {37.915, 64.996}, {37.915, 67.705}, {43.331, 67.705}, {43.331, 64.996}, {43.331, 43.331}, {64.996, 43.331},
            {67.705, 43.331}, {67.705, 37.915}, {64.996, 37.915}, {43.331, 37.915}, {43.331, 16.249}, {43.331, 13.541},
            {37.915, 13.541}, {37.915, 16.249}},
        true);
    path.addPath(WelcomePaths::circle(81.245));
    return path;
}

QPainterPath WelcomeIconPaths::pencilBody()
{
    return WelcomePaths::polyline(
        {{85.997, 0}, {110.325, 24.328}, {31.276, 103.377}, {0, 109.992}, {7.603, 77.429}}, true);
}

QPainterPath WelcomeIconPaths::pencilTip()
{
    return WelcomePaths::line({5.898, 5.898}, {25.775, 25.775});
}

QPainterPath WelcomeIconPaths::pencilEdge()
{
    return WelcomePaths::line({83.861, 5.898}, {5.898, 83.861});
}

QPainterPath WelcomeIconPaths::tagBody()
{
    return WelcomePaths::polyline(
        {{0, 24.477}, {24.488, 0}, {85.247, 0}, {90.234, 4.988}, {90.234, 43.364}, {84.536, 49.063}, {25.713, 49.063}},
        true);
}

QPainterPath WelcomeIconPaths::tagHole()
{
    return WelcomePaths::circle(10.938);
}

QPainterPath WelcomeIconPaths::themeSun()
{
    return WelcomePaths::circle(24.055);
}

QPainterPath WelcomeIconPaths::themeFrame()
{
    return WelcomePaths::roundedRectangle(QSizeF(144.332, 112.258), 6);
}

QPainterPath WelcomeIconPaths::themeHills()
{
    return WelcomePaths::polyline({{0, 34.003}, {31.029, 0}, {70.293, 42.446}, {88.533, 20.964}, {136.519, 73.662}});
}

QPainterPath WelcomeIconPaths::clockFace()
{
    return WelcomePaths::circle(91.512);
}

QPainterPath WelcomeIconPaths::clockHands()
{
    return WelcomePaths::polyline({{0, 0}, {0, 33.893}, {23.725, 33.893}});
}
