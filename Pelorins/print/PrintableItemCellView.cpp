#include "Pelorins/print/PrintableItemCellView.h"

#include "Pelorins/card/DateDisplayButton.h"
#include "Pelorins/card/ListItemCellView.h"
#include "Pelorins/card/NotesTextView.h"
#include "Pelorins/card/PrintableCheckButton.h"
#include "Pelorins/shell/ColourHelpers.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/model/ListItem.h"
#include "Platform/core/UserDefaults.h"

#include <QAbstractButton>
#include <QAbstractTextDocumentLayout>
#include <QPainter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <algorithm>
#include <cmath>

namespace {

// The badge sits in the middle of the rows below the notes.
constexpr int badgeLeft = 10;
constexpr int badgeTop = 20;
// The contrast asked of large text and graphics.
constexpr double minimumTextContrast = 3;

} // namespace

PrintableItemCellView::PrintableItemCellView(QWidget* parent)
    : QWidget(parent)
    , m_noteTextView(new NotesTextView(this))
    , m_showDateButton(new DateDisplayButton(this))
{
    m_noteTextView->setup();
    m_noteTextView->setNotesDelegate(this);
    m_noteTextView->setReadOnly(true);
    m_noteTextView->setTextInteractionFlags(Qt::NoTextInteraction);
    m_noteTextView->setGeometry(0, 0, cardWidth, 10000);
    m_showDateButton->hide();
    resize(cardWidth, fixedHeight);
}

PrintableItemCellView::~PrintableItemCellView() = default;

void PrintableItemCellView::setObjectValue(ListItem* card, std::optional<double> notesHeight)
{
    m_objectValue = card;
    m_notesHeight = notesHeight.value_or(0);
}

void PrintableItemCellView::configure()
{
    const int notes = int(std::ceil(m_notesHeight));
    resize(cardWidth, notes + fixedHeight);
    m_noteTextView->setGeometry(0, 0, cardWidth, std::max(notes, 1));
    // Link cards and pictures printed as the editor shows them, not their stored stand-ins.
    const std::optional<AttributedString> text = m_objectValue ? m_objectValue->getAttributedNotes() : std::nullopt;
    // One edit for the text and its tag styles, so that the notes are laid out once, and laid
    // out to be drawn: without the cache each line is shaped again when it is drawn.
    QTextDocument* document = m_noteTextView->document();
    m_noteTextView->runProgrammaticChange([&] {
        QTextCursor edit(document);
        edit.beginEditBlock();
        m_noteTextView->storage().setAttributedString(text.value_or(AttributedString()));
        m_noteTextView->removeCheckButtons();
        m_noteTextView->styleTags();
        for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
            block.layout()->setCacheEnabled(true);
        edit.endEditBlock();
    });
    m_noteTextView->layoutCheckButtons();
    m_noteTextView->setVisible(notes > 0);
    updateDueDate();
}

void PrintableItemCellView::updateDueDate()
{
    if (!m_objectValue)
        return;
    const std::optional<QDateTime> due = m_objectValue->dueDate();
    m_showDateButton->setVisible(due.has_value());
    if (!due)
        return;
    m_showDateButton->setDateValue(due);
    // Printed now, by the due-soon setting of the preferences.
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const QColor fill = DateDisplayButton::badgeColour(*m_objectValue, now, UserDefaults::standard());
    m_showDateButton->setBackgroundColour(fill);
    m_showDateButton->setTextColour(badgeTextColour(fill));
    m_showDateButton->updateDateDisplay(now);
    m_showDateButton->resize(m_showDateButton->sizeHint());
    m_showDateButton->move(badgeLeft, int(std::ceil(m_notesHeight)) + badgeTop);
}

QColor PrintableItemCellView::badgeTextColour(const QColor& fill)
{
    // Paper is read in any light: white only where it stands out from the fill.
    return contrastRatio(fill, Qt::white) >= minimumTextContrast ? QColor(Qt::white) : QColor(Qt::black);
}

QList<Tag*> PrintableItemCellView::existingTags() const
{
    KanbanColumn* column = m_objectValue ? m_objectValue->column() : nullptr;
    if (column && column->kanban())
        return column->kanban()->tags();
    if (column && column->mainKanban())
        return column->mainKanban()->tags();
    return {};
}

QList<double> PrintableItemCellView::lineBottoms() const
{
    QList<double> bottoms;
    forEachLine([&bottoms](const QTextLine& line, QPointF block) { bottoms.append(block.y() + line.y() + line.height()); });
    return bottoms;
}

void PrintableItemCellView::print(QPainter& painter, double top, double bottom) const
{
    // Lines that touch the part only at its edge belong to the part beyond it.
    constexpr double edge = 1e-3;
    painter.save();
    painter.setClipRect(QRectF(0, top, width(), bottom - top), Qt::IntersectClip);
    painter.setRenderHint(QPainter::Antialiasing);
    drawSheet(painter);
    painter.setPen(m_noteTextView->palette().color(QPalette::Text));
    forEachLine([&](const QTextLine& line, QPointF block) {
        const double lineTop = block.y() + line.y();
        if (lineTop + line.height() > top + edge && lineTop < bottom - edge)
            line.draw(&painter, block);
    });
    // The check boxes of the lines and the due badge.
    const auto drawPart = [&](const QWidget& part, const auto& draw) {
        const QRect frame(part.mapTo(this, QPoint(0, 0)), part.size());
        if (part.isHidden() || frame.bottom() + 1 <= top || frame.top() >= bottom)
            return;
        painter.save();
        painter.translate(frame.topLeft());
        draw();
        painter.restore();
    };
    for (QAbstractButton* button : m_noteTextView->checkButtons()) {
        if (const auto* box = qobject_cast<const PrintableCheckButton*>(button))
            drawPart(*box, [&] { box->draw(painter); });
    }
    drawPart(*m_showDateButton, [&] { m_showDateButton->draw(painter); });
    painter.restore();
}

void PrintableItemCellView::forEachLine(const std::function<void(const QTextLine&, QPointF)>& visit) const
{
    if (m_noteTextView->isHidden() || m_noteTextView->document()->isEmpty())
        return;
    const QPointF origin = m_noteTextView->viewport()->mapTo(this, QPoint(0, 0));
    const QTextDocument* document = m_noteTextView->document();
    // Laid out before its lines are read.
    document->documentLayout()->documentSize();
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        const QTextLayout* layout = block.layout();
        if (!layout)
            continue;
        const QPointF at = origin + layout->position();
        for (int i = 0; i < layout->lineCount(); ++i)
            visit(layout->lineAt(i), at);
    }
}

void PrintableItemCellView::drawSheet(QPainter& painter) const
{
    painter.save();
    painter.setPen(QPen(QColor(0xd0, 0xd0, 0xd0), 1));
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
    painter.restore();
}

void PrintableItemCellView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    drawSheet(painter);
}
