#include "PelorinsKit/notes/NotesTextViewFormatHelper.h"

#include "PelorinsKit/notes/AttributeKey.h"
#include "PelorinsKit/notes/NoteTextConventions.h"
#include "PelorinsKit/notes/NoteTextStorage.h"
#include "PelorinsKit/notes/NotesTextViewFormatHelperDelegate.h"
#include "Platform/core/UndoManager.h"

#include <algorithm>

namespace {

TextRange clipped(TextRange range, int length)
{
    const int start = std::clamp(range.location, 0, length);
    const int end = std::clamp(range.end(), start, length);
    return TextRange {start, end - start};
}

// The stretch of text from the first line's start to the last line's end. Lines of several
// selections come in no text order, so the stretch covers them all, and never leaves the text.
TextRange spanOf(const QList<TextRange>& lines, int length)
{
    int start = lines.first().location;
    int end = lines.first().end();
    for (const TextRange& line : lines) {
        start = std::min(start, line.location);
        end = std::max(end, line.end());
    }
    return clipped(TextRange {start, end - start}, length);
}

} // namespace

const QString NotesTextViewFormatHelper::styleChangeActionName = QStringLiteral("Style Change");

NotesTextViewFormatHelper::NotesTextViewFormatHelper(NotesTextViewFormatHelperDelegate& delegate)
    : m_delegate(delegate)
{
}

void NotesTextViewFormatHelper::format(const QVariantMap& newAttributes, const std::optional<QList<TextRange>>& lines,
    const std::optional<AttributedString>& originalAttributedString)
{
    const QList<TextRange> resolvedLines = lines ? *lines : getLinesInSelection();
    if (resolvedLines.isEmpty())
        return;
    const QList<TextRange> savedSelection = m_delegate.selectedRanges();
    NoteTextStorage* storage = m_delegate.textStorage();
    const std::optional<TextRange> span
        = storage ? std::optional(spanOf(resolvedLines, storage->length())) : std::nullopt;
    const std::optional<AttributedString> previous
        = span ? std::optional(storage->attributedSubstring(*span)) : std::nullopt;

    if (originalAttributedString) {
        if (storage)
            storage->replaceCharacters(*span, *originalAttributedString);
        registerUndo(newAttributes, resolvedLines, std::nullopt);
        m_delegate.setTypingAttributes(newAttributes);
        finish(savedSelection);
        return;
    }

    const bool newIsChecklist = newAttributes.contains(AttributeKey::isChecklistChecked);
    bool typesBody = false;
    for (const TextRange& requested : resolvedLines) {
        // A caret on the empty last line only chooses the typing style; without text there is
        // nothing else to do either.
        if (!storage || selectionIsAtEmptyLastLine()) {
            typesBody = m_delegate.typingAttributes().contains(AttributeKey::isChecklistChecked) && newIsChecklist;
            continue;
        }
        const TextRange line = clipped(requested, storage->length());
        const bool lineIsChecklist
            = line.length > 0 && storage->attribute(AttributeKey::isChecklistChecked, line.location).isValid();
        storage->remove(knownAttributeNames(), line);
        if (lineIsChecklist && newIsChecklist) {
            storage->addAttributes(normalAttributes(), line);
            typesBody = true;
        } else {
            storage->addAttributes(newAttributes, line);
            typesBody = m_delegate.typingAttributes().contains(AttributeKey::isChecklistChecked) && newIsChecklist;
        }
    }
    // Without text nothing changed, and there is nothing to put back.
    if (storage) {
        removeNoteAttributesFromAttachments();
        registerUndo(newAttributes, resolvedLines, previous);
    }
    m_delegate.setTypingAttributes(typesBody ? normalAttributes() : newAttributes);
    finish(savedSelection);
}

void NotesTextViewFormatHelper::registerUndo(
    const QVariantMap& newAttributes, const QList<TextRange>& lines, const std::optional<AttributedString>& previous)
{
    UndoManager* undoManager = m_delegate.undoManager();
    if (!undoManager)
        return;
    // Undoing puts the text of before back; redoing styles the same lines again.
    undoManager->registerUndo(&m_undoOwner, [this, newAttributes, lines, previous] {
        if (previous)
            format(newAttributes, lines, previous);
        else
            format(newAttributes, lines);
    });
    undoManager->setActionName(styleChangeActionName);
}

void NotesTextViewFormatHelper::finish(const QList<TextRange>& savedSelection)
{
    m_delegate.updateCellHeight();
    m_delegate.setSelectedRanges(savedSelection);
    m_delegate.layoutCheckButtons();
    m_delegate.styleTags();
}

void NotesTextViewFormatHelper::removeNoteAttributesFromAttachments()
{
    NoteTextStorage* storage = m_delegate.textStorage();
    const QList<TextRange> attachments = storage->attachmentRanges();
    if (attachments.isEmpty())
        return;
    for (const TextRange& line : getLinesInSelection(attachments, m_delegate.string()))
        storage->remove(knownAttributeNames(), line);
}

void NotesTextViewFormatHelper::ensureAttachmensOnItsOwnLine()
{
    NoteTextStorage* storage = m_delegate.textStorage();
    if (!storage)
        return;
    const AttributedString lineFeed(QStringLiteral("\n"));
    // Each pass inserts at most one line feed and starts again on the changed text.
    for (bool inserted = true; inserted;) {
        inserted = false;
        const QString text = m_delegate.string();
        for (const TextRange& attachment : storage->attachmentRanges()) {
            const int start = attachment.location;
            const int end = attachment.end();
            if (start > 0 && text.at(start - 1) != QLatin1Char('\n')) {
                storage->insert(lineFeed, start);
            } else if (end >= text.size()) {
                storage->append(lineFeed);
            } else if (text.at(end) != QLatin1Char('\n')) {
                storage->insert(lineFeed, end);
            } else {
                continue;
            }
            inserted = true;
            break;
        }
    }
}

QList<TextRange> NotesTextViewFormatHelper::getLinesInSelection() const
{
    const NoteTextStorage* storage = m_delegate.textStorage();
    if (!storage)
        return {};
    return getLinesInSelection(m_delegate.selectedRanges(), storage->string());
}

QList<TextRange> NotesTextViewFormatHelper::getLinesInSelection(
    const QList<TextRange>& ranges, const QString& nsString) const
{
    const QList<AttributedString::Line> lines = AttributedString::lines(nsString);
    QList<TextRange> result;
    for (const TextRange& range : ranges) {
        std::optional<TextRange> startLine;
        for (const AttributedString::Line& line : lines) {
            if (line.enclosing.location >= range.location) {
                if (range.end() >= line.enclosing.location)
                    result.append(line.enclosing);
                if (line.enclosing.end() >= range.end())
                    break;
            } else if (line.content.end() >= range.location) {
                startLine = line.enclosing;
            }
        }
        if (startLine)
            result.prepend(*startLine);
    }
    return result.isEmpty() ? ranges : result;
}

bool NotesTextViewFormatHelper::selectionIsAtEmptyLastLine() const
{
    const NoteTextStorage* storage = m_delegate.textStorage();
    if (!storage)
        return false;
    const int length = storage->length();
    const QList<TextRange> selection = m_delegate.selectedRanges();
    const bool caretAtEnd = std::any_of(
        selection.cbegin(), selection.cend(), [length](TextRange range) { return range.location == length; });
    if (!caretAtEnd)
        return false;
    const QString text = storage->string();
    return text.isEmpty() || text.back() == QLatin1Char('\n');
}
