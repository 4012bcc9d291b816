#pragma once

#include <QList>

class Tag;

// What the notes editor asks of whoever hosts it: the card cell or the printable card.
class NotesTextViewDelegate
{
public:
    virtual ~NotesTextViewDelegate() = default;

    // The tags of the card's board, which colour the hash tags of the notes.
    virtual QList<Tag*> existingTags() const = 0;
};
