#pragma once

#include <QPixmap>
#include <QStyledItemDelegate>

// Draws a sidebar row: the folder or board icon, the title and, for a board, its count badge.
// In a selected row the badge's digits are white and a board's icon takes the selected text's
// colour.
class SourceOutlineViewCell : public QStyledItemDelegate
{
    Q_OBJECT
public:
    static constexpr int badgeHeight = 15;
    static constexpr int iconSize = 16;

    explicit SourceOutlineViewCell(QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // Where the badge of a row goes: at the right end, centred in height.
    static QRectF badgeFrame(const QRect& rowRect, const QSizeF& badgeSize);

private:
    const QPixmap& selectedKanbanIcon(const QColor& ink) const;

    QPixmap m_folderIcon;
    QPixmap m_kanbanIcon;
    mutable QPixmap m_selectedKanbanIcon;
    mutable QColor m_selectedKanbanInk;
};
