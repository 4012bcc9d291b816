#include "Pelorins/print/PrintableHeaderView.h"

#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/notes/NoteTextConventions.h"
#include "Platform/widgets/RowText.h"

#include <QPainter>
#include <algorithm>

namespace {

constexpr int inset = 8;

} // namespace

PrintableHeaderView::PrintableHeaderView(QWidget* parent)
    : QWidget(parent)
{
    resize(boxWidth, boxHeight);
}

void PrintableHeaderView::setColumn(KanbanColumn* column)
{
    if (!column)
        return;
    m_column = column;
    m_title = column->title();
    // Cards waiting to be deleted are neither shown on the board nor printed.
    const QList<ListItem*> cards = column->item();
    m_subtitle = cardCount(std::count_if(
        cards.begin(), cards.end(), [](ListItem* card) { return !card->isDeleted() && !card->toBeDeleted(); }));
}

QString PrintableHeaderView::cardCount(qsizetype count)
{
    if (count == 0)
        return QStringLiteral("empty");
    if (count == 1)
        return QStringLiteral("1 card");
    return QString::number(count) + QStringLiteral(" cards");
}

void PrintableHeaderView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const int width = boxWidth - 2 * inset;
    const QFont titleFont = systemFontOfSize(15, QFont::Bold);
    painter.setFont(titleFont);
    painter.setPen(Qt::black);
    painter.drawText(QRect(inset, 2, width, 20), Qt::AlignLeft | Qt::AlignVCenter,
        QFontMetrics(titleFont).elidedText(RowText::elided(m_title), Qt::ElideRight, width));
    const QFont subtitleFont = systemFontOfSize(11, QFont::Normal);
    painter.setFont(subtitleFont);
    painter.setPen(QColor(0x70, 0x70, 0x70));
    painter.drawText(QRect(inset, 22, width, 16), Qt::AlignLeft | Qt::AlignVCenter,
        QFontMetrics(subtitleFont).elidedText(m_subtitle, Qt::ElideRight, width));
}
