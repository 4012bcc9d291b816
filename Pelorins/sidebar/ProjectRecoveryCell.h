#pragma once

#include <QStyledItemDelegate>

// A row of the project recovery list: the title of the row's board, empty for a board without
// one. A row whose value is no board keeps the text it has.
class ProjectRecoveryCell : public QStyledItemDelegate
{
    Q_OBJECT
public:
    // The row's board.
    static constexpr int objectValueRole = Qt::UserRole + 1;

    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};
