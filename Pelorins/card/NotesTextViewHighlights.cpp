// What the notes editor draws over its text: search highlights, hash tags in a readable colour and
// the selected attachments.

#include "Pelorins/card/NotesTextView.h"

#include "Pelorins/card/ListItemCellView.h"
#include "Pelorins/common/ColourHelpers.h"
#include "PelorinsKit/model/Hashtags.h"
#include "PelorinsKit/notes/AttributeKey.h"
#include "PelorinsKit/notes/TextAttachmentObject.h"

#include <QAbstractTextDocumentLayout>
#include <QTextBlock>

void NotesTextView::setSearchHighlights(const QList<TextRange>& ranges)
{
    m_searchHighlights = ranges;
    applyExtraSelections();
}

void NotesTextView::setTextBackground(const std::optional<QColor>& background)
{
    if (background == m_textBackground)
        return;
    m_textBackground = background;
    applyExtraSelections();
}

QColor NotesTextView::drawnTagColour(int position) const
{
    const QColor held = m_storage.attribute(AttributeKey::foregroundColor, position).value<QColor>();
    return m_textBackground && held.isValid() ? readableOn(held, *m_textBackground) : held;
}

QRegion NotesTextView::hashtagRegion() const
{
    QRegion region;
    QAbstractTextDocumentLayout* layout = document()->documentLayout();
    const QPoint viewportOffset = viewport()->pos();
    for (const QRegularExpressionMatch& match : identifyTags(m_storage.string().left(shownLength()))) {
        const int start = int(match.capturedStart());
        const int end = int(match.capturedEnd());
        const QTextBlock block = document()->findBlock(start);
        const QTextLayout* lines = block.layout();
        if (!lines)
            continue;
        const QPointF blockTop = layout->blockBoundingRect(block).topLeft();
        for (int i = 0; i < lines->lineCount(); ++i) {
            const QTextLine line = lines->lineAt(i);
            const int from = std::max(start - block.position(), line.textStart());
            const int to = std::min(end - block.position(), line.textStart() + line.textLength());
            if (from >= to)
                continue;
            const qreal left = line.cursorToX(from);
            const qreal right = line.cursorToX(to);
            const QRectF drawn(blockTop.x() + std::min(left, right), blockTop.y() + line.y(), std::abs(right - left),
                line.height());
            region += QRectF(drawn.topLeft() * m_scale, drawn.size() * m_scale).toAlignedRect().translated(viewportOffset);
        }
    }
    return region;
}

void NotesTextView::applyExtraSelections()
{
    QList<ExtraSelection> selections;
    // Hashtags in a colour that stands out from the card, as far down as it shows them.
    if (m_textBackground) {
        for (const QRegularExpressionMatch& match : identifyTags(m_storage.string().left(shownLength()))) {
            // A tag readable in its own colour is drawn by its text; one drawn over costs a
            // clipped second drawing of its line at every paint.
            const int start = int(match.capturedStart());
            const QColor drawn = drawnTagColour(start);
            if (drawn == m_storage.attribute(AttributeKey::foregroundColor, start).value<QColor>())
                continue;
            ExtraSelection selection;
            selection.cursor = QTextCursor(document());
            selection.cursor.setPosition(start);
            selection.cursor.setPosition(int(match.capturedEnd()), QTextCursor::KeepAnchor);
            selection.format.setForeground(drawn);
            selections.append(selection);
        }
    }
    for (const TextRange& range : m_searchHighlights) {
        ExtraSelection selection;
        selection.cursor = QTextCursor(document());
        selection.cursor.setPosition(range.location);
        selection.cursor.setPosition(range.end(), QTextCursor::KeepAnchor);
        selection.format.setBackground(QColor(Qt::yellow));
        selections.append(selection);
    }
    setExtraSelections(selections);
}

TextAttachmentObject* NotesTextView::attachmentObject() const
{
    return dynamic_cast<TextAttachmentObject*>(
        document()->documentLayout()->handlerForObject(TextAttachmentObject::objectType));
}

void NotesTextView::updateAttachmentSelection()
{
    const QTextCursor cursor = textCursor();
    const TextRange selected {cursor.selectionStart(), cursor.selectionEnd() - cursor.selectionStart()};
    if (TextAttachmentObject* attachments = attachmentObject())
        attachments->setHighlightedRange(selected);
    highlightAttachmentCells(selected);
    if (m_selectedCellRange)
        highlightAttachmentCells(*m_selectedCellRange);
    m_selectedCellRange = selected;
}

void NotesTextView::highlightAttachmentCells(TextRange range)
{
    if (range.location > m_storage.length())
        return;
    // Only attachments draw a highlight, so only lines holding one need drawing again.
    for (const TextRange& attachment : m_storage.attachmentRanges()) {
        if (attachment.location >= range.location && attachment.location <= range.end()) {
            document()->markContentsDirty(attachment.location, attachment.length);
        }
    }
}
