#pragma once

#include <QModelIndex>
#include <QTreeView>
#include <functional>

// The sidebar's outline of folders and boards. Rows are numbered top to bottom over the rows
// shown, that is those whose folders are all open; the sidebar remembers the board last shown
// by that number.
class SourceOutlineView : public QTreeView
{
    Q_OBJECT
public:
    explicit SourceOutlineView(QWidget* parent = nullptr);

    int numberOfRows() const;
    // -1 for an invalid index or a row inside a closed folder.
    int rowForIndex(const QModelIndex& index) const;
    // Invalid when there is no such row.
    QModelIndex indexAtRow(int row) const;
    // The first selected row shown, or -1.
    int selectedRow() const;
    // Selects the row alone, or adds it to the selection with `extendSelection`. A row that does
    // not exist changes nothing.
    void selectRow(int row, bool extendSelection);

private:
    // Calls `visit` for each row shown, in order, until it returns false.
    void forEachShownRow(const std::function<bool(const QModelIndex&, int)>& visit) const;
};
