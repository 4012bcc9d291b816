#include "Pelorins/shell/EnglishTexts.h"

#include "PelorinsKit/model/LocalizedString.h"

#include <QHash>
#include <QSet>

namespace {

// Keys that are their own English text.
const QSet<QString>& plainTexts()
{
    static const QSet<QString> texts {
        QStringLiteral("Add Card Above"),
        QStringLiteral("Add Card Below"),
        QStringLiteral("Delete"),
        QStringLiteral("Item History"),
        QStringLiteral("Make Checklist"),
        QStringLiteral("Attach File…"),
        QStringLiteral("all day"),
        QStringLiteral("Clear"),
        QStringLiteral("Alert:"),
        QStringLiteral("100%"),
        QStringLiteral("Unmark Done"),
        QStringLiteral("Title"),
        QStringLiteral("Text Style"),
        QStringLiteral("Paste"),
        QStringLiteral("Mark Done"),
        QStringLiteral("Header"),
        QStringLiteral("Flag"),
        QStringLiteral("F&ormat"),
        QStringLiteral("Expand"),
        QStringLiteral("Cut"),
        QStringLiteral("Copy"),
        QStringLiteral("Collapse"),
        QStringLiteral("Checklist"),
        QStringLiteral("Body"),
        QStringLiteral("Add Attachment"),
        QStringLiteral("50%"),
        QStringLiteral("75%"),
        QStringLiteral("A card is due soon when it is due:"),
        QStringLiteral("Add Example Projects"),
        QStringLiteral("Add Section"),
        QStringLiteral("Background"),
        QStringLiteral("Background Image"),
        QStringLiteral("&Board"),
        QStringLiteral("Cancel"),
        QStringLiteral("Add Section Before"),
        QStringLiteral("Add Section After"),
        QStringLiteral("Delete Section"),
        QStringLiteral("Rename Section"),
        QStringLiteral("Change Tag Color"),
        QStringLiteral("A tag with this name already exists. Are you sure you want to rename it?"),
        QStringLiteral("Renaming it, will merge "),
        QStringLiteral(" with "),
        QStringLiteral("Rename"),
        QStringLiteral("Rename Tag"),
        QStringLiteral("Tag"),
        QStringLiteral("This board has no tags yet. Write #name in a card to add one."),
        QStringLiteral("Clear All"),
        QStringLiteral("Edit"),
        QStringLiteral("Done"),
        QStringLiteral("Cards fall due at:"),
        QStringLiteral("Choose a Calendar Folder"),
        QStringLiteral("Choose files to attach."),
        QStringLiteral("Close Window"),
        QStringLiteral("Colour"),
        QStringLiteral("Could not save changes while quitting. Quit anyway?"),
        QStringLiteral("Due today"),
        QStringLiteral("Duplicate"),
        QStringLiteral("&Edit"),
        QStringLiteral("Export…"),
        QStringLiteral("&File"),
        QStringLiteral("Find"),
        QStringLiteral("Get Offset"),
        QStringLiteral("&Help"),
        QStringLiteral("Hide Sidebar"),
        QStringLiteral("Import…"),
        QStringLiteral("Insert Section After"),
        QStringLiteral("Insert Section Before"),
        QStringLiteral("Jump to Bookmarked Section"),
        QStringLiteral("License Agreement"),
        QStringLiteral("Mark Done or Undone"),
        QStringLiteral("New Board"),
        QStringLiteral("New Card Above"),
        QStringLiteral("New Card Below"),
        QStringLiteral("New Folder"),
        QStringLiteral("OK"),
        QStringLiteral("Open this address in a web browser:"),
        QStringLiteral("Pelorins cannot open its data."),
        QStringLiteral("%1 is in use by another program. Quit it, then choose Try Again."),
        QStringLiteral("Try Again"),
        QStringLiteral("Pelorins cannot save changes."),
        QStringLiteral("%1 cannot be written: you can read, but changes are not kept."),
        QStringLiteral("Pelorins is free software under the GNU General Public License, version 3 or later."),
        QStringLiteral("Pelorins Support"),
        QStringLiteral("Preferences"),
        QStringLiteral("Preferences…"),
        QStringLiteral("Print Responder Chain"),
        QStringLiteral("Print Setup…"),
        QStringLiteral("Print Test Page"),
        QStringLiteral("Project Recovery…"),
        QStringLiteral("Project Settings…"),
        QStringLiteral("Quit"),
        QStringLiteral("Quit anyway"),
        QStringLiteral("Quit Pelorins"),
        QStringLiteral("Quitting now will lose any changes you have made since the last successful save"),
        QStringLiteral("Redo"),
        QStringLiteral("Reset Button Tutorials"),
        QStringLiteral("Save"),
        QStringLiteral("Search"),
        QStringLiteral("Show or Hide Sidebar"),
        QStringLiteral("Show Sidebar"),
        QStringLiteral("Tags…"),
        QStringLiteral("The page could not be opened."),
        QStringLiteral("Toggle Full Screen"),
        QStringLiteral("Undo"),
        QStringLiteral("&View"),
        QStringLiteral("View as Multiple Columns"),
        QStringLiteral("View as Separate Columns"),
        QStringLiteral("View as Single Column"),
        QStringLiteral("Welcome to Pelorins"),
        QStringLiteral("Within 1 week"),
        QStringLiteral("Within 2 days"),
        QStringLiteral("Within 24 hours"),
        QStringLiteral("Within 3 days"),
        QStringLiteral("Within 4 days"),
        QStringLiteral("Within 5 days"),
        QStringLiteral("Your changes could not be saved."),
        // The due-date popover's reminder and calendar events.
        QStringLiteral("None"),
        QStringLiteral("Due Soon"),
        QStringLiteral("At Due Time"),
        QStringLiteral("1 Hour Before"),
        QStringLiteral("2 Hours Before"),
        QStringLiteral("1 Day Before"),
        QStringLiteral("2 Days Before"),
        QStringLiteral("Custom…"),
        QStringLiteral("Minutes"),
        QStringLiteral("Hours"),
        QStringLiteral("Days"),
        QStringLiteral("Choose Calendars…"),
        QStringLiteral("Choose the folders of your calendars to see the day's events and link cards to them."),
        QStringLiteral("This calendar cannot be changed."),
        QStringLiteral("Link the card to this event"),
        QStringLiteral("no calendars are set up"),
        QStringLiteral("Event"),
        QStringLiteral("Zoom"),
        // Waiting for the rest of the store.
        QStringLiteral("Reading the rest of your boards…"),
        // What assistive technology reads of cards, headers and the welcome.
        QStringLiteral("Empty Card"),
        QStringLiteral("Picture"),
        QStringLiteral("Link"),
        QStringLiteral("done"),
        QStringLiteral("flagged"),
        QStringLiteral("due %1"),
        QStringLiteral("overdue"),
        QStringLiteral("Set Due Date"),
        QStringLiteral("Add Bookmark"),
        QStringLiteral("Remove Bookmark"),
        QStringLiteral("Welcome Page"),
        QStringLiteral("Page %1 of %2"),
        QStringLiteral("More Toolbar Items"),
        QStringLiteral("Folders and Boards"),
        QStringLiteral("Notes"),
    };
    return texts;
}

// Keys that name a text, with the text.
const QHash<QString, QString>& namedTexts()
{
    static const QHash<QString, QString> texts {
        {QStringLiteral("LLChangeBackdrop"), QStringLiteral("Change Background")},
        {QStringLiteral("LLColours"), QStringLiteral("Colours")},
        {QStringLiteral("LLCustomiseBackground"), QStringLiteral("Customise Background")},
        {QStringLiteral("LLHideSidebar"), QStringLiteral("Hide Sidebar")},
        {QStringLiteral("LLTags"), QStringLiteral("Tags")},
    };
    return texts;
}

} // namespace

std::optional<QString> EnglishTexts::text(const QString& key)
{
    if (const auto named = namedTexts().constFind(key); named != namedTexts().constEnd())
        return *named;
    if (plainTexts().contains(key))
        return key;
    return std::nullopt;
}

QString EnglishTexts::translate(const char* context, const char* sourceText, const char*, int) const
{
    if (qstrcmp(context, localTextContext) != 0)
        return {};
    return text(QString::fromUtf8(sourceText)).value_or(QString());
}
