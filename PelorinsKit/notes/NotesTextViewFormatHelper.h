#pragma once

#include "PelorinsKit/notes/AttributedString.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QVariantMap>
#include <optional>

class NotesTextViewFormatHelperDelegate;

// Styles the lines of the notes editor as a whole: title, header, body or checklist, with the
// "Style Change" undo on the editor's undo manager. It keeps attachments on lines of their own
// with no note-style keys. Every call reads the editor's current text, selection and typing
// attributes through the delegate.
class NotesTextViewFormatHelper
{
public:
    static const QString styleChangeActionName;

    // The delegate must outlive the helper.
    explicit NotesTextViewFormatHelper(NotesTextViewFormatHelperDelegate& delegate);
    virtual ~NotesTextViewFormatHelper() = default;
    NotesTextViewFormatHelper(const NotesTextViewFormatHelper&) = delete;
    NotesTextViewFormatHelper& operator=(const NotesTextViewFormatHelper&) = delete;

    NotesTextViewFormatHelperDelegate& delegate() const { return m_delegate; }

    // Restyles `lines` (by default the lines of the selection) with one of the four line styles;
    // a checklist line given the checklist style becomes a body line. With
    // `originalAttributedString` it undoes an earlier call instead, putting that text back. An
    // empty line list changes nothing.
    virtual void format(const QVariantMap& newAttributes, const std::optional<QList<TextRange>>& lines = std::nullopt,
        const std::optional<AttributedString>& originalAttributedString = std::nullopt);
    // Inserts line feeds so that every attachment stands alone on its line.
    virtual void ensureAttachmensOnItsOwnLine();
    virtual QList<TextRange> getLinesInSelection() const;
    // The lines of `nsString` that the ranges touch, each with its terminator: for each range,
    // the line it starts in goes to the front of the list and the lines after follow in order.
    // The ranges themselves when they touch no line.
    virtual QList<TextRange> getLinesInSelection(const QList<TextRange>& ranges, const QString& nsString) const;

private:
    void removeNoteAttributesFromAttachments();
    bool selectionIsAtEmptyLastLine() const;
    void registerUndo(const QVariantMap& newAttributes, const QList<TextRange>& lines,
        const std::optional<AttributedString>& previous);
    void finish(const QList<TextRange>& savedSelection);

    NotesTextViewFormatHelperDelegate& m_delegate;
    // What the helper's style steps are filed under: they call the helper, so they go with it.
    QObject m_undoOwner;
};
