#pragma once

#include <QAbstractTextDocumentLayout>
#include <QSizeF>

// The layout of a notes editor's document. It puts the lines where Qt's own document layout puts
// the lines of notes (the space between paragraphs, indents, alignment, tab stops, attachments at
// the size their handler gives), from the top down to the first hidden line: a card hides the
// lines far below what it shows, and everything from there on is left out. Qt's layout went
// through every line of the document after each change, hidden ones too, so that a keystroke in a
// note of 110,000 lines cost what all of them cost; here it costs what the lines shown cost.
// Tables and floating frames, which notes never hold, are laid out as plain lines.
class NotesDocumentLayout : public QAbstractTextDocumentLayout
{
    Q_OBJECT

public:
    explicit NotesDocumentLayout(QTextDocument* document);

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

    QSizeF m_size;
    // The width the lines were laid out in: another one lays every line out anew.
    qreal m_contentsWidth = -1;
};
