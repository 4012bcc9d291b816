#pragma once

#include "PelorinsKit/notes/NoteTextConventions.h"

#include <QColor>
#include <QLatin1String>

// Names, measures, colours and drag types that several parts of the program share. The tag
// palette is the framework's tagColourPalette(): a tag's colour number indexes it.

// The factory name under which the main window and the panes opened by name are found.
inline constexpr QLatin1String mainStoryboardName("Main");

// A board column's width before the board's magnification, and a card's padding.
inline constexpr double kanbanColumnWidth = 300.0;
inline constexpr double kanbanCellPadding = 8.0;

inline constexpr QLatin1String listItemHeaderCellViewIdentifier("ListItemHeaderCellView");
inline constexpr QLatin1String listItemCellViewIdentifier("ListItemCellView");
inline constexpr QLatin1String kanbanColumnListItemIdentifier("KanbanColumnListItem");
inline constexpr QLatin1String printableItemCellViewIdentifier("PrintableItemCellView");
inline constexpr QLatin1String printableHeaderViewIdentifier("PrintableHeaderView");

// Count badges of the sidebar and badge buttons.
inline QColor badgeRedColour()
{
    return tagColourPalette().at(0);
}
inline QColor badgeOrangeColour()
{
    return tagColourPalette().at(1);
}
inline QColor badgeGreyColour()
{
    return tagColourPalette().at(6);
}

// The "on" colour of check buttons and the fill behind a column.
inline QColor accentBlueColour()
{
    return QColor::fromRgbF(48 / 255.0, 144 / 255.0, 255 / 255.0, 1.0);
}

// Drag and clipboard types.
// Dragged cards, carried as their object URIs: UTF-8 text, one per line.
inline constexpr QLatin1String listItemPasteboardType("application/x-pelorins-list-item");
// Copied stages and cards: UTF-8 JSON arrays of their nodes.
inline constexpr QLatin1String columnDataPasteboardType("application/x-pelorins-column-data");
inline constexpr QLatin1String cardDataPasteboardType("application/x-pelorins-card-data");
// Dragged rows of the sidebar; only the sidebar reads it.
inline constexpr QLatin1String sourceItemPasteboardType("application/x-pelorins-source-item");
// Files and web links both arrive as a URI list.
inline constexpr QLatin1String fileURLPasteboardType("text/uri-list");
inline constexpr QLatin1String urlPasteboardType("text/uri-list");
inline constexpr QLatin1String filenamesPasteboardType("text/uri-list");
// A mail message dropped from a mail program: the message itself.
inline constexpr QLatin1String mailMessagePasteboardType("message/rfc822");
