#pragma once

#include <QAbstractTextDocumentLayout>
#include <QSizeF>
#include <limits>

// The layout of a notes editor's document. It puts the lines where Qt's own document layout puts
// the lines of notes (the space between paragraphs, indents, alignment, tab stops, attachments at
// the size their handler gives), from the top down to the first hidden line or the first line
// starting below the height it is given: a card shows its notes only so far, and everything from
// there on is left out. Qt's layout went through every line of the document after each change,
// hidden ones too, so that a keystroke in a note of 110,000 lines cost what all of them cost; here
// it costs what the lines shown cost. Tables and floating frames, which notes never hold, are laid
// out as plain lines.
class NotesDocumentLayout : public QAbstractTextDocumentLayout
{
    Q_OBJECT

public:
    explicit NotesDocumentLayout(QTextDocument* document);

    // Lines starting below this height are left out; none are without one. Given before the
    // document holds any text.
    void setLaidOutHeight(qreal height) { m_laidOutHeight = height; }

    void draw(QPainter* painter, const PaintContext& context) override;
    int hitTest(const QPointF& point, Qt::HitTestAccuracy accuracy) const override;
    int pageCount() const override;
    QSizeF documentSize() const override;
    QRectF frameBoundingRect(QTextFrame* frame) const override;
    QRectF blockBoundingRect(const QTextBlock& block) const override;

protected:
    void documentChanged(int from, int charsRemoved, int charsAdded) override;

private:
    void drawBlock(QPainter* painter, const PaintContext& context, const QTextBlock& block, const QRectF& clip) const;

    qreal m_laidOutHeight = std::numeric_limits<qreal>::infinity();
    QSizeF m_size;
    // The first block left out, where it would start, and the blocks there were when it was found:
    // the blocks left out hold no lines.
    int m_end = 0;
    qreal m_endTop = 0;
    int m_blockCount = 0;
    // The width the lines were laid out in: another one lays every line out anew.
    qreal m_contentsWidth = -1;
};
