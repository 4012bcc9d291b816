#pragma once

#include "Platform/core/IndexPath.h"
#include "Platform/widgets/SectionedListDropGap.h"

#include <QList>
#include <QRect>
#include <QSize>
#include <functional>
#include <optional>
#include <vector>

// Geometry of a sectioned list in content coordinates: full-width rows stacked without spacing,
// a header on top of each section that can stay pinned while its section scrolls, and an
// optional drop gap that pushes rows aside. Item sizes are asked once and cached per item until
// that item is invalidated; positions are rebuilt from the cache when something changed.
//
// Measuring can be expensive (laying out a card's text), so an item may be placed by a cheap
// estimate first and measured only when it is needed: `measure` replaces the estimate.
class SectionedListLayout
{
public:
    // The size of the item at a path for the given width; a width of 0 or less means full width.
    using SizeProvider = std::function<QSize(const IndexPath& path, int availableWidth)>;
    // A cheap guess at that size; none has the item measured at once.
    using SizeEstimator = std::function<std::optional<QSize>(const IndexPath& path, int availableWidth)>;

    void setSizeProvider(SizeProvider provider);
    void setSizeEstimator(SizeEstimator estimator);

    void setWidth(int width);
    int width() const { return m_width; }
    void setHeaderHeight(int height);
    int headerHeight() const { return m_headerHeight; }
    void setPinsHeaders(bool pins);
    bool pinsHeaders() const { return m_pinsHeaders; }

    // Replaces the structure; every item size is unknown until set or measured.
    void reset(const QList<int>& itemCounts);
    int numberOfSections() const { return int(m_sections.size()); }
    int numberOfItems(int section) const;
    bool contains(const IndexPath& path) const;

    void setItemSize(const IndexPath& path, QSize size);
    void invalidateItem(const IndexPath& path);
    void invalidateAll();
    // The cached size, measured first when unknown or estimated.
    QSize itemSize(const IndexPath& path) const;
    // The measured size, without measuring.
    std::optional<QSize> cachedSize(const IndexPath& path) const;

    bool isMeasured(const IndexPath& path) const;
    // Measures the item unless it is measured already; the change of its height.
    int measure(const IndexPath& path);
    // The first item at or after `from`, in list order, that is not measured yet.
    std::optional<IndexPath> nextUnmeasured(const IndexPath& from) const;

    void setDropGap(std::optional<SectionedListDropGap> gap);
    const std::optional<SectionedListDropGap>& dropGap() const { return m_dropGap; }
    // How far the drop gap moves an item (or a section's header) down; negative moves it up.
    int dropGapShift(const IndexPath& path, bool isHeader) const;

    int contentHeight() const;
    QRect itemFrame(const IndexPath& path) const;
    QRect headerFrame(int section) const;
    // The header's frame while the content from `visibleTop` down is on screen: it stays at the
    // top until the end of its section pushes it away.
    QRect pinnedHeaderFrame(int section, int visibleTop) const;

    std::optional<IndexPath> indexPathAt(const QPoint& point) const;
    // Items whose frames meet the band [top, bottom), in order.
    QList<IndexPath> itemsIn(int top, int bottom) const;
    // Sections whose span (header and items) meets the band [top, bottom).
    QList<int> sectionsIn(int top, int bottom) const;

private:
    enum class SizeState : quint8 {
        Unknown,
        Estimated,
        Measured,
    };

    struct Section
    {
        int top = 0;
        int height = 0;
        std::vector<QSize> sizes;
        std::vector<SizeState> states;
        std::vector<int> itemTops; // relative to the first item's top
    };

    void ensureLaidOut() const;
    QSize measuredSize(const IndexPath& path) const;
    int measureItem(const IndexPath& path) const;
    int naturalItemTop(const IndexPath& path) const;
    int maximumShift() const;

    SizeProvider m_sizeProvider;
    SizeEstimator m_sizeEstimator;
    int m_width = 0;
    int m_headerHeight = 0;
    bool m_pinsHeaders = true;
    mutable std::vector<Section> m_sections;
    mutable bool m_dirty = true;
    mutable int m_contentHeight = 0;
    std::optional<SectionedListDropGap> m_dropGap;
};
