#include "Platform/widgets/SectionedListView.h"

#include "Platform/widgets/SectionedListViewDataSource.h"
#include "Platform/widgets/SectionedListViewDelegate.h"

#include <QResizeEvent>
#include <QScrollBar>
#include <QSet>
#include <algorithm>

namespace {

// Widgets are kept ready this far above and below the visible band, so that a small scroll
// finds them made and configured.
constexpr int kPreparedMargin = 100;

} // namespace

SectionedListView::SectionedListView(QWidget* parent)
    : QAbstractScrollArea(parent)
{
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFrameShape(QFrame::NoFrame);
    verticalScrollBar()->setSingleStep(20);
    m_layout.setSizeProvider([this](const IndexPath& path, int width) {
        return m_dataSource ? m_dataSource->sizeForItem(path, width) : QSize();
    });
    m_layout.setWidth(viewport()->width());
}

SectionedListView::~SectionedListView() = default;

void SectionedListView::setDataSource(SectionedListViewDataSource* dataSource)
{
    m_dataSource = dataSource;
    // Widgets of the old data source must not be handed to the new one.
    for (const ShownItem& shown : std::as_const(m_shownItems))
        delete shown.widget;
    m_shownItems.clear();
    for (QWidget* header : std::as_const(m_shownHeaders))
        delete header;
    m_shownHeaders.clear();
    for (const QList<QWidget*>& pool : std::as_const(m_reusableItems))
        qDeleteAll(pool);
    m_reusableItems.clear();
    qDeleteAll(m_reusableHeaders);
    m_reusableHeaders.clear();
    reloadData();
}

void SectionedListView::setDelegate(SectionedListViewDelegate* delegate)
{
    m_delegate = delegate;
}

void SectionedListView::setHeaderHeight(int height)
{
    m_layout.setHeaderHeight(height);
    updateScrollRange();
    placeWidgets();
}

void SectionedListView::setPinsHeaders(bool pins)
{
    m_layout.setPinsHeaders(pins);
    placeWidgets();
}

void SectionedListView::setTopContentInset(int inset)
{
    const int offset = contentOffset();
    m_topInset = std::max(0, inset);
    updateScrollRange();
    setContentOffset(offset);
    placeWidgets();
}

void SectionedListView::reloadData()
{
    for (const ShownItem& shown : std::as_const(m_shownItems))
        recycleItem(shown);
    m_shownItems.clear();
    for (QWidget* header : std::as_const(m_shownHeaders))
        recycleHeader(header);
    m_shownHeaders.clear();
    readStructure();
    updateScrollRange();
    placeWidgets();
}

void SectionedListView::invalidateItemSize(const IndexPath& path)
{
    m_layout.invalidateItem(path);
    updateScrollRange();
    placeWidgets();
}

QRect SectionedListView::itemFrame(const IndexPath& path) const
{
    return m_layout.itemFrame(path);
}

QRect SectionedListView::headerFrame(int section) const
{
    return m_layout.pinnedHeaderFrame(section, pinnedTop());
}

std::optional<IndexPath> SectionedListView::indexPathAt(const QPoint& contentPoint) const
{
    return m_layout.indexPathAt(contentPoint);
}

QPoint SectionedListView::contentPointFromViewport(const QPoint& viewportPoint) const
{
    return viewportPoint + QPoint(0, contentOffset());
}

QRect SectionedListView::visibleRect() const
{
    return QRect(0, contentOffset(), viewport()->width(), viewport()->height());
}

QList<IndexPath> SectionedListView::indexPathsForVisibleItems() const
{
    const QRect visible = visibleRect();
    return m_layout.itemsIn(visible.top(), visible.top() + visible.height());
}

QWidget* SectionedListView::itemWidget(const IndexPath& path) const
{
    return m_shownItems.value(path).widget;
}

QWidget* SectionedListView::headerWidget(int section) const
{
    return m_shownHeaders.value(section);
}

int SectionedListView::contentOffset() const
{
    return verticalScrollBar()->value() - m_topInset;
}

void SectionedListView::setContentOffset(int offset)
{
    verticalScrollBar()->setValue(offset + m_topInset);
}

void SectionedListView::scrollToItem(const IndexPath& path, ScrollPosition position)
{
    if (!m_layout.contains(path))
        return;
    const QRect frame = m_layout.itemFrame(path);
    // A pinned header covers the top of the band; an item scrolled to the top goes below it.
    const int coveredTop = m_topInset + (m_layout.pinsHeaders() ? m_layout.headerHeight() : 0);
    const int height = viewport()->height();
    switch (position) {
    case ScrollPosition::Top:
        setContentOffset(frame.top() - coveredTop);
        break;
    case ScrollPosition::Centre:
        setContentOffset(frame.top() + frame.height() / 2 - (coveredTop + height) / 2);
        break;
    case ScrollPosition::Bottom:
        setContentOffset(frame.top() + frame.height() - height);
        break;
    }
}

void SectionedListView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollRange();
    placeWidgets();
}

void SectionedListView::scrollContentsBy(int, int)
{
    placeWidgets();
}

void SectionedListView::readStructure()
{
    QList<int> counts;
    const int sections = m_dataSource ? std::max(0, m_dataSource->numberOfSections()) : 0;
    for (int s = 0; s < sections; ++s)
        counts.append(std::max(0, m_dataSource->numberOfItems(s)));
    m_layout.reset(counts);
}

void SectionedListView::updateScrollRange()
{
    m_layout.setWidth(viewport()->width());
    const int height = viewport()->height();
    QScrollBar* bar = verticalScrollBar();
    bar->setPageStep(height);
    bar->setRange(0, std::max(0, m_topInset + m_layout.contentHeight() - height));
}

void SectionedListView::placeWidgets()
{
    if (!m_dataSource)
        return;
    const QRect visible = visibleRect();
    const int top = visible.top() - kPreparedMargin;
    const int bottom = visible.top() + visible.height() + kPreparedMargin;

    const QList<IndexPath> wanted = m_layout.itemsIn(top, bottom);
    const QSet<IndexPath> wantedSet(wanted.cbegin(), wanted.cend());
    for (auto it = m_shownItems.begin(); it != m_shownItems.end();) {
        if (wantedSet.contains(it.key())) {
            ++it;
        } else {
            recycleItem(it.value());
            it = m_shownItems.erase(it);
        }
    }
    for (const IndexPath& path : wanted) {
        auto it = m_shownItems.find(path);
        if (it == m_shownItems.end()) {
            const QString kind = m_dataSource->itemKind(path);
            QWidget* widget = dequeueItemWidget(kind);
            m_dataSource->configureItem(widget, path);
            it = m_shownItems.insert(path, ShownItem{widget, kind});
        }
        it->widget->setGeometry(toViewport(m_layout.itemFrame(path)));
        it->widget->show();
    }

    QList<int> sections;
    if (m_layout.headerHeight() > 0)
        sections = m_layout.sectionsIn(top, bottom);
    for (auto it = m_shownHeaders.begin(); it != m_shownHeaders.end();) {
        if (sections.contains(it.key())) {
            ++it;
        } else {
            recycleHeader(it.value());
            it = m_shownHeaders.erase(it);
        }
    }
    const int pinTop = pinnedTop();
    for (int section : std::as_const(sections)) {
        auto it = m_shownHeaders.find(section);
        if (it == m_shownHeaders.end()) {
            QWidget* header = dequeueHeaderWidget();
            m_dataSource->configureHeader(header, section);
            it = m_shownHeaders.insert(section, header);
        }
        const QRect frame = m_layout.pinnedHeaderFrame(section, pinTop);
        it.value()->setGeometry(toViewport(frame));
        it.value()->show();
        it.value()->raise();
        if (m_delegate)
            m_delegate->headerPlaced(section, frame.top());
    }
}

QWidget* SectionedListView::dequeueItemWidget(const QString& kind)
{
    QList<QWidget*>& pool = m_reusableItems[kind];
    if (!pool.isEmpty())
        return pool.takeLast();
    QWidget* widget = m_dataSource->createItemWidget(kind);
    if (!widget)
        widget = new QWidget;
    widget->setParent(viewport());
    return widget;
}

QWidget* SectionedListView::dequeueHeaderWidget()
{
    if (!m_reusableHeaders.isEmpty())
        return m_reusableHeaders.takeLast();
    QWidget* header = m_dataSource->createHeaderWidget();
    if (!header)
        header = new QWidget;
    header->setParent(viewport());
    return header;
}

void SectionedListView::recycleItem(const ShownItem& shown)
{
    shown.widget->hide();
    m_reusableItems[shown.kind].append(shown.widget);
}

void SectionedListView::recycleHeader(QWidget* widget)
{
    widget->hide();
    m_reusableHeaders.append(widget);
}

QRect SectionedListView::toViewport(const QRect& contentRect) const
{
    return contentRect.translated(0, -contentOffset());
}

int SectionedListView::pinnedTop() const
{
    return contentOffset() + m_topInset;
}
