#include "Pelorins/sidebar/ProjectRecoveryCell.h"

#include "PelorinsKit/model/Kanban.h"
#include "Platform/widgets/RowText.h"

void ProjectRecoveryCell::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    if (const auto* kanban = index.data(objectValueRole).value<Kanban*>()) {
        option->features |= QStyleOptionViewItem::HasDisplay;
        option->text = RowText::elided(kanban->title());
    }
}
