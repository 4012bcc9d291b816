#pragma once

#include <QStyledItemDelegate>

class ItemCheckedDelegate;

// Draws a row of the archive sheet (check box, icon, title) and turns a click on its check box
// into the row's new export mark, on or off, never mixed; then tells its delegate.
class ExportItemCell : public QStyledItemDelegate
{
    Q_OBJECT
public:
    explicit ExportItemCell(ItemCheckedDelegate* delegate, QObject* parent = nullptr);

    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
        const QModelIndex& index) override;

private:
    ItemCheckedDelegate* m_delegate;
};
