#pragma once

#include "Pelorins/sidebar/SidebarPane.h"

#include <QLatin1String>
#include <QWidget>
#include <functional>

class DisplayItem;
class Kanban;
class ListItem;
class ManagedObjectContext;
class Root;
class SourceOutlineView;
class SourceTreeModel;
class UserDefaults;

// The sidebar: the outline of the user's folders and boards with a count badge on each board.
// Selecting a board shows it in the main window (boardShown); the tree's expansion is kept in
// the folders' `expanded` flags and the last board shown by its identifier and by its row under
// "lastSelectedSourceItem", all restored the first time the sidebar appears. A card link that
// arrives (`cardURLReceived`) selects the card's board, opening the folders on its way.
class KDLeftSidebarViewController : public QWidget, public SidebarPane
{
    Q_OBJECT
public:
    static constexpr QLatin1String lastSelectedSourceItemKey {"lastSelectedSourceItem"};
    static constexpr QLatin1String lastSelectedBoardIdentifierKey {"lastSelectedBoardIdentifier"};

    // `context` may be null (no store): the tree then stays empty. `saveAction` saves the
    // store's changes, as the application's save routine does.
    KDLeftSidebarViewController(ManagedObjectContext* context, UserDefaults& defaults, std::function<void()> saveAction,
        QWidget* parent = nullptr);
    ~KDLeftSidebarViewController() override;

    QWidget* view() override { return this; }
    SourceOutlineView* outlineView() const { return m_outlineView; }
    SourceTreeModel* model() const { return m_model; }
    Root* rootObject() const;

    // Restores the expanded folders and selects the board last shown, opening the folders around
    // it; only the first time. Also runs when the sidebar is first shown. The board is found by
    // its identifier, since rows move as folders open and close; by its row when no board has
    // that identifier.
    void viewDidAppear();
    // Recounts every badge. When the selected row is gone, the row now in its place is selected
    // without being shown, or, when it was the last row, the row above is selected and shown.
    void refreshListWhileKeepingSelection() override;
    // Marks the item for export; a board is also shown in the main window and its row remembered.
    void showItem(DisplayItem* item);
    // Opens the folders above the board, outermost first, selecting each on the way, then
    // selects the board. Nothing for a board that has no row.
    void selectKanban(Kanban* kanban);

signals:
    // The board to show in the board pane.
    void boardShown(Kanban* kanban);
    // A card whose link was opened, on the board now shown: to be revealed and selected there.
    void cardRevealRequested(ListItem* card);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void selectionDidChange();
    void itemDidExpand(const QModelIndex& index);
    void itemDidCollapse(const QModelIndex& index);
    void expandSavedFolders(DisplayItem* item);
    void selectKanbanFromIncomingURL(const QVariantMap& userInfo);
    void rowsWillBeRemoved();
    void restoreSelection(int row);
    int rowOfLastShownBoard();

    ManagedObjectContext* m_managedObjectContext;
    UserDefaults& m_defaults;
    std::function<void()> m_saveAction;
    SourceOutlineView* m_outlineView;
    SourceTreeModel* m_model;
    bool m_windowRestoredOnce = false;
    bool m_refreshOnlyAndDontDisplay = false;
    // The item of the selected row as of the last selection change.
    DisplayItem* m_selectedItem = nullptr;
    // The item the last selection change showed.
    DisplayItem* m_shownBySelection = nullptr;
    // The selected row before rows went, until the selection is mended.
    int m_rowBeforeRemoval = -1;
};
