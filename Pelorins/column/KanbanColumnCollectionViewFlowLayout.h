#pragma once

#include "Platform/core/IndexPath.h"
#include "Platform/widgets/SectionedListDropGap.h"

#include <optional>

class ListCollectionViewFlowLayoutDelegate;
class SectionedListView;

// The layout of a column's list: one card per row, full width, no spacing, a header on top of
// every section that stays pinned while its section scrolls. A dragging instance opens a gap at
// the proposed drop position, the height of the dragged cards, which stays empty space and
// never scrolls the list. A column installs a plain instance, and a new one for each change of
// drag state.
class KanbanColumnCollectionViewFlowLayout
{
public:
    static constexpr int headerReferenceHeight = 38;

    explicit KanbanColumnCollectionViewFlowLayout(ListCollectionViewFlowLayoutDelegate* delegate = nullptr);

    ListCollectionViewFlowLayoutDelegate* delegate() const { return m_delegate; }
    bool dragging() const { return m_dragging; }
    void setDragging(bool dragging) { m_dragging = dragging; }
    std::optional<IndexPath> proposedDropIndexPath() const { return m_proposedDropIndexPath; }
    void setProposedDropIndexPath(const std::optional<IndexPath>& path) { m_proposedDropIndexPath = path; }
    // The content offset the list keeps when this layout is installed.
    std::optional<int> lastContentOffset() const { return m_lastContentOffset; }
    void setLastContentOffset(const std::optional<int>& offset) { m_lastContentOffset = offset; }
    // The height of the section headers in the list; 0 hides them.
    int headerHeight() const { return m_headerHeight; }
    void setHeaderHeight(int height) { m_headerHeight = height; }

    // The gap of a dragging layout with a proposed drop position; none otherwise.
    std::optional<SectionedListDropGap> dropGap() const;
    // Gives the list this layout.
    void applyTo(SectionedListView& list) const;
    // The list placed a section's header with its top at `top`.
    void headerPlaced(int section, int top) const;

private:
    ListCollectionViewFlowLayoutDelegate* m_delegate = nullptr;
    bool m_dragging = false;
    std::optional<IndexPath> m_proposedDropIndexPath;
    std::optional<int> m_lastContentOffset;
    int m_headerHeight = headerReferenceHeight;
};
