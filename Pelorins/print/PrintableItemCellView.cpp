#include "Pelorins/print/PrintableItemCellView.h"

#include "Pelorins/card/DateDisplayButton.h"
#include "Pelorins/card/PrintableCheckButton.h"
#include "Pelorins/common/ColourHelpers.h"
#include "Pelorins/print/PrintedNotes.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/model/Tag.h"
#include "Platform/core/UserDefaults.h"

#include <QApplication>
#include <QPainter>
#include <QThread>
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
    , m_showDateButton(new DateDisplayButton(this))
{
    m_showDateButton->hide();
    resize(cardWidth, fixedHeight);
}

PrintableItemCellView::~PrintableItemCellView() = default;

void PrintableItemCellView::setObjectValue(ListItem* card, std::optional<double> notesHeight)
{
    m_objectValue = card;
    m_notesHeight = notesHeight.value_or(0);
}

std::optional<PrintableItemCellView::NotesSource> PrintableItemCellView::notesSource(ListItem* card)
{
    // Link cards and pictures printed as the editor shows them, not their stored stand-ins.
    std::optional<AttributedString> text = card ? card->getAttributedNotes() : std::nullopt;
    if (!text || text->isEmpty())
        return std::nullopt;
    NotesSource source {std::move(*text), {}};
    KanbanColumn* column = card->column();
    Kanban* board = column ? (column->kanban() ? column->kanban() : column->mainKanban()) : nullptr;
    // The first tag of a name gives it its colour.
    for (const Tag* tag : board ? board->tags() : QList<Tag*>()) {
        if (!source.tagColours.contains(tag->name()))
            source.tagColours.insert(tag->name(), int(tag->colour()));
    }
    return source;
}

std::shared_ptr<const PrintedNotes> PrintableItemCellView::layOutNotes(
    const NotesSource& source, QThread* usedOn, std::optional<double> pictureZoom)
{
    return std::make_shared<const PrintedNotes>(source.text, source.tagColours, cardWidth, usedOn, pictureZoom);
}

void PrintableItemCellView::configure(std::shared_ptr<const PrintedNotes> notes)
{
    const int height = int(std::ceil(m_notesHeight));
    resize(cardWidth, height + fixedHeight);
    m_notes = nullptr;
    if (height > 0 && !notes) {
        if (const std::optional<NotesSource> source = notesSource(m_objectValue))
            notes = layOutNotes(*source, QThread::currentThread());
    }
    if (height > 0)
        m_notes = std::move(notes);
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

QList<double> PrintableItemCellView::lineBottoms() const
{
    return m_notes ? m_notes->lineBottoms() : QList<double>();
}

void PrintableItemCellView::print(QPainter& painter, double top, double bottom) const
{
    painter.save();
    painter.setClipRect(QRectF(0, top, width(), bottom - top), Qt::IntersectClip);
    painter.setRenderHint(QPainter::Antialiasing);
    drawSheet(painter);
    // In the notes editor's text colour, as the pen a line sets for text of a colour: lines of
    // that colour then leave the pen as it is, which on paper writes nothing.
    painter.setPen(QPen(QApplication::palette("QTextEdit").color(QPalette::Text), 0));
    // The lines, the boxes of their checklist lines and the due badge.
    const auto drawPart = [&](const QRect& frame, const auto& draw) {
        if (frame.bottom() + 1 <= top || frame.top() >= bottom)
            return;
        painter.save();
        painter.translate(frame.topLeft());
        draw();
        painter.restore();
    };
    if (m_notes) {
        m_notes->drawLines(painter, top, bottom);
        for (const PrintedNotes::CheckBox& box : m_notes->checkBoxes())
            drawPart(box.frame, [&] { PrintableCheckButton::draw(painter, box.frame.width(), box.checked); });
    }
    if (!m_showDateButton->isHidden())
        drawPart(m_showDateButton->geometry(), [&] { m_showDateButton->draw(painter); });
    painter.restore();
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
    print(painter, 0, height());
}
