#pragma once

#include <QColor>
#include <QPixmap>
#include <QStyledItemDelegate>
#include <functional>

// Draws a sidebar row: the folder or board icon, the title and, for a board, its count badge.
// In a selected row the badge's digits are white and a board's icon takes the selected text's
// colour. A title edited in place is set when editing ends, saved with `saveAction`, and
// announced as `projectTitleChanged` with the cell as sender; what the user typed meanwhile is
// kept when the row is redrawn with fresh counts.
class SourceOutlineViewCell : public QStyledItemDelegate
{
    Q_OBJECT
public:
    static constexpr int badgeHeight = 15;
    static constexpr int iconSize = 16;

    explicit SourceOutlineViewCell(std::function<void()> saveAction = {}, QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void updateEditorGeometry(
        QWidget* editor, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;

    // The row icons ("Folder-icon", and "kanban-icon" drawn in `ink`), also shown by the archive
    // sheet's rows.
    static QPixmap folderIcon(qreal devicePixelRatio);
    static QPixmap kanbanIcon(qreal devicePixelRatio, const QColor& ink = QColor(90, 98, 110));

    // Where the badge of a row goes: at the right end, centred in height.
    static QRectF badgeFrame(const QRect& rowRect, const QSizeF& badgeSize);

private:
    const QPixmap& selectedKanbanIcon(const QColor& ink) const;

    std::function<void()> m_saveAction;
    QPixmap m_folderIcon;
    QPixmap m_kanbanIcon;
    mutable QPixmap m_selectedKanbanIcon;
    mutable QColor m_selectedKanbanInk;
};
