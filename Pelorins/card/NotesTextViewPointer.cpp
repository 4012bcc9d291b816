// The pointer in the notes editor: presses left to the column, clicks at the zoom, links and
// link cards.

#include "Pelorins/card/NotesTextView.h"

#include "Pelorins/card/ListItemCellView.h"
#include "PelorinsKit/notes/AttributeKey.h"

#include <QAbstractTextDocumentLayout>
#include <QTextBlock>

QMouseEvent NotesTextView::unzoomed(const QMouseEvent* event) const
{
    return QMouseEvent(event->type(), event->position() / m_scale, event->scenePosition(), event->globalPosition(),
        event->button(), event->buttons(), event->modifiers(), event->pointingDevice());
}

void NotesTextView::wheelEvent(QWheelEvent* event)
{
    // The notes never scroll: the column under them does.
    event->ignore();
}

bool NotesTextView::leavesPressToColumn(const QMouseEvent* event) const
{
    // In a card not being edited, the column decides whether a press drags the card or clicks
    // it (then beginEditingAt()); in a card being edited, pressing and moving selects text.
    if (!m_parentCell || m_isFirstResponder)
        return false;
    return event->type() == QEvent::MouseMove ? bool(event->buttons() & Qt::LeftButton)
                                              : event->button() == Qt::LeftButton;
}

void NotesTextView::beginEditingAt(const QPoint& point)
{
    setFocus(Qt::MouseFocusReason);
    if (!m_isFirstResponder)
        return;
    const QPointF global = viewport()->mapToGlobal(QPointF(point));
    QMouseEvent press(QEvent::MouseButtonPress, point, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, point, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    mousePressEvent(&press);
    mouseReleaseEvent(&release);
}

void NotesTextView::mousePressEvent(QMouseEvent* event)
{
    if (leavesPressToColumn(event)) {
        event->ignore();
        return;
    }
    QMouseEvent atFullSize = unzoomed(event);
    m_pressPosition = atFullSize.position().toPoint();
    QTextEdit::mousePressEvent(&atFullSize);
}

void NotesTextView::mouseMoveEvent(QMouseEvent* event)
{
    if (leavesPressToColumn(event)) {
        event->ignore();
        return;
    }
    QMouseEvent atFullSize = unzoomed(event);
    QTextEdit::mouseMoveEvent(&atFullSize);
}

void NotesTextView::mouseDoubleClickEvent(QMouseEvent* event)
{
    QMouseEvent atFullSize = unzoomed(event);
    if (event->button() == Qt::LeftButton && m_parentCell) {
        if (const std::optional<int> link = linkAttachmentAt(atFullSize.position().toPoint())) {
            m_parentCell->doubleClickedOnLink(*link);
            return;
        }
    }
    QTextEdit::mouseDoubleClickEvent(&atFullSize);
}

std::optional<int> NotesTextView::linkAttachmentAt(const QPoint& point) const
{
    QAbstractTextDocumentLayout* layout = document()->documentLayout();
    const int hit = layout->hitTest(point, Qt::FuzzyHit);
    // A hit lands before or after the card, by the half of it under the point.
    for (const int position : {hit, hit - 1}) {
        if (position < 0 || position >= m_storage.length()
            || !m_storage.attribute(AttributeKey::attachmentLinkData, position).isValid())
            continue;
        const QTextBlock block = document()->findBlock(position);
        const QTextLine line = block.layout()->lineForTextPosition(position - block.position());
        if (!line.isValid())
            continue;
        const QRectF blockRect = layout->blockBoundingRect(block);
        const qreal from = line.cursorToX(position - block.position());
        const qreal to = line.cursorToX(position + 1 - block.position());
        const QRectF card(
            blockRect.left() + std::min(from, to), blockRect.top() + line.y(), std::abs(to - from), line.height());
        if (card.contains(point))
            return position;
    }
    return std::nullopt;
}

void NotesTextView::openUrl(const QUrl& url) const
{
    if (m_urlOpener)
        m_urlOpener(url);
}

void NotesTextView::mouseReleaseEvent(QMouseEvent* event)
{
    if (leavesPressToColumn(event)) {
        event->ignore();
        return;
    }
    QMouseEvent atFullSize = unzoomed(event);
    QTextEdit::mouseReleaseEvent(&atFullSize);
    const QPoint position = atFullSize.position().toPoint();
    if (event->button() != Qt::LeftButton || (position - m_pressPosition).manhattanLength() > 3)
        return;
    if (m_parentCell) {
        if (const std::optional<int> card = linkAttachmentAt(position)) {
            m_parentCell->clickedOnLink(*card);
            return;
        }
    }
    const QString link = anchorAt(position);
    if (!link.isEmpty())
        openUrl(QUrl(link));
}
