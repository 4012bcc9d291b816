#include "Pelorins/sidebar/SourceOutlineViewCell.h"

#include "Pelorins/common/ColorCountButtonCell.h"
#include "Pelorins/sidebar/SourceTreeModel.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/NotificationName.h"
#include "Platform/core/NotificationCenter.h"

#include <QApplication>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <functional>

namespace {

constexpr int horizontalMargin = 6;
constexpr int spacing = 5;

QPixmap makeIcon(qreal devicePixelRatio, const std::function<void(QPainter&)>& draw)
{
    QPixmap pixmap(QSize(SourceOutlineViewCell::iconSize, SourceOutlineViewCell::iconSize) * devicePixelRatio);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    draw(painter);
    return pixmap;
}

// "Folder-icon": a tabbed folder in the sidebar's blue.
void drawFolderIcon(QPainter& painter)
{
    const QColor blue(64, 156, 255);
    QPainterPath tab;
    tab.addRoundedRect(QRectF(1.5, 2.5, 6, 3), 1, 1);
    painter.setPen(QPen(blue.darker(115), 1));
    painter.setBrush(blue.lighter(115));
    painter.drawPath(tab);
    painter.setBrush(blue);
    painter.drawRoundedRect(QRectF(1.5, 4.5, 13, 9.5), 1.5, 1.5);
}

// "kanban-icon": a board of three stage columns with cards, in `ink`.
void drawKanbanIcon(QPainter& painter, const QColor& ink)
{
    painter.setPen(QPen(ink, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(1.5, 2.5, 13, 11), 1.5, 1.5);
    painter.setPen(Qt::NoPen);
    painter.setBrush(ink);
    const int cards[] = {3, 2, 1};
    for (int column = 0; column < 3; ++column)
        for (int card = 0; card < cards[column]; ++card)
            painter.drawRect(QRectF(3.5 + column * 3.5, 4.5 + card * 3, 2.5, 2));
}

} // namespace

SourceOutlineViewCell::SourceOutlineViewCell(std::function<void()> saveAction, QObject* parent)
    : QStyledItemDelegate(parent)
    , m_saveAction(std::move(saveAction))
{
    const qreal ratio = qApp ? qApp->devicePixelRatio() : 1.0;
    m_folderIcon = folderIcon(ratio);
    m_kanbanIcon = kanbanIcon(ratio);
}

QPixmap SourceOutlineViewCell::folderIcon(qreal devicePixelRatio)
{
    return makeIcon(devicePixelRatio, drawFolderIcon);
}

QPixmap SourceOutlineViewCell::kanbanIcon(qreal devicePixelRatio, const QColor& ink)
{
    return makeIcon(devicePixelRatio, [&ink](QPainter& painter) { drawKanbanIcon(painter, ink); });
}

const QPixmap& SourceOutlineViewCell::selectedKanbanIcon(const QColor& ink) const
{
    // Made again only when the selection's text colour changes.
    if (m_selectedKanbanIcon.isNull() || m_selectedKanbanInk != ink) {
        m_selectedKanbanInk = ink;
        m_selectedKanbanIcon = kanbanIcon(m_kanbanIcon.devicePixelRatio(), ink);
    }
    return m_selectedKanbanIcon;
}

QRectF SourceOutlineViewCell::badgeFrame(const QRect& rowRect, const QSizeF& badgeSize)
{
    return {rowRect.right() + 1 - horizontalMargin - badgeSize.width(),
        rowRect.top() + (rowRect.height() - badgeSize.height()) / 2, badgeSize.width(), badgeSize.height()};
}

void SourceOutlineViewCell::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    // The row's background and selection only; the rest is drawn here.
    opt.text.clear();
    opt.icon = QIcon();
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &opt, painter, widget);

    auto* item = index.data(SourceTreeModel::ItemRole).value<DisplayItem*>();
    const bool isKanban = dynamic_cast<Kanban*>(item);
    const QRect rect = option.rect;
    int left = rect.left() + horizontalMargin;
    int right = rect.right() - horizontalMargin;
    const bool selected = option.state & QStyle::State_Selected;
    const QPalette::ColorGroup group = opt.state & QStyle::State_Enabled ? QPalette::Normal : QPalette::Disabled;

    // A board's icon is drawn in the row's text colour when selected, to stand out on the selection.
    const QPixmap& icon = !isKanban ? m_folderIcon
        : selected                  ? selectedKanbanIcon(opt.palette.color(group, QPalette::HighlightedText))
                                    : m_kanbanIcon;
    painter->drawPixmap(QPoint(left, rect.top() + (rect.height() - iconSize) / 2), icon);
    left += iconSize + spacing;

    const QVariant count = index.data(SourceTreeModel::BadgeCountRole);
    if (count.isValid()) {
        ColorCountButtonCell badge(QString::number(count.toInt()));
        badge.setBackgroundColor(index.data(SourceTreeModel::BadgeColourRole).value<QColor>());
        badge.setEmphasized(selected);
        const QRectF frame = badgeFrame(rect, badge.sizeThatFits(badgeHeight));
        badge.draw(*painter, frame);
        right = int(frame.left()) - spacing;
    }

    const QPalette::ColorRole textRole = selected ? QPalette::HighlightedText : QPalette::Text;
    const QRect textRect(left, rect.top(), std::max(0, right - left), rect.height());
    const QString title
        = opt.fontMetrics.elidedText(index.data(Qt::DisplayRole).toString(), Qt::ElideRight, textRect.width());
    painter->save();
    painter->setFont(opt.font);
    painter->setPen(opt.palette.color(group, textRole));
    painter->drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine, title);
    painter->restore();
}

QSize SourceOutlineViewCell::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setHeight(std::max({size.height(), iconSize + 6, badgeHeight + 7}));
    return size;
}

void SourceOutlineViewCell::updateEditorGeometry(
    QWidget* editor, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    // The title's place: after the icon, before the badge.
    QRect rect = option.rect;
    rect.setLeft(rect.left() + horizontalMargin + iconSize + spacing - 3);
    const QVariant count = index.data(SourceTreeModel::BadgeCountRole);
    if (count.isValid()) {
        const ColorCountButtonCell badge(QString::number(count.toInt()));
        rect.setRight(int(badgeFrame(option.rect, badge.sizeThatFits(badgeHeight)).left()) - spacing);
    }
    editor->setGeometry(rect);
}

void SourceOutlineViewCell::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    // The view hands every change of the row to its editor, badge recounts included.
    auto* field = qobject_cast<QLineEdit*>(editor);
    if (field && field->isModified())
        return;
    QStyledItemDelegate::setEditorData(editor, index);
    // Typing replaces the whole title, as a new or copied item's title is meant to be.
    if (field)
        field->selectAll();
}

void SourceOutlineViewCell::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const
{
    if (auto* field = qobject_cast<QLineEdit*>(editor)) {
        model->setData(index, field->text(), Qt::EditRole);
        if (m_saveAction)
            m_saveAction();
    }
    NotificationCenter::shared().post(NotificationName::projectTitleChanged, this);
}
