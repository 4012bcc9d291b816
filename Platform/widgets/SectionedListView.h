#pragma once

#include "Platform/core/IndexPath.h"
#include "Platform/widgets/SectionedListLayout.h"
#include "Platform/widgets/SectionedListViewDragDelegate.h"

#include <QAbstractScrollArea>
#include <QHash>
#include <QMap>
#include <QPointer>
#include <QSet>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QDeadlineTimer;
class QTimer;
class QVariantAnimation;

class DragPictureWindow;

class SectionedListViewDataSource;
class SectionedListViewDelegate;

// A vertical list of sections of items, each item a live widget made by the data source. Only
// the items in and near the visible band have widgets; a widget that scrolls away is kept and
// reused for the next item of its kind. Content coordinates start at the first section's header;
// the content offset is the content y shown at the viewport's top edge, and goes down to minus
// the top content inset.
class SectionedListView : public QAbstractScrollArea
{
    Q_OBJECT

public:
    enum class ScrollPosition {
        Top,
        Centre,
        Bottom,
    };

    explicit SectionedListView(QWidget* parent = nullptr);
    ~SectionedListView() override;

    // Neither is owned; each must outlive the view or be replaced first.
    void setDataSource(SectionedListViewDataSource* dataSource);
    SectionedListViewDataSource* dataSource() const { return m_dataSource; }
    void setDelegate(SectionedListViewDelegate* delegate);
    SectionedListViewDelegate* delegate() const { return m_delegate; }
    // Without a drag delegate items cannot be dragged and nothing can be dropped.
    void setDragDelegate(SectionedListViewDragDelegate* delegate);
    SectionedListViewDragDelegate* dragDelegate() const { return m_dragDelegate; }
    // While a drag started here runs, the picture under its pointer, which may change on the way;
    // none otherwise.
    DragPictureWindow* dragPicture() const { return m_dragPicture.get(); }
    // The pointer of a drag started here has moved to `screenPoint`.
    virtual void draggingSessionMoved(const QPoint& screenPoint) { Q_UNUSED(screenPoint) }

    const SectionedListLayout& listLayout() const { return m_layout; }
    void setHeaderHeight(int height);
    void setPinsHeaders(bool pins);
    // Room above the first section when scrolled to the top; pinned headers stop below it.
    void setTopContentInset(int inset);
    int topContentInset() const { return m_topInset; }
    // Room below the last section, so that the list's end scrolls clear of views laid over its
    // foot.
    void setBottomContentInset(int inset);
    int bottomContentInset() const { return m_bottomInset; }
    // The bottom inset's band at the viewport's foot shows no rows, so that views laid over the
    // foot stay clear wherever the list is scrolled, not only at its end.
    void setClipsBottomInset(bool clips);
    bool clipsBottomInset() const { return m_clipsBottomInset; }

    // 0 makes updates land at once, their completions running before the update call returns.
    void setAnimationDuration(int milliseconds);

    void reloadData();
    // The item's size is asked again; its widget keeps its content.
    void invalidateItemSize(const IndexPath& path);

    // Changes made to the data source are shown together, rows sliding to their new places; the
    // completion runs once they are there. The calls below describe the change inside the
    // updates (deletes, reloads and move sources in old paths; inserts and move targets in new
    // ones) or, outside, make an update of their own. They are hints only: the new state is
    // always read back from the data source and each item is matched to its old self by its
    // identity (deleted items never matched, inserted ones always new, explicit moves settling
    // which of several items of one identity is which), so no list of changes, however
    // inconsistent, can leave the view out of step.
    void performBatchUpdates(const std::function<void()>& updates, std::function<void()> completion = {});
    void insertItems(const QList<IndexPath>& paths);
    void deleteItems(const QList<IndexPath>& paths);
    void moveItem(const IndexPath& from, const IndexPath& to);
    // Reloaded items are configured and measured again.
    void reloadItems(const QList<IndexPath>& paths);
    void insertSections(const QList<int>& sections);
    void deleteSections(const QList<int>& sections);
    void reloadSections(const QList<int>& sections);
    int numberOfSections() const { return m_layout.numberOfSections(); }
    int numberOfItems(int section) const { return m_layout.numberOfItems(section); }

    // Geometry in content coordinates, as shown (drop gap and pinning included). Items the data
    // source estimates are placed by their estimates until measured, so the frames of items far
    // from the visible band may still move; scrollToItem() measures what it needs.
    QRect itemFrame(const IndexPath& path) const;
    QRect headerFrame(int section) const;
    std::optional<IndexPath> indexPathAt(const QPoint& contentPoint) const;
    QPoint contentPointFromViewport(const QPoint& viewportPoint) const;
    QRect visibleRect() const;
    // Items whose frames meet the visible rectangle, ascending.
    QList<IndexPath> indexPathsForVisibleItems() const;
    // The widget shown for an item or a header, none when it has no widget now.
    QWidget* itemWidget(const IndexPath& path) const;
    QWidget* headerWidget(int section) const;

    // Selection. These calls do not consult the delegate; clicks do.
    QSet<IndexPath> selectionIndexPaths() const { return m_selection; }
    // Paths outside the list are dropped.
    void setSelectionIndexPaths(const QSet<IndexPath>& paths);
    void selectItems(const QSet<IndexPath>& paths);
    void deselectItems(const QSet<IndexPath>& paths);
    void deselectAll();
    // Every item from the lower of the two paths to the higher, both included, across sections.
    QSet<IndexPath> indexPathsBetween(const IndexPath& first, const IndexPath& second) const;

    int contentOffset() const;
    void setContentOffset(int offset);
    // An animated scroll stops at the next scroll call.
    void scrollToItem(const IndexPath& path, ScrollPosition position, bool animated = false);

    // What a drop at a content point proposes: onto the item under it; before the first row of
    // a section over its header; before the next row in the space between rows; after the last
    // row of the section (or of the list) below them.
    SectionedListViewDragDelegate::DropProposal proposedDrop(const QPoint& contentPoint) const;
    // Opens (or, with none, closes) the gap where dragged items would land; rows slide aside.
    void setDropGap(std::optional<SectionedListDropGap> gap);

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    struct ShownItem
    {
        QWidget* widget = nullptr;
        QString kind;
    };

    struct PendingUpdates
    {
        bool reloadAll = false;
        QSet<IndexPath> deleted;
        QSet<IndexPath> reloaded;
        QSet<IndexPath> inserted;
        QSet<int> deletedSections;
        QSet<int> reloadedSections;
        QSet<int> insertedSections;
        QList<std::pair<IndexPath, IndexPath>> moves;
        QList<std::function<void()>> completions;
    };

    struct Move
    {
        QPointer<QWidget> widget;
        QRect from;
        QRect to;
    };

    // An item near the top of the view and where it is shown, so that replacing estimates
    // above it can leave it where it is.
    struct Anchor
    {
        IndexPath path;
        int viewportTop = 0;
    };

    struct ScrollTarget
    {
        IndexPath path;
        ScrollPosition position = ScrollPosition::Top;
    };

    int scrollValueFor(const IndexPath& path, ScrollPosition position) const;
    std::optional<Anchor> topAnchor() const;
    void keepAnchor(const std::optional<Anchor>& anchor);
    void measurePreparedBand();
    void measureAround(const IndexPath& path, int above, int below);
    // Measures estimated items until the deadline; false once none is left.
    bool measureWhileIdle(const QDeadlineTimer& deadline);
    void scheduleIdleMeasuring();
    void startDrag(const IndexPath& pressedPath);
    void updateAutoscroll(const QPoint& viewportPoint);
    void stopAutoscroll();
    bool isHiddenForDrag(const IndexPath& path) const;
    void placeWidgetsAnimated(QList<std::function<void()>> completions);
    void proposeSelection(const QSet<IndexPath>& proposed);
    void proposeDeselection(const QSet<IndexPath>& proposed);
    bool isOnHeader(const QPoint& viewportPoint) const;
    void record(const std::function<void(PendingUpdates&)>& change);
    void applyUpdates(PendingUpdates& updates);
    std::vector<int> matchItems(const PendingUpdates& updates, const std::vector<quint64>& oldIdentities,
        const std::vector<int>& oldStarts, std::vector<bool>& oldDirty) const;
    void animateMoves(QList<Move> moves, QList<std::function<void()>> completions);
    void finishAnimation();
    int flatIndex(const std::vector<int>& starts, const IndexPath& path) const;
    IndexPath pathOfFlatIndex(const std::vector<int>& starts, int index) const;
    void readStructure();
    void updateScrollRange();
    void placeWidgets();
    void maskInsetBands();
    int clippedFootHeight() const;
    void clipItemsUnderHeaders();
    QWidget* dequeueItemWidget(const QString& kind);
    QWidget* dequeueHeaderWidget();
    // An item's widget about to hide gives up the focus to the list.
    void keepFocusFrom(QWidget* widget);
    void recycleItem(const ShownItem& shown);
    void recycleHeader(QWidget* widget);
    QRect toViewport(const QRect& contentRect) const;
    int pinnedTop() const;

    SectionedListViewDataSource* m_dataSource = nullptr;
    SectionedListViewDelegate* m_delegate = nullptr;
    SectionedListViewDragDelegate* m_dragDelegate = nullptr;
    SectionedListLayout m_layout;
    int m_topInset = 0;
    int m_bottomInset = 0;
    bool m_clipsBottomInset = false;

    // Identities of all items in order, and where each section starts among them.
    std::vector<quint64> m_identities;
    std::vector<int> m_sectionStarts {0};
    std::optional<PendingUpdates> m_pending;
    int m_animationDuration = 250;
    QVariantAnimation* m_animation = nullptr;
    QVariantAnimation* m_scrollAnimation = nullptr;
    std::optional<ScrollTarget> m_scrollTarget;
    int m_scrollFrom = 0;
    IndexPath m_idleCursor;
    bool m_placing = false;
    QList<Move> m_moves;
    QList<std::function<void()>> m_completions;

    QSet<IndexPath> m_selection;
    // A plain press on a selected item narrows the selection to it on release, unless a drag
    // of the selection started in between.
    std::optional<IndexPath> m_narrowSelectionOnRelease;
    std::optional<IndexPath> m_pressedPath;
    QPoint m_pressPoint;
    bool m_pressWasPlain = true;
    std::optional<SectionedListViewDragDelegate::DropProposal> m_validatedDrop;
    Qt::DropAction m_validatedAction = Qt::IgnoreAction;
    QTimer* m_autoscrollTimer = nullptr;
    int m_autoscrollStep = 0;
    std::unique_ptr<DragPictureWindow> m_dragPicture;

    QMap<IndexPath, ShownItem> m_shownItems;
    QMap<int, QWidget*> m_shownHeaders;
    QHash<QString, QList<QWidget*>> m_reusableItems;
    QList<QWidget*> m_reusableHeaders;
};
