#include "Pelorins/archive/ExportItemCell.h"

#include "Pelorins/archive/ImportExportOutlineModel.h"
#include "Pelorins/archive/ItemCheckedDelegate.h"

ExportItemCell::ExportItemCell(ItemCheckedDelegate* delegate, QObject* parent)
    : QStyledItemDelegate(parent)
    , m_delegate(delegate)
{
}

bool ExportItemCell::editorEvent(
    QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option, const QModelIndex& index)
{
    const QVariant before = index.data(Qt::CheckStateRole);
    const bool handled = QStyledItemDelegate::editorEvent(event, model, option, index);
    auto* outline = qobject_cast<ImportExportOutlineModel*>(model);
    DisplayItem* item = outline ? outline->displayItem(index) : nullptr;
    if (item && m_delegate && index.data(Qt::CheckStateRole) != before)
        m_delegate->exportItemChecked(item);
    return handled;
}
