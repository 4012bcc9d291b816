#include "Pelorins/column/ReadOnlyCardView.h"

#include "Pelorins/shell/AppConstants.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/notes/AttributedString.h"
#include "PelorinsKit/notes/NoteTextConventions.h"

#include <QPainter>
#include <QTextOption>

namespace {

// Full-size geometry of a card: the rounded panel inside the row, and the text inside the panel
// at the width the card heights are measured for.
constexpr qreal panelInsetX = 4;
constexpr qreal panelInsetY = 3;
constexpr qreal panelRadius = 6;
constexpr qreal textLeft = 18;
constexpr qreal textTop = 14;
constexpr qreal textWidth = kanbanColumnWidth - 2 * kanbanCellPadding - 2 * 10;
constexpr int textPixelSize = 13;

QString textOf(const ListItem& item)
{
    if (!item.notesExpanded().value_or(false))
        return item.firstLineOfNotes();
    const std::optional<AttributedString> notes = item.attributedNotes();
    QString text = notes ? notes->string() : QString();
    // Pictures and link cards are not shown as text.
    text.remove(AttributedString::attachmentCharacter);
    return text;
}

} // namespace

ReadOnlyCardView::ReadOnlyCardView(QWidget* parent)
    : QWidget(parent)
{
}

void ReadOnlyCardView::setObjectValue(ListItem* item)
{
    m_item = item;
    layOutText();
    update();
}

void ReadOnlyCardView::setSelected(bool selected)
{
    m_selected = selected;
}

void ReadOnlyCardView::updateSelectionAppearance()
{
    update();
}

void ReadOnlyCardView::setScale(qreal scale)
{
    if (scale == m_scale || !(scale > 0))
        return;
    m_scale = scale;
    update();
}

void ReadOnlyCardView::layOutText()
{
    QFont font = systemFontOfSize(textPixelSize, QFont::Normal);
    font.setStrikeOut(m_item && m_item->done());
    m_layout.clearLayout();
    QString text = m_item ? textOf(*m_item) : QString();
    // A text layout breaks lines only at line separators.
    for (const QChar lineEnd : {QChar(u'\n'), QChar(u'\r'), QChar(QChar::ParagraphSeparator)})
        text.replace(lineEnd, QChar::LineSeparator);
    m_layout.setText(text);
    m_layout.setFont(font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    m_layout.setTextOption(option);
    m_layout.beginLayout();
    qreal y = 0;
    for (QTextLine line = m_layout.createLine(); line.isValid(); line = m_layout.createLine()) {
        line.setLineWidth(textWidth);
        line.setPosition(QPointF(0, y));
        y += line.height();
    }
    m_layout.endLayout();
}

void ReadOnlyCardView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(m_scale, m_scale);
    const QSizeF size = QSizeF(width(), height()) / m_scale;
    const QRectF panel(panelInsetX, panelInsetY, size.width() - 2 * panelInsetX, size.height() - 2 * panelInsetY);
    painter.setBrush(palette().color(QPalette::Base));
    painter.setPen(m_selected ? QPen(accentBlueColour(), 2) : QPen(palette().color(QPalette::Mid), 0.5));
    painter.drawRoundedRect(panel, panelRadius, panelRadius);

    painter.setClipRect(panel.adjusted(0, 0, 0, -panelInsetY));
    painter.setPen(palette().color(QPalette::Text));
    m_layout.draw(&painter, QPointF(textLeft, textTop));
}
