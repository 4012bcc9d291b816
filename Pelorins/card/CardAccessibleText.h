#pragma once

#include "PelorinsKit/notes/AttributedString.h"

#include <QString>
#include <optional>

class ListItem;

// What a screen reader says of a card: its name is its title line, its description its state
// ("done", "flagged", "due …", "overdue"), its text its notes. Link and picture cards have no
// letters of their own: an attachment reads as the link card shows it, or as the picture's file.
struct CardAccessibleText
{
    QString name;
    QString description;
    QString text;

    // `dueText` is the due badge's text as shown, empty without a due date; `overdue` whether
    // the badge shows the card overdue.
    static CardAccessibleText of(const ListItem& card, const QString& dueText, bool overdue);
    // The same with the card's notes as given: as its editor holds them.
    static CardAccessibleText of(
        const ListItem& card, const std::optional<AttributedString>& notes, const QString& dueText, bool overdue);
    // The notes in words: each attachment character becomes what its attachment shows.
    static QString readableNotes(const AttributedString& notes);

    friend bool operator==(const CardAccessibleText&, const CardAccessibleText&) = default;
};
