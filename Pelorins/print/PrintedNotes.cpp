#include "Pelorins/print/PrintedNotes.h"

#include "Pelorins/card/ListItemCellView.h"
#include "Pelorins/card/NotesTextView.h"
#include "PelorinsKit/notes/TextAttachmentObject.h"
#include "PelorinsKit/notes/TextDocumentTextStorage.h"

#include <QAbstractTextDocumentLayout>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <QThread>

PrintedNotes::PrintedNotes(const AttributedString& notes, const QHash<QString, int>& tagColours, int width,
    QThread* usedOn, std::optional<double> pictureZoom)
    : m_document(std::make_unique<QTextDocument>())
{
    NotesTextView::setUpDocument(*m_document);
    m_document->setPageSize(QSizeF(width, -1));
    // One edit for the text and its tag styles, so that the notes are laid out once, and laid
    // out to be drawn: without the cache each line is shaped again when it is drawn.
    QTextCursor edit(m_document.get());
    edit.beginEditBlock();
    {
        TextDocumentTextStorage storage(m_document.get());
        storage.setAttributedString(notes);
        const QList<std::pair<TextRange, QVariantMap>> styles
            = NotesTextView::hashtagStyles(*m_document, TextRange {0, storage.length()}, tagColours);
        if (!styles.isEmpty())
            storage.addCharacterAttributes(styles);
    }
    for (QTextBlock block = m_document->begin(); block.isValid(); block = block.next())
        block.layout()->setCacheEnabled(true);
    edit.endEditBlock();
    // Laid out to the end here, on this thread, with nothing left for a timer.
    m_document->documentLayout()->documentSize();
    if (pictureZoom) {
        if (auto* attachments = dynamic_cast<TextAttachmentObject*>(
                m_document->documentLayout()->handlerForObject(TextAttachmentObject::objectType)))
            attachments->decodePictures(m_document.get(), *pictureZoom);
    }
    for (const auto& [line, checked] : NotesTextView::checklistLines(*m_document))
        m_checkBoxes.append({NotesTextView::checkBoxFrame(*m_document, line.location, 1), checked});
    m_document->moveToThread(usedOn);
}

PrintedNotes::~PrintedNotes() = default;

QList<double> PrintedNotes::lineBottoms() const
{
    QList<double> bottoms;
    forEachLine(
        [&bottoms](const QTextLine& line, QPointF block) { bottoms.append(block.y() + line.y() + line.height()); });
    return bottoms;
}

void PrintedNotes::drawLines(QPainter& painter, double top, double bottom) const
{
    // Lines that touch the part only at its edge belong to the part beyond it.
    constexpr double edge = 1e-3;
    forEachLine([&](const QTextLine& line, QPointF block) {
        const double lineTop = block.y() + line.y();
        if (lineTop + line.height() > top + edge && lineTop < bottom - edge)
            line.draw(&painter, block);
    });
}

void PrintedNotes::forEachLine(const std::function<void(const QTextLine&, QPointF)>& visit) const
{
    for (QTextBlock block = m_document->begin(); block.isValid(); block = block.next()) {
        const QTextLayout* layout = block.layout();
        if (!layout)
            continue;
        const QPointF at = layout->position();
        for (int i = 0; i < layout->lineCount(); ++i)
            visit(layout->lineAt(i), at);
    }
}
