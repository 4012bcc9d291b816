#pragma once

#include "PelorinsKit/notes/TextRange.h"

#include <QList>
#include <QString>
#include <QVariantMap>

class NoteTextStorage;
class UndoManager;

// What the notes editor gives its NotesTextViewFormatHelper: its text, undo manager, selection
// and typing attributes, and the refreshes to run after a style change.
class NotesTextViewFormatHelperDelegate
{
public:
    virtual ~NotesTextViewFormatHelperDelegate() = default;

    // Read and edited in place; null when the editor has no text.
    virtual NoteTextStorage* textStorage() const = 0;
    // The editor's plain text.
    virtual QString string() const = 0;
    // Null when the editor has none.
    virtual UndoManager* undoManager() const = 0;
    virtual QList<TextRange> selectedRanges() const = 0;
    virtual void setSelectedRanges(const QList<TextRange>& ranges) = 0;
    virtual QVariantMap typingAttributes() const = 0;
    virtual void setTypingAttributes(const QVariantMap& attributes) = 0;

    // Recolours the hash tags of the text.
    virtual void styleTags() = 0;
    // Measures the card again.
    virtual void updateCellHeight() = 0;
    // Places the check buttons of the checklist lines again.
    virtual void layoutCheckButtons() = 0;
};
