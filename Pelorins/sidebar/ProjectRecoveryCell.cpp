#include "Pelorins/sidebar/ProjectRecoveryCell.h"

#include "PelorinsKit/model/Kanban.h"

void ProjectRecoveryCell::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    if (const auto* kanban = index.data(objectValueRole).value<Kanban*>()) {
        option->features |= QStyleOptionViewItem::HasDisplay;
        option->text = kanban->title();
    }
}
