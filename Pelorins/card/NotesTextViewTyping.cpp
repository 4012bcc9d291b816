// Typing into the notes editor: keys, input methods, the typing attributes, line breaks and focus.

#include "Pelorins/card/NotesTextView.h"

#include "Pelorins/card/ListItemCellView.h"
#include "PelorinsKit/notes/AttributeKey.h"
#include "PelorinsKit/notes/NoteStyleName.h"
#include "PelorinsKit/notes/NoteTextConventions.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QKeyEvent>
#include <QTextBlock>

QVariant NotesTextView::inputMethodQuery(Qt::InputMethodQuery query) const
{
    const QVariant value = QTextEdit::inputMethodQuery(query);
    if (m_scale != 1.0 && value.typeId() == QMetaType::QRectF) {
        const QRectF rect = value.toRectF();
        return QRectF(rect.topLeft() * m_scale, rect.size() * m_scale);
    }
    return value;
}

bool NotesTextView::event(QEvent* event)
{
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        // Undo and redo belong to the window's Edit menu, never to the document.
        if (key->matches(QKeySequence::Undo) || key->matches(QKeySequence::Redo)) {
            event->ignore();
            return true;
        }
    }
    return QTextEdit::event(event);
}

void NotesTextView::focusInEvent(QFocusEvent* event)
{
    QTextEdit::focusInEvent(event);
    m_isFirstResponder = true;
    updateEditingState();
    updateGeometry();
    // The search highlight is for reading; editing shows the plain text.
    setSearchHighlights({});
}

void NotesTextView::focusOutEvent(QFocusEvent* event)
{
    QTextEdit::focusOutEvent(event);
    // A context menu of the editor's own takes the focus only for a moment.
    if (event->reason() == Qt::PopupFocusReason)
        return;
    if (m_isFirstResponder)
        emit editingEnded();
}

void NotesTextView::typeWithTypingAttributes(const std::function<void()>& type, bool newline)
{
    const QTextCharFormat typing
        = TextDocumentTextStorage::charFormat(TextDocumentTextStorage::split(m_typingAttributes, false));
    const QTextCursor caret = textCursor();
    const bool emptyLine = caret.block().length() == 1;
    // A cursor follows the edits; the selection's start is kept as a number.
    const std::optional<int> selectionStart
        = caret.hasSelection() ? std::optional<int>(caret.selectionStart()) : std::nullopt;
    // The typing format is the caret's. Given to a selection it would restyle the selected text,
    // as every key would that types nothing: Control before a copy, Shift before a selection.
    if (!selectionStart)
        runProgrammaticChange([&] { setCurrentCharFormat(typing); });
    m_typing = true;
    m_changedWhileTyping = false;
    type();
    // What replaced a selection is typed text, in the typing format.
    if (m_changedWhileTyping && selectionStart && textCursor().position() > *selectionStart) {
        runProgrammaticChange([&] {
            QTextCursor typed(document());
            typed.setPosition(*selectionStart);
            typed.setPosition(textCursor().position(), QTextCursor::KeepAnchor);
            typed.setCharFormat(typing);
        });
    }
    // A line typed into while empty, or the new line a line break opens, takes the typing
    // attributes' line style.
    if (m_changedWhileTyping && (newline ? textCursor().block().length() == 1 : emptyLine))
        applyTypingLineAttributesToEmptyBlock();
    m_typing = false;
    if (m_changedWhileTyping) {
        m_changedWhileTyping = false;
        reportUserChange();
    }
}

void NotesTextView::applyTypingLineAttributesToEmptyBlock()
{
    const QVariantMap lines = TextDocumentTextStorage::split(m_typingAttributes, true);
    QTextCursor cursor = textCursor();
    const QTextBlock block = cursor.block();
    runProgrammaticChange([&] {
        QTextCursor blockCursor(block);
        blockCursor.setBlockFormat(TextDocumentTextStorage::blockFormat(lines));
    });
}

void NotesTextView::insertNewline(QKeyEvent* event)
{
    const TextRange selection = selectedRanges().first();
    const int length = m_storage.length();
    const TextRange line = lineRange(selection.location);
    bool inChecklist = false;
    // The empty last line after a final line break is no line of the text.
    if (line.location < length) {
        const QVariantMap first = m_storage.attributedSubstring({line.location, 1}).attributes(0);
        inChecklist = m_typingAttributes.contains(AttributeKey::isChecklistChecked)
            || first.value(AttributeKey::isChecklistChecked).typeId() == QMetaType::Bool;
        // The line after a picture or a link card is body text.
        if (!inChecklist
            && (first.contains(AttributeKey::fileFolderUUID) || first.contains(AttributeKey::attachmentLinkData)))
            setTypingAttributes(normalAttributes());
    }
    const bool hasBreak = line.length > 0 && m_storage.string().at(line.end() - 1) == QLatin1Char('\n');
    const int contentEnd = line.end() - (hasBreak ? 1 : 0);

    if (inChecklist && contentEnd == line.location) {
        // Return on an empty item ends the checklist: the line becomes a body line, and no line
        // is added.
        setTypingAttributes(normalAttributes());
        runProgrammaticChange([&] {
            if (line.length > 0) {
                m_storage.remove(knownAttributeNames(), line);
                m_storage.addAttributes(normalAttributes(), line);
            }
        });
        layoutCheckButtons();
        reportUserChange();
        return;
    }

    if (inChecklist) {
        const bool done = m_storage.attribute(AttributeKey::isChecklistChecked, line.location).toBool();
        const bool atTextEnd = selection.location == length;
        // Return after an item's text opens a new item; inside it, the item splits in two of
        // its state.
        const bool atLineEnd = selection.end() >= contentEnd;
        if (atTextEnd) {
            // The new last item gets a line break of its own, for its box.
            runProgrammaticChange([&] {
                m_storage.append(AttributedString(QStringLiteral("\n"), checkListAttributes()));
                setSelectedRanges({selection});
            });
        }
        if (atLineEnd)
            setTypingAttributes(checkListAttributes());
        typeWithTypingAttributes([&] { QTextEdit::keyPressEvent(event); }, true);
        const TextRange newLine = lineRange(textCursor().position());
        runProgrammaticChange([&] {
            QVariantMap item = checkListAttributes();
            item.insert(AttributeKey::isChecklistChecked, !atLineEnd && done);
            if (atLineEnd)
                m_storage.addAttributes(item, newLine);
            else
                m_storage.addAttributes(TextDocumentTextStorage::split(item, true), newLine);
        });
        setTypingAttributes(checkListAttributes());
        layoutCheckButtons();
        return;
    }

    // The line after a title or a header is body text.
    const QVariant style = m_typingAttributes.value(AttributeKey::noteStyleName);
    if (style.typeId() == QMetaType::QString && style.toString() != rawValue(NoteStyleName::body))
        setTypingAttributes(normalAttributes());
    typeWithTypingAttributes([&] { QTextEdit::keyPressEvent(event); }, true);
    layoutCheckButtons();
}

void NotesTextView::keyPressEvent(QKeyEvent* event)
{
    // The completion list answers these keys itself, after offering them here.
    static const QList<int> completionKeys {
        Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape, Qt::Key_Tab, Qt::Key_Backtab};
    if (m_completer && m_completer->popup()->isVisible() && completionKeys.contains(event->key())) {
        event->ignore();
        return;
    }
    if (event->matches(QKeySequence::Undo) || event->matches(QKeySequence::Redo)) {
        event->ignore();
        return;
    }
    if (event->matches(QKeySequence::Cut) || event->matches(QKeySequence::Copy)
        || event->matches(QKeySequence::Paste)) {
        perform(event->matches(QKeySequence::Cut)    ? cutAction
                : event->matches(QKeySequence::Copy) ? copyAction
                                                     : pasteAction,
            this);
        return;
    }
    if ((event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab)
        && event->modifiers().testFlag(Qt::ControlModifier)) {
        // Tab types a tab in notes; Ctrl+Tab moves the keyboard on, and Ctrl+Shift+Tab back.
        QWidget::focusNextPrevChild(event->key() == Qt::Key_Tab && !event->modifiers().testFlag(Qt::ShiftModifier));
        return;
    }
    if (event->key() == Qt::Key_Escape) {
        // Editing ends when the cell takes the focus; the cell then stores the text.
        if (m_parentCell)
            m_parentCell->setFocus(Qt::OtherFocusReason);
        else
            clearFocus();
        return;
    }
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        insertNewline(event);
        return;
    }
    typeWithTypingAttributes([&] { QTextEdit::keyPressEvent(event); });
}

void NotesTextView::inputMethodEvent(QInputMethodEvent* event)
{
    typeWithTypingAttributes([&] { QTextEdit::inputMethodEvent(event); });
}
