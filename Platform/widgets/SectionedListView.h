#pragma once

#include "Platform/core/IndexPath.h"
#include "Platform/widgets/SectionedListLayout.h"

#include <QAbstractScrollArea>
#include <QHash>
#include <QMap>
#include <optional>

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

    const SectionedListLayout& listLayout() const { return m_layout; }
    void setHeaderHeight(int height);
    void setPinsHeaders(bool pins);
    // Room above the first section when scrolled to the top; pinned headers stop below it.
    void setTopContentInset(int inset);
    int topContentInset() const { return m_topInset; }

    void reloadData();
    // The item's size is asked again; its widget keeps its content.
    void invalidateItemSize(const IndexPath& path);
    int numberOfSections() const { return m_layout.numberOfSections(); }
    int numberOfItems(int section) const { return m_layout.numberOfItems(section); }

    // Geometry in content coordinates, as shown (drop gap and pinning included).
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

    int contentOffset() const;
    void setContentOffset(int offset);
    void scrollToItem(const IndexPath& path, ScrollPosition position);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    struct ShownItem
    {
        QWidget* widget = nullptr;
        QString kind;
    };

    void readStructure();
    void updateScrollRange();
    void placeWidgets();
    QWidget* dequeueItemWidget(const QString& kind);
    QWidget* dequeueHeaderWidget();
    void recycleItem(const ShownItem& shown);
    void recycleHeader(QWidget* widget);
    QRect toViewport(const QRect& contentRect) const;
    int pinnedTop() const;

    SectionedListViewDataSource* m_dataSource = nullptr;
    SectionedListViewDelegate* m_delegate = nullptr;
    SectionedListLayout m_layout;
    int m_topInset = 0;

    QMap<IndexPath, ShownItem> m_shownItems;
    QMap<int, QWidget*> m_shownHeaders;
    QHash<QString, QList<QWidget*>> m_reusableItems;
    QList<QWidget*> m_reusableHeaders;
};
