// How much of the notes editor's text is laid out and shown, its height, its zoom and its painting.

#include "Pelorins/card/NotesTextView.h"

#include "Pelorins/card/ListItemCellView.h"
#include "PelorinsKit/notes/TextMeasures.h"

#include <QAbstractTextDocumentLayout>
#include <QPainter>
#include <QResizeEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QtMath>
#include <cmath>
#include <limits>

qreal NotesTextView::shownHeight() const
{
    // A card shows its notes as far as the column measures them; an editor without one all of them.
    return m_parentCell ? heightToFitContainer + verticalInset : std::numeric_limits<qreal>::infinity();
}

int NotesTextView::shownLength() const
{
    const qreal shown = shownHeight();
    if (std::isinf(shown))
        return m_storage.length();
    showEnoughLines();
    // Blocks are laid out as far as they are asked for, never further.
    QAbstractTextDocumentLayout* layout = document()->documentLayout();
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next())
        if (!block.isVisible() || layout->blockBoundingRect(block).top() > shown)
            return block.position();
    return m_storage.length();
}

void NotesTextView::hideLinesBelowShown(int from, int added)
{
    // Told before the layout hears of the change. Qt's layout walks every line after a change,
    // however far below: in a card, lines far below what it shows are hidden from it, so that a
    // keystroke costs what its line costs. The first lines stay shown, enough of them to reach
    // past the card's foot (showEnoughLines).
    const int blocks = document()->blockCount();
    const int blocksBefore = std::exchange(m_blockCount, blocks);
    if (std::isinf(shownHeight()) || (blocks <= m_shownBlocks && blocksBefore <= m_shownBlocks))
        return;
    // Lines moved across the limit by lines added or removed above it, and the lines changed.
    const int moved = std::abs(blocks - blocksBefore);
    const int changedFrom = document()->findBlock(from).blockNumber();
    const int changedTo = document()->findBlock(std::min(from + added, document()->characterCount() - 1)).blockNumber();
    const int first = std::max(0, std::min(changedFrom, m_shownBlocks - moved));
    const int last = std::max(changedTo, m_shownBlocks + moved);
    // Lines coming into view were never laid out: the layout is told to lay them out with the change.
    int shownFrom = -1;
    int shownTo = -1;
    for (QTextBlock block = document()->findBlockByNumber(first); block.isValid() && block.blockNumber() <= last;
         block = block.next()) {
        const bool visible = block.blockNumber() < m_shownBlocks;
        if (visible && !block.isVisible()) {
            if (shownFrom < 0)
                shownFrom = block.position();
            shownTo = block.position() + block.length();
        }
        block.setVisible(visible);
    }
    if (shownFrom >= 0) {
        ++m_programmaticDepth;
        document()->markContentsDirty(shownFrom, std::min(shownTo, document()->characterCount()) - shownFrom);
        --m_programmaticDepth;
    }
}

void NotesTextView::showEnoughLines() const
{
    if (std::isinf(shownHeight()))
        return;
    if (m_shownBlocks >= document()->blockCount())
        return;
    const QTextBlock last = document()->findBlockByNumber(m_shownBlocks - 1);
    if (last.isVisible() && document()->documentLayout()->blockBoundingRect(last).top() > shownHeight())
        return;
    // Lines lower than usual (pictures, small type): twice as many are shown, once a call, as the
    // layout may not have heard of the last change yet.
    const QTextBlock first = last.next();
    m_shownBlocks *= 2;
    QTextBlock block = first;
    for (; block.isValid() && block.blockNumber() < m_shownBlocks; block = block.next())
        block.setVisible(true);
    const int end = block.isValid() ? block.position() : document()->characterCount();
    ++m_programmaticDepth;
    document()->markContentsDirty(first.position(), end - first.position());
    --m_programmaticDepth;
}

int NotesTextView::intrinsicHeight() const
{
    // The bottom of the last line shown, as heightToFit measures it: without the spacing after
    // the last paragraph. Lines below are not laid out for it.
    QAbstractTextDocumentLayout* layout = document()->documentLayout();
    const qreal shown = shownHeight();
    showEnoughLines();
    qreal bottom = verticalInset;
    for (QTextBlock block = document()->begin(); block.isValid() && block.isVisible(); block = block.next()) {
        const qreal top = layout->blockBoundingRect(block).top();
        if (top > shown)
            break;
        const QTextLayout* lines = block.layout();
        for (int i = 0; i < lines->lineCount(); ++i) {
            const QTextLine line = lines->lineAt(i);
            const qreal lineBottom = top + line.y() + line.height();
            if (lineBottom > shown)
                break;
            bottom = std::max(bottom, lineBottom);
        }
    }
    return std::max(qCeil(bottom + verticalInset), minimumHeight);
}

QSize NotesTextView::sizeHint() const
{
    return QSize(QTextEdit::sizeHint().width(), qCeil(intrinsicHeight() * m_scale));
}

void NotesTextView::setScale(qreal scale)
{
    if (scale == m_scale || !(scale > 0))
        return;
    m_scale = scale;
    if (m_scale == 1.0) {
        setLineWrapMode(QTextEdit::WidgetWidth);
    } else {
        setLineWrapMode(QTextEdit::FixedPixelWidth);
        setLineWrapColumnOrWidth(qRound(viewport()->width() / m_scale));
    }
    layoutCheckButtons();
    updateGeometry();
    viewport()->update();
}

void NotesTextView::resizeEvent(QResizeEvent* event)
{
    // The resize sent as the editor is shown tells no old size, and QTextEdit lays every line out
    // anew for it; lines laid out at this width already (layoutCheckButtons() lays them out before
    // the editor is shown) keep their layout.
    const bool laidOutAtThisWidth = !event->oldSize().isValid() && m_scale == 1.0
        && document()->pageSize() == QSizeF(viewport()->width(), -1);
    QResizeEvent resize(event->size(), laidOutAtThisWidth ? event->size() : event->oldSize());
    QTextEdit::resizeEvent(&resize);
    if (m_scale != 1.0)
        setLineWrapColumnOrWidth(qRound(viewport()->width() / m_scale));
    // Lines wrap anew at another width, and their boxes follow them.
    if (event->size().width() != event->oldSize().width())
        layoutCheckButtons();
}

void NotesTextView::keepShapesOfChangedLines(int from, int added)
{
    // Told before the layout hears of the change: the lines a card shows keep the glyphs their
    // layout shapes, so that their first paint shapes none again. An editor without a card shows
    // all of its lines, and they keep theirs as they are painted.
    if (std::isinf(shownHeight()))
        return;
    for (QTextBlock block = document()->findBlock(from);
         block.isValid() && block.blockNumber() < m_shownBlocks && block.position() <= from + added; block = block.next())
        if (QTextLayout* lines = block.layout(); !lines->cacheEnabled())
            lines->setCacheEnabled(true);
}

void NotesTextView::keepShapesOfLinesIn(const QRect& area) const
{
    // Qt shapes a line's text again for every paint unless its block keeps the glyphs: a card
    // repainted on each keystroke shaped every line it shows each time. Only the lines painted
    // keep them, so a long note costs what it shows.
    QAbstractTextDocumentLayout* layout = document()->documentLayout();
    const qreal bottom = (area.bottom() + 1) / m_scale + verticalScrollBar()->value();
    for (QTextBlock block = document()->begin(); block.isValid() && block.isVisible(); block = block.next()) {
        if (layout->blockBoundingRect(block).top() > bottom)
            break;
        if (QTextLayout* lines = block.layout(); !lines->cacheEnabled())
            lines->setCacheEnabled(true);
    }
}

void NotesTextView::paintEvent(QPaintEvent* event)
{
    keepShapesOfLinesIn(event->rect());
    if (m_scale == 1.0) {
        QTextEdit::paintEvent(event);
        return;
    }
    paintZoomed(event);
}

void NotesTextView::paintZoomed(QPaintEvent* event)
{
    // The document drawn as the editor draws it, under the zoom: text, selection, extra
    // selections and, while editing, the caret.
    QPainter painter(viewport());
    painter.scale(m_scale, m_scale);
    QAbstractTextDocumentLayout::PaintContext context;
    context.palette = palette();
    context.clip = QRectF(event->rect()).adjusted(-1, -1, 1, 1);
    context.clip = QRectF(context.clip.topLeft() / m_scale, context.clip.size() / m_scale);
    for (const QTextEdit::ExtraSelection& extra : extraSelections())
        context.selections.append({extra.cursor, extra.format});
    const QTextCursor cursor = textCursor();
    if (cursor.hasSelection()) {
        QTextCharFormat selected;
        selected.setBackground(palette().brush(QPalette::Highlight));
        selected.setForeground(palette().brush(QPalette::HighlightedText));
        context.selections.append({cursor, selected});
    }
    if (hasFocus() && !isReadOnly())
        context.cursorPosition = cursor.position();
    painter.setClipRect(context.clip);
    document()->documentLayout()->draw(&painter, context);
}
