#include "Pelorins/column/KanbanColumnCollectionViewFlowLayout.h"

#include "Pelorins/column/ListCollectionViewFlowLayoutDelegate.h"
#include "Platform/widgets/SectionedListView.h"

#include <cmath>

namespace {

// Heights and offsets of the gap are whole points, truncated toward zero.
int truncated(qreal value)
{
    return std::isfinite(value) ? int(std::trunc(value)) : 0;
}

} // namespace

KanbanColumnCollectionViewFlowLayout::KanbanColumnCollectionViewFlowLayout(
    ListCollectionViewFlowLayoutDelegate* delegate)
    : m_delegate(delegate)
{
}

std::optional<SectionedListDropGap> KanbanColumnCollectionViewFlowLayout::dropGap() const
{
    if (!m_dragging || !m_proposedDropIndexPath || !m_delegate)
        return std::nullopt;
    SectionedListDropGap gap;
    gap.position = *m_proposedDropIndexPath;
    const std::optional<QSet<IndexPath>> dragged = m_delegate->draggingIndexPaths();
    gap.draggedFromThisList = dragged.has_value();
    if (dragged) {
        for (const IndexPath& path : *dragged) {
            // A dragged row whose card no longer resolves takes no room.
            if (ListItem* card = m_delegate->itemFor(path))
                gap.draggedItemHeights.insert(path, truncated(m_delegate->heightForItem(card)));
        }
        gap.dragOrigin = m_delegate->dragOriginatedPath();
    } else {
        gap.incomingHeight = truncated(m_delegate->draggedItemsHeight());
    }
    return gap;
}

void KanbanColumnCollectionViewFlowLayout::applyTo(SectionedListView& list) const
{
    list.setHeaderHeight(m_headerHeight);
    list.setPinsHeaders(true);
    list.setDropGap(dropGap());
    if (m_lastContentOffset)
        list.setContentOffset(*m_lastContentOffset);
}

void KanbanColumnCollectionViewFlowLayout::headerPlaced(int section, int top) const
{
    if (m_delegate)
        m_delegate->headerTextColourChanged(IndexPath {section, 0}, top);
}
