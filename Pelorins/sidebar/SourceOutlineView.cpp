#include "Pelorins/sidebar/SourceOutlineView.h"

#include <QHeaderView>
#include <QItemSelectionModel>

SourceOutlineView::SourceOutlineView(QWidget* parent)
    : QTreeView(parent)
{
    setObjectName(QStringLiteral("sourceOutlineView"));
    setHeaderHidden(true);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setFrameShape(QFrame::NoFrame);
    setIndentation(14);
    header()->setStretchLastSection(true);
}

int SourceOutlineView::numberOfRows() const
{
    int count = 0;
    forEachShownRow([&count](const QModelIndex&, int) {
        ++count;
        return true;
    });
    return count;
}

int SourceOutlineView::rowForIndex(const QModelIndex& index) const
{
    if (!index.isValid() || index.model() != model())
        return -1;
    const QModelIndex wanted = index.siblingAtColumn(0);
    int found = -1;
    forEachShownRow([&](const QModelIndex& candidate, int row) {
        if (candidate != wanted)
            return true;
        found = row;
        return false;
    });
    return found;
}

QModelIndex SourceOutlineView::indexAtRow(int row) const
{
    QModelIndex found;
    if (row < 0)
        return found;
    forEachShownRow([&](const QModelIndex& candidate, int candidateRow) {
        if (candidateRow != row)
            return true;
        found = candidate;
        return false;
    });
    return found;
}

int SourceOutlineView::selectedRow() const
{
    if (!selectionModel() || !selectionModel()->hasSelection())
        return -1;
    int found = -1;
    forEachShownRow([&](const QModelIndex& candidate, int row) {
        if (!selectionModel()->isSelected(candidate))
            return true;
        found = row;
        return false;
    });
    return found;
}

void SourceOutlineView::selectRow(int row, bool extendSelection)
{
    const QModelIndex index = indexAtRow(row);
    if (!index.isValid() || !selectionModel())
        return;
    const auto command = (extendSelection ? QItemSelectionModel::Select : QItemSelectionModel::ClearAndSelect)
        | QItemSelectionModel::Rows;
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    selectionModel()->select(index, command);
}

void SourceOutlineView::forEachShownRow(const std::function<bool(const QModelIndex&, int)>& visit) const
{
    if (!model())
        return;
    int row = 0;
    std::function<bool(const QModelIndex&)> walk = [&](const QModelIndex& parent) {
        const int count = model()->rowCount(parent);
        for (int i = 0; i < count; ++i) {
            const QModelIndex child = model()->index(i, 0, parent);
            if (!visit(child, row++))
                return false;
            if (isExpanded(child) && !walk(child))
                return false;
        }
        return true;
    };
    walk(rootIndex());
}
