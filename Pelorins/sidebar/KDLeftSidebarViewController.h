#pragma once

#include "Pelorins/sidebar/SidebarEditing.h"
#include "Pelorins/sidebar/SidebarPane.h"
#include "Pelorins/sidebar/SidebarSnapshot.h"

#include <QLatin1String>
#include <QList>
#include <QPointer>
#include <QUrl>
#include <QWidget>
#include <functional>
#include <memory>

class AlertPresenter;
class Animator;
class DisplayItem;
class JSONReader;
class Kanban;
class ListItem;
class ManagedObjectContext;
class QLabel;
class QMimeData;
class QPushButton;
class StoreLoading;
class Root;
class SourceOutlineView;
class SourceTreeModel;
class UndoManager;
class UserDefaults;

// The sidebar: the outline of the user's folders and boards with a count badge on each board.
// Selecting a board shows it in the main window (boardShown); the tree's expansion is kept in
// the folders' `expanded` flags and the last board shown by its identifier and by its row under
// "lastSelectedSourceItem", all restored the first time the sidebar appears. A card link that
// arrives (`cardURLReceived`) selects the card's board, opening the folders on its way.
//
// The tree is edited here: folders and boards are added next to the clicked or selected row,
// renamed in place, duplicated and deleted after a confirmation, with an undo that remakes them
// from snapshots; rows are dragged within the outline, and cards dropped on a board row move into
// that board. A box at the bottom asks, from the tenth launch on, whether the user likes the
// program.
class KDLeftSidebarViewController : public QWidget, public SidebarPane, public SidebarEditing
{
    Q_OBJECT
public:
    static constexpr QLatin1String lastSelectedSourceItemKey {"lastSelectedSourceItem"};
    static constexpr QLatin1String lastSelectedBoardIdentifierKey {"lastSelectedBoardIdentifier"};
    static constexpr QLatin1String feedbackStateKey {"feedbackState"};
    static constexpr QLatin1String numberOfLaunchesKey {"numberOfLaunches"};
    // The review box is shown at launch from this launch on, until the user has answered.
    static constexpr int launchesBeforeReviewPrompt = 10;
    static constexpr int reviewBoxHideMilliseconds = 700;
    static constexpr QLatin1String reviewPageAddress {"https://morvance.com/pelorins/review"};
    static constexpr QLatin1String deleteItemActionName {"Delete Item"};
    // What a dragged row carries: a marker only, the rows are held in draggedItems.
    static constexpr QLatin1String sourceItemMarker {"allTypes"};

    struct Services
    {
        Services(ManagedObjectContext* context, UserDefaults& defaults, std::function<void()> saveAction)
            : context(context)
            , defaults(defaults)
            , saveAction(std::move(saveAction))
        {
        }

        // May be null (no store): the tree then stays empty.
        ManagedObjectContext* context;
        UserDefaults& defaults;
        // Saves the store's changes, as the application's save routine does.
        std::function<void()> saveAction;
        // The window's history; without one nothing is undoable.
        UndoManager* undoManager = nullptr;
        // Asks before deleting; without one nothing is deleted.
        AlertPresenter* alertPresenter = nullptr;
        // Opens a web page in the user's browser; true when it could.
        std::function<bool(const QUrl&)> urlOpener;
        // Opens the support page, as the Help menu does.
        std::function<void()> openSupportPage;
        // How the store's cards come in: boards not read yet show the counted badges, and the
        // walks over the whole store wait for the rest of it. May be null.
        StoreLoading* loading = nullptr;
    };

    explicit KDLeftSidebarViewController(Services services, QWidget* parent = nullptr);
    // Only the tree: nothing can be deleted or undone, no page opens.
    KDLeftSidebarViewController(ManagedObjectContext* context, UserDefaults& defaults, std::function<void()> saveAction,
        QWidget* parent = nullptr);
    ~KDLeftSidebarViewController() override;

    QWidget* view() override { return this; }
    SourceOutlineView* outlineView() const { return m_outlineView; }
    SourceTreeModel* model() const { return m_model; }
    Root* rootObject() const;
    ManagedObjectContext* managedObjectContext() const { return m_managedObjectContext; }
    Animator* animator() const { return m_animator; }

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

    // Adding, placed next to the row of the right-click that asked for it, else next to the
    // selected row: after a board among its siblings, at the end of a folder, at the end of the
    // top level. A right-click of an earlier command never places anything.
    void addFolder() override;
    void addKanban() override;
    void duplicateItem() override;
    void insertItemNextToSelection(DisplayItem* item);
    // Selects the item's row alone, opening its folder, and with `editTitle` starts editing its
    // title.
    void selectItem(DisplayItem* item, bool editTitle);
    // Copies the item with everything under it and places the copy next to it; a board's copy
    // gets a title of its own. Null for no item.
    DisplayItem* duplicate(DisplayItem* item);

    // Asks to delete the items of the selected rows.
    void deleteSelectedItems();
    void confirmDelete(const QList<DisplayItem*>& items);
    // Deletes the items (an item inside another one goes with it) with an undo that remakes them.
    void deleteItems(const QList<DisplayItem*>& items);
    // Remakes deleted items where they stood, with an undo that deletes them again.
    QList<DisplayItem*> deleteItems(const QList<SidebarSnapshot>& snapshots);

    // Dragging rows within the outline, and dropping cards on a board row.
    QMimeData* pasteboardWriterForItems(const QList<DisplayItem*>& items) const;
    void draggingSessionWillBegin(const QList<DisplayItem*>& items);
    void draggingSessionEnded();
    const QList<DisplayItem*>& draggedItems() const { return m_draggedItems; }
    // The drag operation for a drop proposed on `proposedItem` (null: the top level) at
    // `proposedChildIndex` (-1: on the item itself); may retarget the drop. `source` is the
    // widget the drag started from, null when it came from elsewhere.
    Qt::DropAction validateDrop(
        const QMimeData* data, const QObject* source, DisplayItem*& proposedItem, int& proposedChildIndex) const;
    bool acceptDrop(const QMimeData* data, const QObject* source, DisplayItem* item, int childIndex);
    void moveDraggedItems(DisplayItem* toParent, int at);

    // The review box.
    QWidget* reviewBox() const { return m_reviewBox; }
    void updateReviewPrompt();
    void hideReviewBox();
    void promptLeftButtonClicked();
    void promptRightButtonClicked();

signals:
    // The board to show in the board pane.
    void boardShown(Kanban* kanban);
    // A card whose link was opened, on the board now shown: to be revealed and selected there.
    void cardRevealRequested(ListItem* card);
    // The window's search should be emptied: what was shown has gone.
    void searchFieldClearRequested();
    // Cards dropped on a board row moved into that board, out of the board they were on.
    void cardsMovedToBoard();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void fetchRootObject();
    void buildReviewBox();
    void showReviewBoxIfDue();
    void selectionDidChange();
    void itemDidExpand(const QModelIndex& index);
    void itemDidCollapse(const QModelIndex& index);
    void expandSavedFolders(DisplayItem* item);
    void expandFoldersAbove(const DisplayItem* item);
    // A new item goes next to the selection, is saved, and has its title edited.
    void placeNewItem(DisplayItem* item);
    // Files the undo of a deletion or of its undo.
    void fileDeletionStep(std::function<void()> step);
    void selectKanbanFromIncomingURL(const QVariantMap& userInfo);
    void rowsWillBeRemoved();
    void restoreSelection(int row);
    int rowOfLastShownBoard();
    void itemsChanged();
    bool acceptCards(const QMimeData* data, DisplayItem* item);
    DisplayItem* itemAtRow(int row) const;
    DisplayItem* findItem(const QString& uniqueIdentifier) const;
    JSONReader& reader();
    // The barrier of walks over the whole store; false when it could not be read.
    bool waitForWholeStore();
    int feedbackState() const;
    void setFeedbackState(int state);

    ManagedObjectContext* m_managedObjectContext;
    UserDefaults& m_defaults;
    std::function<void()> m_saveAction;
    QPointer<UndoManager> m_undoManager;
    AlertPresenter* m_alertPresenter;
    std::function<bool(const QUrl&)> m_urlOpener;
    std::function<void()> m_openSupportPage;
    QPointer<StoreLoading> m_loading;
    // Made on first use: it makes the copies of duplicated items.
    std::unique_ptr<JSONReader> m_reader;
    SourceOutlineView* m_outlineView;
    SourceTreeModel* m_model;
    Animator* m_animator;
    QWidget* m_reviewBox = nullptr;
    QLabel* m_promptTextLabel = nullptr;
    QPushButton* m_promptLeftButton = nullptr;
    QPushButton* m_promptRightButton = nullptr;
    bool m_windowRestoredOnce = false;
    bool m_refreshOnlyAndDontDisplay = false;
    // While a deletion or its undo changes the tree: selection changes wait for its end.
    bool m_changingTree = false;
    QList<DisplayItem*> m_draggedItems;
    bool m_dragging = false;
    // The item of the selected row as of the last selection change.
    DisplayItem* m_selectedItem = nullptr;
    // The item the last selection change showed.
    DisplayItem* m_shownBySelection = nullptr;
    // The selected row before rows went, until the selection is mended.
    int m_rowBeforeRemoval = -1;
};
