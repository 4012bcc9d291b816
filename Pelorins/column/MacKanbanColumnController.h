#pragma once

#include "Pelorins/card/ListItemCellDelegate.h"
#include "Pelorins/column/ColumnCollectionViewDragAndDropDelegate.h"
#include "Pelorins/column/ListCollectionViewFlowLayoutDelegate.h"
#include "Pelorins/column/ListItemHeaderCellDelegate.h"
#include "Pelorins/column/MacKanbanColumnDelegate.h"
#include "PelorinsKit/board/ListItemsMoverDelegate.h"
#include "Platform/widgets/ActionResponder.h"
#include "Platform/widgets/SectionedListViewDragDelegate.h"

#include <QHash>
#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <memory>

class ColumnCollectionView;
class QJsonArray;
class KanbanColumn;
class KanbanColumnCollectionViewFlowLayout;
class KanbanColumnContainerView;
class KanbanColumnListItemsMover;
class KanbanColumnScrollview;
class ListItemCellView;
class ListItemHeaderCellView;
class SectionedListViewDataSource;

// The controller of one column of a board: one stage column, or the done column (one section
// per done day, newest first, today always leading), or in the single-column layout the one
// list of every stage followed by every day. The board creates it for a section, places its
// container, and drives it; it builds its own views, answers the board logic's index questions,
// shows the board's cards through its list, and owns its card mover.
//
// The list reads one snapshot of the column per reload (its days and each section's shown
// cards), so that a filtered done column of a year of days answers in time linear in its cards;
// anything that changes which cards are shown (a reload, the filter, a done move, the day)
// takes a new one. Cards are measured only when they come near the visible band or while the
// program is idle; until then they are placed by their cached or estimated height.
//
// Everything a column shows is drawn at the board's magnification: laid out as at full size,
// painted smaller, so that a zoomed column looks like the full-size one drawn smaller. Only the
// bands of the headers keep their place and height, in line with the board's title band.
class MacKanbanColumnController : public QObject,
                                  public ListItemsMoverDelegate,
                                  public ActionResponder,
                                  public ListItemCellDelegate,
                                  public ListItemHeaderCellDelegate,
                                  public ListCollectionViewFlowLayoutDelegate,
                                  public ColumnCollectionViewDragAndDropDelegate,
                                  public SectionedListViewDragDelegate
{
    Q_OBJECT

public:
    // The band of a header, which lines up with the board's title band and add-column button at
    // every zoom; what a header draws in it is zoomed.
    static constexpr qreal headerHeight = 38.0;
    // Full-size heights of a column's rows.
    static constexpr qreal addButtonHeight = 60.0;
    static constexpr qreal emptySpacerHeight = 40.0;
    static constexpr qreal missingCardHeight = 200.0;

    MacKanbanColumnController(int section, MacKanbanColumnDelegate* delegate, QObject* parent = nullptr);
    ~MacKanbanColumnController() override;

    // The board.
    MacKanbanColumnDelegate* delegate() const override { return m_delegate; }
    // The root widget that the board places in its document view.
    KanbanColumnContainerView* containerView() const;
    // The list, which is also the column's scroll view.
    KanbanColumnScrollview* scrollView() const override;
    ColumnCollectionView* collectionView() const override;
    // The header pinned above a stage column's list; none for the done column and the single
    // list.
    ListItemHeaderCellView* topHeaderView() const { return showsTopHeader() ? m_topHeaderView : nullptr; }
    // What the list asks the column: its rows, their kinds, sizes and widgets, and its headers.
    SectionedListViewDataSource& dataSource() const;
    KanbanColumnCollectionViewFlowLayout& collectionViewLayout() const { return *m_layout; }
    void setCollectionViewLayout(std::unique_ptr<KanbanColumnCollectionViewFlowLayout> layout);

    // KanbanColumnController
    int specifiedSection() const override { return m_specifiedSection; }
    void setSpecifiedSection(int section) override;
    bool isSelected() const override { return m_selected; }
    void setSelected(bool selected) override;
    KanbanColumnDelegate* kanbanColumnDelegate() const override;
    void setKanbanColumnDelegate(KanbanColumnDelegate* delegate) override;
    std::optional<Margins> margins() const override { return m_margins; }
    void setMargins(const std::optional<Margins>& margins) override;
    bool showAllSections() const override { return m_showAllSections; }
    void setShowAllSections(bool showAllSections) override;
    UndoManager* undoManager() const override;
    qreal heightOfFixedItems() const override { return 78.0; }
    KanbanColumnListItemsMover* itemsMover() const override { return m_itemsMover.get(); }
    void updateColumnPosition() override;
    void deselectAllItems() override;
    void selectItems(const QSet<IndexPath>& at) override;
    void reloadData() override;
    void deleteItems(const QSet<IndexPath>& at) override;
    void animateInsertion(const QSet<IndexPath>& pathsToSelect, bool placeholderShown, const IndexPath& placeholderPath,
        bool newSection, int newSectionIndex, bool keepEarlierSelection, int numberOfCards) override;
    void animateRemoval(
        const QList<int>& sections, const QSet<IndexPath>& rows, bool reload, const IndexPath& reloadPath) override;
    qreal lastClipViewOffset() const override { return m_lastClipViewOffset; }
    void setLastClipViewOffset(qreal offset) override { m_lastClipViewOffset = offset; }
    QList<ListItem*> itemsAddedWhenInFilteredMode() const override { return m_itemsAddedWhenInFilteredMode; }
    void setItemsAddedWhenInFilteredMode(const QList<ListItem*>& items) override;
    void updateColumnHeight(int section, bool animated) override;
    void clearFilteredModeItems() override;
    void removeFilteredModeItem(ListItem* item) override;
    void addFilteredModeItems(const QList<ListItem*>& items) override;
    qreal scrollViewHeight() const override;
    qreal scrollViewWidth() const override;
    qreal itemPadding() const override { return 8.0; }
    void updateSectionHeaders(const std::optional<QSet<IndexPath>>& paths) override;

    // ListItemsMoverDelegate
    bool useDoneItemsOnDateCache() const override { return false; }
    QHash<QDateTime, QList<ListItem*>> doneItemsOnDateCached() const override { return m_doneItemsOnDateCached; }
    void setDoneItemsOnDateCached(const QHash<QDateTime, QList<ListItem*>>& cached) override;
    void clearDistinctDoneDatesCache() override { }
    int numberOfItems(int inSection) override;
    void moveItem(const IndexPath& at, const IndexPath& to) override;

    // ActionResponder
    bool respondsTo(const QString& action) const override;
    void perform(const QString& action, QObject* sender) override;
    bool validate(const QString& action, QAction* item) const override;

    // ListItemCellDelegate
    void selectItem(ListItem* item) override;
    void itemHeightChanged(ListItem* item, bool skipLayout) override;
    std::optional<IndexPath> indexPathFor(const ListItem* item) override
    {
        return KanbanColumnController::indexPathFor(item);
    }
    void addNewItem(const IndexPath& at) override { addNewItem(at, nullptr); }
    bool canAddNewItem(const IndexPath& at) const override { return stageAt(at) != nullptr; }

    // ListItemHeaderCellDelegate: a click on a header selects this column (Shift: the range from
    // the board's anchor; Ctrl: added to the others; plain: alone, at once when it was not
    // selected, else on a release that did not move); a release ends a sideways drag.
    void headerMouseDown(QMouseEvent* event) override;
    void headerMouseUp(QMouseEvent* event) override;
    void headerScrollWheel(QWheelEvent* event) override;
    // Bookmarks the stage, clearing the first other bookmarked stage of the board, or clears its
    // bookmark.
    void bookmarkToggled(KanbanColumn* column) override;
    // Where the last click on a header went down, in the board's document.
    std::optional<QPointF> mouseDownPoint() const override { return m_mouseDownPoint; }

    // ListCollectionViewFlowLayoutDelegate
    std::optional<QSet<IndexPath>> draggingIndexPaths() const override { return m_draggingIndexPaths; }
    void setDraggingIndexPaths(const std::optional<QSet<IndexPath>>& paths) override { m_draggingIndexPaths = paths; }
    std::optional<IndexPath> dragOriginatedPath() const override { return m_dragOriginatedPath; }
    void setDragOriginatedPath(const std::optional<IndexPath>& path) { m_dragOriginatedPath = path; }
    ListItem* itemFor(const IndexPath& path) override { return KanbanColumnController::itemFor(path); }
    qreal heightForItem(ListItem* item) const override { return KanbanColumnController::heightForItem(item); }
    qreal draggedItemsHeight() override;
    void headerTextColourChanged(const IndexPath& path, qreal offset) override;

    // Scrolls to the top of the list, below the pinned headers.
    void scrollToTop();
    // Rewrites the pinned top header: the stage's title and card count.
    void updateTopHeader();
    // Every header on screen shows its stage's title as it is now.
    void updateHeaderTitles();
    // Leaves the board's column selection: its cards deselected too.
    void deselectColumn();

    // The header menu's section actions. In the single list they act on the stage of the header
    // they come from (the sender); elsewhere on this column's stage, and Delete on the selected
    // stages.
    void addSectionBefore(QObject* sender = nullptr);
    void addSectionAfter(QObject* sender = nullptr);
    void deleteSelectedSections(QObject* sender = nullptr);
    void editTitle(QObject* sender = nullptr);
    // The height the stage takes in the single list: its header, its cards and its add-card
    // cell, at the column's zoom. Cards not measured yet count at their estimate, as the list
    // places them.
    qreal heightOfSection(int section);
    // Sends the pointer's place to every card on screen, as a scroll moves cards under it.
    void refreshHoverStates();
    // Every card on screen rewords and recolours its due date.
    void updateDueDateColours();
    // The board's background changed: the visible cards draw their hashtags for it.
    void updateTagLooks();
    // The card view on screen that shows `item`; null when the column shows it nowhere.
    ListItemCellView* cellShowing(ListItem* item) const;

    // Shows every stage and day, scrolled to this column's stage as it was scrolled.
    void expandToAllSections();
    // Back to this column's own stage, keeping the same cards in view.
    void collapseToSpecifiedSection();
    // After a day change: today's section goes on top, and the day names on screen are renewed.
    void updateDoneColumnHeaders();
    // Adds a card at the end of a stage: this column's own, or in the single list the stage of
    // `toSection`. Where there is no stage nothing is added.
    void addNewItem(int toSection);

    // ---- Cards: adding, deleting, selecting, dragging, copying

    // Action names of the menu commands a column answers.
    static const QString insertNewCardAboveAction;
    static const QString insertNewCardBelowAction;
    static const QString flipDoneStatesOfSelectedItemsAction;
    static const QString copyAction;
    static const QString cutAction;
    static const QString pasteAction;
    static const QString getColumnUniqueIdentifierAction;
    static const QString showItemsLastHistoryAction;

    // Adds a new card at `at` ("Add Card"), the notes editor taking the focus; while undoing,
    // takes `existing` out of the column again and deletes it. Nothing happens where there is no
    // stage. A new card made by a redo takes the `identifier` of the card its undo deleted.
    void addNewItem(const IndexPath& at, ListItem* existing, const QString& identifier = QString());
    // Soft-deletes the selected cards ("Delete Items") and saves, also when none is selected.
    void deleteSelectedItems() override;
    QColor colourBehindItems() const override;
    void insertNewCardAbove();
    void insertNewCardBelow();
    // Hands the selected cards to the board, which marks open ones done and done ones open.
    void flipDoneStatesOfSelectedItems();

    // What the list's clicks propose: without Shift the clicked card becomes the anchor; with
    // Shift the selection runs from the anchor to the clicked card, across sections.
    QSet<IndexPath> shouldSelectItems(const QSet<IndexPath>& proposed);
    QSet<IndexPath> shouldDeselectItems(const QSet<IndexPath>& proposed);
    void didSelectItems(const QSet<IndexPath>& paths);
    void didDeselectItems(const QSet<IndexPath>& paths);
    std::optional<IndexPath> lastNonShiftSelectedIndexPath() const { return m_lastNonShiftSelectedIndexPath; }
    std::optional<IndexPath> lastShiftSelectedIndexPath() const { return m_lastShiftSelectedIndexPath; }

    // SectionedListViewDragDelegate: cards leave and enter the column by dragging.
    QMimeData* mimeDataForItems(SectionedListView* view, const QList<IndexPath>& paths) override;
    void dragWillBegin(SectionedListView* view, const QSet<IndexPath>& paths, const IndexPath& pressedPath) override;
    QPixmap dragPixmap(SectionedListView* view, const QList<IndexPath>& paths, const IndexPath& pressedPath) override;
    void dragEnded(SectionedListView* view, Qt::DropAction action) override;
    Qt::DropAction validateDrop(
        SectionedListView* view, const QMimeData* data, IndexPath& proposedPath, DropOperation& operation) override;
    bool acceptDrop(SectionedListView* view, const QMimeData* data, const IndexPath& path, DropOperation operation,
        SectionedListView* source) override;
    void dragExited(SectionedListView* view) override;
    // The drop gap goes.
    void resetDropGap();
    // Moves the cards at `fromPaths` of `sourceController` (this column when null) to `to`.
    void moveDraggedItems(const QSet<IndexPath>& fromPaths, const IndexPath& to, MacKanbanColumnController* source);
    // The first row of the section whose header lies under the point of the board's document
    // view, opening the drop gap there; none away from the headers.
    std::optional<IndexPath> headerDropIndexPath(const QPoint& documentPoint);
    std::optional<IndexPath> lastProposedDropIndexPath() const { return m_lastProposedDropIndexPath; }

    // The clipboard.
    void copy();
    void copySelectedCards();
    void cut();
    void paste();
    // Pastes new cards made from `nodes` after the highest selected card ("Paste Cards"); while
    // undoing, takes `removing` out again and restores `restoringSelection`.
    void insertPastedCards(const QJsonArray& nodes, const std::optional<QList<ListItem*>>& removing,
        const std::optional<QSet<IndexPath>>& restoringSelection);

    // The list reads the board afresh and slides cards to their new rows; `select`, when given,
    // becomes the selection, and one selected card takes the focus.
    void followModel(const std::optional<QList<ListItem*>>& select, bool keepEarlierSelection);

    // Console diagnostics of the Debug menu.
    void getColumnUniqueIdentifier();
    void showItemsLastHistory();

    // The count of a stage with `shown` cards on screen: "5 cards", or shown of all ("3/5
    // cards") while a filter hides some; cards marked for deletion count nowhere.
    QString countText(KanbanColumn* stage, int shown);

private:
    class ListAdapter;
    struct Snapshot;

    // The paths in the list's order.
    static QList<IndexPath> sorted(const QSet<IndexPath>& paths);
    // Cards marked for deletion count nowhere.
    static QList<ListItem*> withoutDeleted(const QList<ListItem*>& cards);
    QDateTime now() const;
    // The stage a header's action means: its own header's in the single list, else this
    // column's.
    int actionSection(QObject* sender) const;
    ListItemHeaderCellView* headerOf(int section) const;
    void deselectOtherColumns();
    // A card's view on screen, if it has one, shown chosen or not.
    ListItemCellView* showCardSelected(const IndexPath& path, bool selected);
    // The stage on top of the single list: that of the column showing all sections, else the
    // bookmarked one.
    int singleListSection() const;
    bool isDoneColumn() const;
    // The board's tag filter or search hides cards.
    bool filterActive() const;
    bool showsTopHeader() const;
    qreal zoom() const;
    int scaled(qreal fullSize) const;
    void setupCollectionView();
    void setupTopHeaderView();
    void applyModeGeometry();
    void invalidateSnapshot();
    const Snapshot& snapshot();
    QList<ListItemCellView*> visibleCardViews() const;
    void observeBoard();
    // After an insertion: the first new card is brought into view, and the list or the one new
    // card takes the focus.
    void revealInsertedItems(const QList<IndexPath>& inserted);
    void focusInsertedItems(const QList<IndexPath>& inserted);
    // A card's row height once measured, and until then.
    int measuredHeight(ListItem* card) const;
    int estimatedHeight(ListItem* card) const;

    // In the single-column layout a hidden column's changes show in the one list.
    MacKanbanColumnController* listShowingThis() const;
    // A hidden column reloads its own rows and has the one list follow the model; false when
    // this column shows its changes itself.
    bool handedToSingleList();
    // The controller whose own mover works on the stage or the done column of `card`, and the
    // path of a row of this column in that controller's rows.
    MacKanbanColumnController* ownerOf(const IndexPath& path) const;
    IndexPath pathInOwner(const IndexPath& path) const;
    KanbanColumn* stageAt(const IndexPath& path) const;
    void clampAnchors();
    // Without shift a click only moves the anchor (false); with it the anchors are clamped
    // into the list for extending the range.
    bool shiftExtends(const std::optional<IndexPath>& first);
    void installDropGap(const IndexPath& proposed);
    void moveInSingleList(const QList<IndexPath>& fromPaths, const IndexPath& to, MacKanbanColumnController* source);
    MacKanbanColumnController* draggingController(SectionedListView* source) const;
    void autoscrollSourceList();
    void registerActions();

    MacKanbanColumnDelegate* m_delegate = nullptr;
    QPointer<KanbanColumnContainerView> m_containerView;
    ColumnCollectionView* m_collectionView = nullptr;
    std::unique_ptr<KanbanColumnListItemsMover> m_itemsMover;
    qreal m_lastClipViewOffset = 0.0;
    bool m_showAllSections = false;
    std::optional<IndexPath> m_dragOriginatedPath;
    int m_specifiedSection = 0;
    QList<ListItem*> m_itemsAddedWhenInFilteredMode;
    ListItemHeaderCellView* m_topHeaderView = nullptr;
    bool m_selected = false;
    QHash<QDateTime, QList<ListItem*>> m_doneItemsOnDateCached;
    std::optional<Margins> m_margins;
    std::optional<QSet<IndexPath>> m_draggingIndexPaths;
    std::optional<IndexPath> m_lastNonShiftSelectedIndexPath;
    std::optional<IndexPath> m_lastShiftSelectedIndexPath;
    std::optional<IndexPath> m_lastProposedDropIndexPath;
    // What this column put on the drag it started.
    QByteArray m_dragData;
    QTimer m_dragAutoscroll;
    std::optional<QPointF> m_mouseDownPoint;

    std::unique_ptr<KanbanColumnCollectionViewFlowLayout> m_layout;
    std::unique_ptr<ListAdapter> m_adapter;
    std::unique_ptr<Snapshot> m_snapshot;
    QHash<QString, std::function<void(QObject*)>> m_actions;
};
