#include "Platform/widgets/SectionedListLayout.h"

#include <algorithm>

void SectionedListLayout::setSizeProvider(SizeProvider provider)
{
    m_sizeProvider = std::move(provider);
    invalidateAll();
}

void SectionedListLayout::setSizeEstimator(SizeEstimator estimator)
{
    m_sizeEstimator = std::move(estimator);
    invalidateAll();
}

void SectionedListLayout::setWidth(int width)
{
    if (width == m_width)
        return;
    m_width = width;
    // Heights of wrapped text depend on the width.
    invalidateAll();
}

void SectionedListLayout::setHeaderHeight(int height)
{
    m_headerHeight = std::max(0, height);
    m_dirty = true;
}

void SectionedListLayout::setPinsHeaders(bool pins)
{
    m_pinsHeaders = pins;
}

void SectionedListLayout::reset(const QList<int>& itemCounts)
{
    m_sections.assign(itemCounts.size(), Section {});
    for (qsizetype s = 0; s < itemCounts.size(); ++s) {
        const size_t count = size_t(std::max(0, itemCounts.at(s)));
        m_sections[s].sizes.assign(count, QSize());
        m_sections[s].states.assign(count, SizeState::Unknown);
    }
    m_dirty = true;
}

int SectionedListLayout::numberOfItems(int section) const
{
    if (section < 0 || section >= numberOfSections())
        return 0;
    return int(m_sections[section].sizes.size());
}

bool SectionedListLayout::contains(const IndexPath& path) const
{
    return path.item >= 0 && path.item < numberOfItems(path.section);
}

void SectionedListLayout::setItemSize(const IndexPath& path, QSize size)
{
    if (!contains(path))
        return;
    Section& section = m_sections[path.section];
    section.sizes[path.item] = size;
    section.states[path.item] = SizeState::Measured;
    m_dirty = true;
}

void SectionedListLayout::invalidateItem(const IndexPath& path)
{
    if (!contains(path))
        return;
    m_sections[path.section].states[path.item] = SizeState::Unknown;
    m_dirty = true;
}

void SectionedListLayout::invalidateAll()
{
    for (Section& section : m_sections)
        std::fill(section.states.begin(), section.states.end(), SizeState::Unknown);
    m_dirty = true;
}

QSize SectionedListLayout::itemSize(const IndexPath& path) const
{
    if (!contains(path))
        return {};
    if (m_sections[path.section].states[path.item] != SizeState::Measured)
        measureItem(path);
    ensureLaidOut();
    return m_sections[path.section].sizes[path.item];
}

std::optional<QSize> SectionedListLayout::cachedSize(const IndexPath& path) const
{
    if (!isMeasured(path))
        return std::nullopt;
    return m_sections[path.section].sizes[path.item];
}

bool SectionedListLayout::isMeasured(const IndexPath& path) const
{
    return contains(path) && m_sections[path.section].states[path.item] == SizeState::Measured;
}

int SectionedListLayout::measure(const IndexPath& path)
{
    return measureItem(path);
}

int SectionedListLayout::measureItem(const IndexPath& path) const
{
    if (!contains(path) || isMeasured(path))
        return 0;
    Section& section = m_sections[path.section];
    // An item not laid out yet has no height to change from.
    const bool placed = section.states[path.item] == SizeState::Estimated;
    const int before = placed ? section.sizes[path.item].height() : 0;
    section.sizes[path.item] = measuredSize(path);
    section.states[path.item] = SizeState::Measured;
    const int change = placed ? section.sizes[path.item].height() - before : 0;
    if (change != 0 || !placed)
        m_dirty = true;
    return change;
}

std::optional<IndexPath> SectionedListLayout::nextUnmeasured(const IndexPath& from) const
{
    for (int s = std::max(from.section, 0); s < numberOfSections(); ++s) {
        const std::vector<SizeState>& states = m_sections[s].states;
        const auto begin = states.begin() + (s == from.section ? std::clamp<int>(from.item, 0, int(states.size())) : 0);
        const auto found
            = std::find_if(begin, states.end(), [](SizeState state) { return state != SizeState::Measured; });
        if (found != states.end())
            return IndexPath {s, int(found - states.begin())};
    }
    return std::nullopt;
}

void SectionedListLayout::setDropGap(std::optional<SectionedListDropGap> gap)
{
    m_dropGap = std::move(gap);
}

int SectionedListLayout::dropGapShift(const IndexPath& path, bool isHeader) const
{
    if (!m_dropGap)
        return 0;
    // The first section's header never moves.
    if (isHeader && path.section == 0)
        return 0;
    const SectionedListDropGap& gap = *m_dropGap;
    const IndexPath& drop = gap.position;

    if (!gap.draggedFromThisList) {
        const bool below = isHeader ? path > drop : path >= drop;
        return below ? gap.incomingHeight : 0;
    }

    // Rows dragged within the list: the rows between a dragged row's old place and the drop
    // position close up behind it, which opens the gap at the drop position.
    int shift = 0;
    if (path > drop) {
        for (auto it = gap.draggedItemHeights.cbegin(); it != gap.draggedItemHeights.cend(); ++it) {
            if (isHeader ? it.key() >= path : it.key() > path)
                shift += it.value();
        }
    } else if (path < drop) {
        for (auto it = gap.draggedItemHeights.cbegin(); it != gap.draggedItemHeights.cend(); ++it) {
            if (it.key() < path)
                shift -= it.value();
        }
    } else if (gap.dragOrigin) {
        for (auto it = gap.draggedItemHeights.cbegin(); it != gap.draggedItemHeights.cend(); ++it) {
            if (*gap.dragOrigin > path && !isHeader && it.key() > path)
                shift += it.value();
            else if (*gap.dragOrigin < path && isHeader && it.key() < path)
                shift -= it.value();
        }
    }
    return shift;
}

int SectionedListLayout::contentHeight() const
{
    ensureLaidOut();
    return m_contentHeight;
}

QRect SectionedListLayout::itemFrame(const IndexPath& path) const
{
    if (!contains(path))
        return {};
    ensureLaidOut();
    const QSize size = m_sections[path.section].sizes[path.item];
    const int width = size.width() > 0 ? size.width() : m_width;
    return QRect(0, naturalItemTop(path) + dropGapShift(path, false), width, size.height());
}

QRect SectionedListLayout::headerFrame(int section) const
{
    if (section < 0 || section >= numberOfSections())
        return {};
    ensureLaidOut();
    const int top = m_sections[section].top + dropGapShift(IndexPath {section, 0}, true);
    return QRect(0, top, m_width, m_headerHeight);
}

QRect SectionedListLayout::pinnedHeaderFrame(int section, int visibleTop) const
{
    QRect frame = headerFrame(section);
    if (!m_pinsHeaders || frame.isNull())
        return frame;
    const Section& s = m_sections[section];
    const int sectionBottom = frame.top() + s.height;
    const int pinnedTop = std::min(std::max(frame.top(), visibleTop), sectionBottom - m_headerHeight);
    frame.moveTop(std::max(frame.top(), pinnedTop));
    return frame;
}

std::optional<IndexPath> SectionedListLayout::indexPathAt(const QPoint& point) const
{
    const int reach = maximumShift();
    for (const IndexPath& path : itemsIn(point.y() - reach, point.y() + reach + 1)) {
        if (itemFrame(path).contains(point))
            return path;
    }
    return std::nullopt;
}

QList<IndexPath> SectionedListLayout::itemsIn(int top, int bottom) const
{
    ensureLaidOut();
    QList<IndexPath> result;
    const int reach = maximumShift();
    const int searchTop = top - reach;
    const int searchBottom = bottom + reach;
    for (int s = 0; s < numberOfSections(); ++s) {
        const Section& section = m_sections[s];
        if (section.top + section.height <= searchTop)
            continue;
        if (section.top >= searchBottom)
            break;
        const int itemsTop = section.top + m_headerHeight;
        // The first item whose bottom lies below the band's top.
        auto first = std::upper_bound(section.itemTops.begin(), section.itemTops.end(), searchTop - itemsTop);
        int item = int(first - section.itemTops.begin()) - 1;
        for (item = std::max(item, 0); item < int(section.sizes.size()); ++item) {
            if (itemsTop + section.itemTops[item] >= searchBottom)
                break;
            const IndexPath path {s, item};
            const QRect frame = itemFrame(path);
            if (frame.bottom() >= top && frame.top() < bottom)
                result.append(path);
        }
    }
    return result;
}

QList<int> SectionedListLayout::sectionsIn(int top, int bottom) const
{
    ensureLaidOut();
    QList<int> result;
    const int reach = maximumShift();
    for (int s = 0; s < numberOfSections(); ++s) {
        const Section& section = m_sections[s];
        if (section.top + section.height + reach <= top)
            continue;
        if (section.top - reach >= bottom)
            break;
        result.append(s);
    }
    return result;
}

void SectionedListLayout::ensureLaidOut() const
{
    if (!m_dirty)
        return;
    m_dirty = false;
    int top = 0;
    for (int s = 0; s < numberOfSections(); ++s) {
        Section& section = m_sections[s];
        section.top = top;
        section.itemTops.resize(section.sizes.size());
        int offset = 0;
        for (size_t i = 0; i < section.sizes.size(); ++i) {
            if (section.states[i] == SizeState::Unknown) {
                const IndexPath path {s, int(i)};
                const std::optional<QSize> estimate
                    = m_sizeEstimator ? m_sizeEstimator(path, m_width) : std::optional<QSize>();
                section.sizes[i]
                    = estimate ? QSize(estimate->width(), std::max(0, estimate->height())) : measuredSize(path);
                section.states[i] = estimate ? SizeState::Estimated : SizeState::Measured;
            }
            section.itemTops[i] = offset;
            offset += section.sizes[i].height();
        }
        section.height = m_headerHeight + offset;
        top += section.height;
    }
    m_contentHeight = top;
}

QSize SectionedListLayout::measuredSize(const IndexPath& path) const
{
    const QSize size = m_sizeProvider ? m_sizeProvider(path, m_width) : QSize();
    return QSize(size.width(), std::max(0, size.height()));
}

int SectionedListLayout::naturalItemTop(const IndexPath& path) const
{
    const Section& section = m_sections[path.section];
    return section.top + m_headerHeight + section.itemTops[path.item];
}

int SectionedListLayout::maximumShift() const
{
    if (!m_dropGap)
        return 0;
    if (!m_dropGap->draggedFromThisList)
        return std::abs(m_dropGap->incomingHeight);
    int total = 0;
    for (int height : m_dropGap->draggedItemHeights)
        total += std::abs(height);
    return total;
}
