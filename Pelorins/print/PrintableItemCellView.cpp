#include "Pelorins/print/PrintableItemCellView.h"

#include "Pelorins/card/DateDisplayButton.h"
#include "Pelorins/card/ListItemCellView.h"
#include "Pelorins/card/NotesTextView.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/model/ListItem.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

namespace {

// The badge sits in the middle of the rows below the notes.
constexpr int badgeLeft = 10;
constexpr int badgeTop = 20;

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
    m_noteTextView->runProgrammaticChange(
        [&] { m_noteTextView->storage().setAttributedString(text.value_or(AttributedString())); });
    m_noteTextView->removeCheckButtons();
    m_noteTextView->styleTags();
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
    m_showDateButton->updateDateDisplay(QDateTime::currentDateTimeUtc());
    m_showDateButton->resize(m_showDateButton->sizeHint());
    m_showDateButton->move(badgeLeft, int(std::ceil(m_notesHeight)) + badgeTop);
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

void PrintableItemCellView::paintEvent(QPaintEvent*)
{
    // The card's sheet, as a light card on the page.
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0xd0, 0xd0, 0xd0), 1));
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
}
