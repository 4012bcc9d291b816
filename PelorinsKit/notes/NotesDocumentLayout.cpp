#include "PelorinsKit/notes/NotesDocumentLayout.h"

#include <QPainter>
#include <QTextBlock>
#include <QTextFrame>
#include <QTextLayout>
#include <QTextList>
#include <QtMath>
#include <algorithm>
#include <limits>

namespace {

// Qt's layout counts in 64ths of a pixel and drops what is finer: lines land on the same pixels
// only with the same arithmetic.
using Fixed = int;

Fixed fixed(qreal value)
{
    return Fixed(value * 64);
}

qreal real(Fixed value)
{
    return value / qreal(64);
}

Fixed rounded(Fixed value)
{
    return (value + 32) & -64;
}

// The root frame: where lines start and end across, where the first one starts down, and what
// the frame adds around the lines.
struct Frame
{
    Fixed left = 0;
    Fixed right = 0;
    Fixed top = 0;
    Fixed bottom = 0;
    Fixed leftMargin = 0;
    Fixed rightMargin = 0;
    Fixed marginWidth = 0;
    Fixed contentsWidth = 0;
};

Frame rootFrame(const QTextDocument& document)
{
    const QTextFrameFormat format = document.rootFrame()->frameFormat();
    const Fixed border = rounded(fixed(format.border()));
    const Fixed padding = rounded(fixed(format.padding()));
    Frame frame;
    frame.leftMargin = rounded(fixed(format.leftMargin()));
    frame.rightMargin = rounded(fixed(format.rightMargin()));
    frame.top = rounded(fixed(format.topMargin())) + border + padding;
    frame.bottom = rounded(fixed(format.bottomMargin())) + border + padding;
    frame.marginWidth = 2 * (border + padding) + frame.leftMargin + frame.rightMargin;
    frame.contentsWidth
        = fixed(format.width().value(std::max(qreal(0), document.pageSize().width()))) - frame.marginWidth;
    frame.left = frame.leftMargin + border + padding;
    frame.right = frame.left + frame.contentsWidth;
    return frame;
}

Qt::Alignment visualAlignment(Qt::LayoutDirection direction, Qt::Alignment alignment)
{
    if (!(alignment & Qt::AlignHorizontal_Mask))
        alignment |= Qt::AlignLeft;
    if (!(alignment & Qt::AlignAbsolute) && (alignment & (Qt::AlignLeft | Qt::AlignRight))) {
        if (direction == Qt::RightToLeft)
            alignment ^= (Qt::AlignLeft | Qt::AlignRight);
        alignment |= Qt::AlignAbsolute;
    }
    return alignment;
}

Fixed blockIndent(const QTextDocument& document, const QTextBlockFormat& format)
{
    qreal indent = format.indent();
    if (const QTextObject* list = document.objectForFormat(format))
        indent += list->format().toListFormat().indent();
    return qIsNull(indent) ? 0 : fixed(indent * document.indentWidth());
}

// How far a line reaches down, and how far the next one starts below it.
struct LineHeights
{
    Fixed adjustment = 0;
    Fixed step = 0;
    Fixed bottom = 0;
};

LineHeights lineHeights(const QTextBlockFormat& format, const QTextLine& line)
{
    const qreal natural = qCeil(line.ascent() + line.descent() + line.leading());
    LineHeights heights;
    heights.step = fixed(format.lineHeight(natural, 1));
    heights.bottom = fixed(format.lineHeight(line.height(), 1));
    if (format.lineHeightType() == QTextBlockFormat::FixedHeight)
        heights.adjustment = fixed(line.ascent() + std::max(line.leading(), qreal(0))) - heights.step * 4 / 5;
    else if (format.lineHeightType() == QTextBlockFormat::MinimumHeight)
        heights.adjustment = fixed(line.height()) - heights.step;
    return heights;
}

// One block's place across: its margins, the indent of its list and its direction.
struct BlockBox
{
    Fixed left = 0;
    Fixed right = 0;
    Fixed rightMargin = 0;
    Qt::LayoutDirection direction = Qt::LeftToRight;
};

BlockBox blockBox(
    const QTextDocument& document, const QTextBlock& block, const QTextBlockFormat& format, const Frame& frame)
{
    BlockBox box;
    box.direction = block.textDirection();
    const bool rightToLeft = box.direction == Qt::RightToLeft;
    const Fixed indent = blockIndent(document, format);
    const Fixed leftMargin = fixed(format.leftMargin()) + (rightToLeft ? 0 : indent);
    box.rightMargin = fixed(format.rightMargin()) + (rightToLeft ? indent : 0);
    box.left = std::max(frame.left, frame.left + leftMargin);
    box.right = std::min(frame.right, frame.right - box.rightMargin);
    return box;
}

// Breaks the block into lines from `y` down; the y below them. `widest` grows to the widest line.
Fixed layOutLines(const QTextDocument& document, const QTextBlock& block, const QTextBlockFormat& format,
    const Frame& frame, Fixed y, Fixed& widest)
{
    const BlockBox box = blockBox(document, block, format, frame);
    QTextLayout* lines = block.layout();
    QTextOption option = document.defaultTextOption();
    option.setTextDirection(box.direction);
    option.setTabs(format.tabPositions());
    option.setAlignment(visualAlignment(box.direction,
        format.hasProperty(QTextFormat::BlockAlignment) ? format.alignment()
                                                        : document.defaultTextOption().alignment()));
    if (format.nonBreakableLines() || document.pageSize().width() < 0)
        option.setWrapMode(QTextOption::ManualWrap);
    lines->setTextOption(option);
    const bool wrapsAnywhereToo = option.wrapMode() == QTextOption::WrapAtWordBoundaryOrAnywhere;

    const Fixed top = y;
    Fixed bottom = 0;
    lines->beginLayout();
    for (bool first = true;; first = false) {
        QTextLine line = lines->createLine();
        if (!line.isValid())
            break;
        line.setLeadingIncluded(true);
        const Fixed indent = first ? fixed(format.textIndent()) : 0;
        const Fixed left = box.left + (box.direction == Qt::RightToLeft ? 0 : indent);
        const Fixed right = box.right - (box.direction == Qt::RightToLeft ? indent : 0);
        line.setLineWidth(real(right - left));
        // A line that cannot break narrower (a long word, a wide picture) takes the width it needs.
        if (fixed(line.naturalTextWidth()) > right - left) {
            if (wrapsAnywhereToo) {
                option.setWrapMode(QTextOption::WrapAnywhere);
                lines->setTextOption(option);
            }
            line.setLineWidth(std::max(line.naturalTextWidth(), real(right - left)));
            if (wrapsAnywhereToo) {
                option.setWrapMode(QTextOption::WordWrap);
                lines->setTextOption(option);
            }
        }
        const LineHeights heights = lineHeights(format, line);
        line.setPosition(QPointF(real(left - frame.left), real(y - top - heights.adjustment)));
        bottom = y + heights.bottom;
        y += heights.step;
        widest = std::max(widest, fixed(line.x() + line.naturalTextWidth()) + box.rightMargin);
    }
    lines->endLayout();
    return std::max(y, bottom);
}

// The y below the block's lines as they are laid out already.
Fixed linesBottom(const QTextDocument& document, const QTextBlock& block, const QTextBlockFormat& format,
    const Frame& frame, Fixed y, Fixed& widest)
{
    const Fixed rightMargin = blockBox(document, block, format, frame).rightMargin;
    const QTextLayout* lines = block.layout();
    Fixed bottom = 0;
    for (int i = 0; i < lines->lineCount(); ++i) {
        const QTextLine line = lines->lineAt(i);
        widest = std::max(widest, fixed(line.x() + line.naturalTextWidth()) + rightMargin);
        const LineHeights heights = lineHeights(format, line);
        bottom = y + heights.bottom;
        y += heights.step;
    }
    return std::max(y, bottom);
}

enum class Hit { before, after, inside, exact };

// Where `point` falls in a block's lines, and the position there.
Hit hitBlock(const QTextBlock& block, QPointF point, Qt::HitTestAccuracy accuracy, int* position)
{
    const QTextLayout* lines = block.layout();
    const QRectF box = lines->boundingRect().translated(lines->position());
    *position = block.position();
    if (point.y() < box.top() - block.blockFormat().topMargin())
        return Hit::before;
    if (point.y() > box.bottom()) {
        *position += block.length();
        return Hit::after;
    }
    const QPointF inLines = point - lines->position();
    Hit hit = Hit::inside;
    int offset = 0;
    for (int i = 0; i < lines->lineCount(); ++i) {
        const QTextLine line = lines->lineAt(i);
        const QRectF drawn = line.naturalTextRect();
        if (drawn.top() > inLines.y()) {
            offset = std::min(offset, line.textStart());
        } else if (drawn.bottom() <= inLines.y()) {
            offset = std::max(offset, line.textStart() + line.textLength());
        } else {
            if (drawn.left() <= inLines.x() && drawn.right() >= inLines.x())
                hit = Hit::exact;
            // An anchor is hit over the whole of its characters, not only their left halves.
            offset = line.xToCursor(inLines.x(),
                accuracy == Qt::ExactHit ? QTextLine::CursorOnCharacter : QTextLine::CursorBetweenCharacters);
            break;
        }
    }
    *position += offset;
    return hit;
}

} // namespace

NotesDocumentLayout::NotesDocumentLayout(QTextDocument* document)
    : QAbstractTextDocumentLayout(document)
{
}

void NotesDocumentLayout::documentChanged(int from, int, int charsAdded)
{
    QTextDocument& document = *this->document();
    QTextBlock end = document.findBlock(std::max(0, from + charsAdded - 1));
    if (end.isValid())
        end = end.next();
    for (QTextBlock block = document.findBlock(from); block.isValid() && block != end; block = block.next())
        block.clearLayout();
    if (document.pageSize().isNull())
        return;

    const Frame frame = rootFrame(document);
    const bool newWidth = real(frame.contentsWidth) != m_contentsWidth;
    m_contentsWidth = real(frame.contentsWidth);
    const int changedTo = from + charsAdded;
    Fixed y = frame.top;
    Fixed widest = 0;
    qreal updateTop = std::numeric_limits<qreal>::max();
    qreal updateBottom = std::numeric_limits<qreal>::lowest();
    bool moved = false;
    QTextBlockFormat previous;
    int number = 0;
    QTextBlock block = document.begin();
    for (; block.isValid() && block.isVisible(); block = block.next(), ++number) {
        const QTextBlockFormat format = block.blockFormat();
        if (number > 0)
            y += fixed(std::max(format.topMargin(), previous.bottomMargin()));
        if (real(y) > m_laidOutHeight)
            break;
        previous = format;
        QTextLayout* lines = block.layout();
        const QPointF was = lines->position();
        lines->setPosition(QPointF(real(frame.left), real(y)));
        const int position = block.position();
        if (newWidth || lines->lineCount() == 0 || (position + block.length() > from && position <= changedTo)) {
            updateTop = std::min(updateTop, real(y));
            y = layOutLines(document, block, format, frame, y, widest);
            updateBottom = std::max(updateBottom, real(y));
        } else {
            moved = moved || lines->position() != was;
            y = linesBottom(document, block, format, frame, y, widest);
        }
    }

    // Lines that were laid out and are left out now lose their lines: they may come back at another
    // width. Those that were are below the last end, moved down by the blocks the change added.
    const int blocks = document.blockCount();
    const int stale = std::min(blocks, m_end + std::max(0, blocks - m_blockCount));
    for (int left = number; block.isValid() && left < stale; block = block.next(), ++left)
        block.clearLayout();
    m_end = number;
    m_endTop = real(y);
    m_blockCount = blocks;

    const QSizeF size(real(std::max(frame.contentsWidth, widest) + frame.marginWidth), real(y + frame.bottom));
    const bool resized = size != m_size;
    m_size = size;
    if (resized)
        emit documentSizeChanged(size);
    // What moved or left the document needs drawing again to its foot; otherwise the lines laid out.
    if (moved || resized)
        updateBottom = std::numeric_limits<int>::max();
    if (updateTop <= updateBottom)
        emit update(QRectF(0, std::min(updateTop, updateBottom), std::numeric_limits<int>::max(),
            updateBottom - std::min(updateTop, updateBottom)));
}

void NotesDocumentLayout::draw(QPainter* painter, const PaintContext& context)
{
    QTextDocument& document = *this->document();
    if (document.pageSize().isNull())
        return;
    // Lines are drawn inside the frame's margins.
    const Frame frame = rootFrame(document);
    const QRectF inside = QRectF(QPointF(), m_size).adjusted(real(frame.leftMargin), 0, -real(frame.rightMargin), 0);
    const QRectF clip = context.clip.isValid() ? context.clip & inside : inside;
    QTextBlock block = document.begin();
    for (int number = 0; number < m_end; block = block.next(), ++number) {
        const QTextLayout* lines = block.layout();
        const QRectF box = lines->boundingRect().translated(lines->position());
        if (context.clip.isValid() && box.top() > context.clip.bottom())
            break;
        if (!context.clip.isValid() || box.bottom() >= context.clip.y())
            drawBlock(painter, context, block, clip);
    }
}

void NotesDocumentLayout::drawBlock(
    QPainter* painter, const PaintContext& context, const QTextBlock& block, const QRectF& clip) const
{
    const QTextLayout* lines = block.layout();
    if (const QBrush background = block.blockFormat().background(); background != Qt::NoBrush) {
        const QRectF box = lines->boundingRect().translated(lines->position());
        painter->save();
        painter->setBrushOrigin(box.topLeft());
        painter->fillRect(box, background);
        painter->restore();
    }
    const int start = block.position();
    const int length = block.length();
    QList<QTextLayout::FormatRange> selections;
    for (const Selection& selection : context.selections) {
        const int selectionStart = selection.cursor.selectionStart() - start;
        const int selectionEnd = selection.cursor.selectionEnd() - start;
        if (selectionStart < length && selectionEnd > 0 && selectionEnd > selectionStart)
            selections.append({selectionStart, selectionEnd - selectionStart, selection.format});
    }
    const QPen pen = painter->pen();
    painter->setPen(context.palette.color(QPalette::Text));
    lines->draw(painter, QPointF(), selections, clip);
    const int caret = context.cursorPosition;
    const bool preediting = caret < -1 && !lines->preeditAreaText().isEmpty();
    if ((caret >= start && caret < start + length) || preediting) {
        // The editor gives its caret's width as a property of the layout.
        const QVariant width = property("cursorWidth");
        lines->drawCursor(painter, QPointF(), preediting ? lines->preeditAreaPosition() - (caret + 2) : caret - start,
            width.isValid() ? width.toInt() : 1);
    }
    painter->setPen(pen);
}

int NotesDocumentLayout::hitTest(const QPointF& point, Qt::HitTestAccuracy accuracy) const
{
    // Read in 64ths of a pixel, as Qt's layout reads it.
    const QPointF at(real(fixed(point.x())), real(fixed(point.y())));
    const QTextDocument& document = *this->document();
    int position = 0;
    Hit hit = Hit::before;
    const QTextLayout* inside = nullptr;
    QTextBlock block = document.begin();
    for (int number = 0; number < m_end; block = block.next(), ++number) {
        int found = 0;
        const Hit blockHit = hitBlock(block, at, accuracy, &found);
        if (blockHit >= Hit::inside) {
            hit = blockHit;
            position = found;
            inside = block.layout();
            break;
        }
        if ((blockHit == Hit::before && found < position) || (blockHit == Hit::after && found > position)) {
            hit = blockHit;
            position = found;
        }
    }
    if (accuracy == Qt::ExactHit && hit < Hit::exact)
        return -1;
    int last = document.rootFrame()->lastPosition();
    if (inside)
        last += int(inside->preeditAreaText().size());
    return std::clamp(position, 0, last);
}

int NotesDocumentLayout::pageCount() const
{
    return 1;
}

QSizeF NotesDocumentLayout::documentSize() const
{
    return m_size;
}

QRectF NotesDocumentLayout::frameBoundingRect(QTextFrame* frame) const
{
    return frame == document()->rootFrame() ? QRectF(QPointF(), m_size) : QRectF();
}

QRectF NotesDocumentLayout::blockBoundingRect(const QTextBlock& block) const
{
    if (document()->pageSize().isNull() || !block.isValid() || !block.isVisible())
        return QRectF();
    // A line left out below the height starts below it, as far down as the first one left out.
    if (block.blockNumber() >= m_end)
        return QRectF(0, m_endTop, 0, 0);
    const QTextLayout* lines = block.layout();
    QRectF rect = lines->boundingRect();
    rect.moveTopLeft(lines->position());
    return rect;
}
