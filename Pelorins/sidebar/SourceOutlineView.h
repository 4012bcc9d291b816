#pragma once

#include <QModelIndex>
#include <QPointer>
#include <QRect>
#include <QStringView>
#include <QTreeView>
#include <functional>

class DisplayItem;
class KDLeftSidebarViewController;
class QMenu;

// The sidebar's outline of folders and boards. Rows are numbered top to bottom over the rows
// shown, that is those whose folders are all open; the sidebar remembers the board last shown
// by that number. Its menu adds "Rename…", "Duplicate…" and "Delete" for the row under a
// right-click; Delete deletes the selected rows; rows are dragged within it and cards dropped on
// its board rows, as its view controller decides.
class SourceOutlineView : public QTreeView
{
    Q_OBJECT
public:
    static constexpr QStringView renameIdentifier {u"Rename…"};
    static constexpr QStringView duplicateIdentifier {u"Duplicate…"};
    static constexpr QStringView deleteIdentifier {u"Delete"};
    static constexpr QStringView separatorIdentifier1 {u"separatorIdentifier1"};
    static constexpr QStringView separatorIdentifier2 {u"separatorIdentifier2"};

    explicit SourceOutlineView(QWidget* parent = nullptr);

    KDLeftSidebarViewController* viewController() const { return m_viewController; }
    void setViewController(KDLeftSidebarViewController* viewController);

    int numberOfRows() const;
    // -1 for an invalid index or a row inside a closed folder.
    int rowForIndex(const QModelIndex& index) const;
    // Invalid when there is no such row.
    QModelIndex indexAtRow(int row) const;
    // The first selected row shown, or -1.
    int selectedRow() const;
    // The selected rows shown, top to bottom.
    QList<int> selectedRows() const;
    // Selects the row alone, or adds it to the selection with `extendSelection`. A row that does
    // not exist changes nothing.
    void selectRow(int row, bool extendSelection);

    // The row under the right-click whose menu is open; -1 otherwise, so commands from the main
    // menu and keys have none.
    int clickedRow() const { return m_clickedRow; }
    // The outline's menu, with the row commands as they were last set up.
    QMenu* menu() const { return m_menu; }
    // Sets up the menu for a right-click on `row` (-1: below the rows).
    void willOpenMenu(int row);
    // Opens the menu for a right-click at `position` of the viewport and runs what is chosen.
    void openMenuAt(const QPoint& position);

    // The row commands: they act on the clicked row, duplicating also on the selected one.
    void renameItem();
    void duplicateItem();
    void deleteItem();
    // The title of a board's copy: "copy", "copy 2", then one more than the highest copy number.
    QString uniqueCopyTitle(const QString& title) const;

    // Where a drop at `position` of the viewport is proposed: on an item (child index -1),
    // between the children of an item (null: the top level) before `childIndex`, or below the
    // rows (null, -1).
    void dropProposalAt(const QPoint& position, DisplayItem*& item, int& childIndex) const;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    // Calls `visit` for each row shown, in order, until it returns false.
    void forEachShownRow(const std::function<bool(const QModelIndex&, int)>& visit) const;
    DisplayItem* itemAt(int row) const;
    QAction* menuItem(QStringView identifier) const;
    // Where the drop indicator goes for a drop on `item` at `childIndex`.
    QRect dropIndicatorRect(DisplayItem* item, int childIndex) const;
    bool validate(QDropEvent* event, DisplayItem*& item, int& childIndex) const;
    void setDropIndicator(const QRect& rect);

    QPointer<KDLeftSidebarViewController> m_viewController;
    QMenu* m_menu;
    int m_clickedRow = -1;
    QRect m_dropIndicator;
};
