#pragma once

#include <QIcon>

// The toolbar's symbols, drawn in code so that they follow the palette's text colour.
namespace ToolbarSymbols {
QIcon sidebarLeft();
QIcon photoOnRectangle();
QIcon tag();
QIcon magnifyingGlass();
}
