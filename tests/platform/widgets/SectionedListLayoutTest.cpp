#include "Platform/widgets/SectionedListLayout.h"

#include <gtest/gtest.h>

namespace {

// Two sections; item i of a section is 10 * (i + 1) high, so every row has its own height.
struct TwoSections
{
    int measured = 0;
    SectionedListLayout layout;

    TwoSections()
    {
        layout.setWidth(300);
        layout.setHeaderHeight(38);
        layout.setSizeProvider([this](const IndexPath& path, int) {
            ++measured;
            return QSize(0, 10 * (path.item + 1));
        });
        layout.reset({4, 4});
    }
};

} // namespace

TEST(SectionedListLayout, StacksHeadersAndFullWidthRowsWithoutSpacing)
{
    TwoSections fixture;
    const SectionedListLayout& layout = fixture.layout;

    EXPECT_EQ(layout.headerFrame(0), QRect(0, 0, 300, 38));
    EXPECT_EQ(layout.itemFrame({0, 0}), QRect(0, 38, 300, 10));
    EXPECT_EQ(layout.itemFrame({0, 3}), QRect(0, 98, 300, 40));
    EXPECT_EQ(layout.headerFrame(1), QRect(0, 138, 300, 38));
    EXPECT_EQ(layout.itemFrame({1, 0}), QRect(0, 176, 300, 10));
    EXPECT_EQ(layout.contentHeight(), 2 * 138);
    EXPECT_EQ(layout.itemFrame({2, 0}), QRect());
}

TEST(SectionedListLayout, ItemWithItsOwnWidthKeepsItAndZeroHeaderHeightRemovesHeaders)
{
    SectionedListLayout layout;
    layout.setWidth(300);
    layout.setHeaderHeight(0);
    layout.setSizeProvider([](const IndexPath& path, int) { return QSize(path.item == 1 ? 284 : 0, 60); });
    layout.reset({2});

    EXPECT_EQ(layout.itemFrame({0, 0}), QRect(0, 0, 300, 60));
    EXPECT_EQ(layout.itemFrame({0, 1}), QRect(0, 60, 284, 60));
}

TEST(SectionedListLayout, MeasuresEachItemOnceAndAgainOnlyWhenInvalidated)
{
    TwoSections fixture;
    EXPECT_EQ(fixture.layout.contentHeight(), 276);
    EXPECT_EQ(fixture.measured, 8);

    fixture.layout.itemFrame({1, 3});
    EXPECT_EQ(fixture.measured, 8);

    fixture.layout.invalidateItem({0, 2});
    fixture.layout.itemFrame({1, 3});
    EXPECT_EQ(fixture.measured, 9);

    fixture.layout.setWidth(200);
    fixture.layout.contentHeight();
    EXPECT_EQ(fixture.measured, 17);
}

TEST(SectionedListLayout, EstimatedItemsArePlacedWithoutMeasuringUntilMeasured)
{
    TwoSections fixture;
    SectionedListLayout& layout = fixture.layout;
    // Every estimate is 25 high; item 2 of section 0 has none and is measured at once.
    layout.setSizeEstimator([](const IndexPath& path, int) {
        return path == IndexPath {0, 2} ? std::nullopt : std::optional<QSize>(QSize(0, 25));
    });
    EXPECT_EQ(layout.contentHeight(), 2 * 38 + 7 * 25 + 30);
    EXPECT_EQ(fixture.measured, 1);
    EXPECT_TRUE(layout.isMeasured({0, 2}));
    EXPECT_FALSE(layout.isMeasured({0, 0}));
    EXPECT_EQ(layout.cachedSize({0, 0}), std::nullopt) << "an estimate is not a measured size";
    EXPECT_EQ(layout.nextUnmeasured({0, 2}), (IndexPath {0, 3}));

    // Measuring replaces the estimate and moves what follows.
    EXPECT_EQ(layout.measure({0, 3}), 40 - 25);
    EXPECT_EQ(layout.measure({0, 3}), 0) << "measured once";
    EXPECT_EQ(layout.itemFrame({1, 0}).top(), 38 + 25 + 25 + 30 + 40 + 38);
    EXPECT_EQ(layout.itemSize({1, 1}), QSize(0, 20)) << "asking for the size measures it";
    EXPECT_EQ(fixture.measured, 3);

    for (std::optional<IndexPath> next = layout.nextUnmeasured({0, 0}); next; next = layout.nextUnmeasured(*next))
        layout.measure(*next);
    EXPECT_EQ(layout.contentHeight(), 276) << "all measured, as without estimates";
    EXPECT_EQ(fixture.measured, 8);
}

TEST(SectionedListLayout, HeaderStaysPinnedUntilTheEndOfItsSectionPushesItAway)
{
    TwoSections fixture;
    const SectionedListLayout& layout = fixture.layout;

    EXPECT_EQ(layout.pinnedHeaderFrame(0, 0).top(), 0);
    EXPECT_EQ(layout.pinnedHeaderFrame(0, 50).top(), 50);
    // Section 0 ends at 138: its header cannot go lower than 100.
    EXPECT_EQ(layout.pinnedHeaderFrame(0, 120).top(), 100);
    EXPECT_EQ(layout.pinnedHeaderFrame(1, 50).top(), 138);
    EXPECT_EQ(layout.pinnedHeaderFrame(1, 150).top(), 150);

    fixture.layout.setPinsHeaders(false);
    EXPECT_EQ(layout.pinnedHeaderFrame(0, 50).top(), 0);
}

TEST(SectionedListLayout, FindsItemsByPointAndByBand)
{
    TwoSections fixture;
    const SectionedListLayout& layout = fixture.layout;

    EXPECT_EQ(layout.indexPathAt({10, 38}), (IndexPath {0, 0}));
    EXPECT_EQ(layout.indexPathAt({10, 97}), (IndexPath {0, 2}));
    EXPECT_EQ(layout.indexPathAt({10, 140}), std::nullopt); // a header
    EXPECT_EQ(layout.indexPathAt({10, 1000}), std::nullopt);

    EXPECT_EQ(layout.itemsIn(60, 150), (QList<IndexPath> {{0, 1}, {0, 2}, {0, 3}}));
    EXPECT_EQ(layout.itemsIn(130, 190), (QList<IndexPath> {{0, 3}, {1, 0}, {1, 1}}));
    EXPECT_EQ(layout.sectionsIn(130, 140), (QList<int> {0, 1}));
}

TEST(SectionedListLayout, TenThousandItemsAreSearchedByBand)
{
    SectionedListLayout layout;
    layout.setWidth(300);
    layout.setSizeProvider([](const IndexPath& path, int) { return QSize(0, 40 + path.item % 7 * 20); });
    layout.reset({10000});

    const int middle = layout.contentHeight() / 2;
    const QList<IndexPath> band = layout.itemsIn(middle, middle + 600);
    ASSERT_FALSE(band.isEmpty());
    EXPECT_LE(band.size(), 600 / 40 + 2);
    EXPECT_TRUE(layout.itemFrame(band.first()).contains(0, middle));
}

namespace {

struct GapCase
{
    const char* name;
    SectionedListDropGap gap;
    IndexPath path;
    bool isHeader;
    int shift;
};

SectionedListDropGap incoming(IndexPath position, int height)
{
    SectionedListDropGap gap;
    gap.position = position;
    gap.incomingHeight = height;
    return gap;
}

SectionedListDropGap within(IndexPath position, QMap<IndexPath, int> dragged, std::optional<IndexPath> origin)
{
    SectionedListDropGap gap;
    gap.position = position;
    gap.draggedFromThisList = true;
    gap.draggedItemHeights = dragged;
    gap.dragOrigin = origin;
    return gap;
}

} // namespace

TEST(SectionedListLayout, DropGapMovesRowsAndHeadersByTheRule)
{
    const QList<GapCase> cases = {
        {"incoming: row above the drop stays", incoming({0, 2}, 50), {0, 1}, false, 0},
        {"incoming: row at the drop moves", incoming({0, 2}, 50), {0, 2}, false, 50},
        {"incoming: header below the drop moves", incoming({0, 2}, 50), {1, 0}, true, 50},
        {"incoming: row of a later section moves", incoming({0, 2}, 50), {1, 3}, false, 50},
        {"incoming: header exactly at the drop stays", incoming({1, 0}, 50), {1, 0}, true, 0},
        {"incoming: first row of that section moves", incoming({1, 0}, 50), {1, 0}, false, 50},
        {"first section's header never moves", incoming({0, 0}, 50), {0, 0}, true, 0},
        {"up: row at the drop moves down", within({0, 1}, {{{0, 3}, 40}}, IndexPath {0, 3}), {0, 1}, false, 40},
        {"up: row between moves down", within({0, 1}, {{{0, 3}, 40}}, IndexPath {0, 3}), {0, 2}, false, 40},
        {"up: the dragged row itself stays", within({0, 1}, {{{0, 3}, 40}}, IndexPath {0, 3}), {0, 3}, false, 0},
        {"up: header below the old row stays", within({0, 1}, {{{0, 3}, 40}}, IndexPath {0, 3}), {1, 0}, true, 0},
        {"up: row below the old row stays", within({0, 1}, {{{0, 3}, 40}}, IndexPath {0, 3}), {1, 0}, false, 0},
        {"up across sections: header between moves down", within({0, 1}, {{{1, 2}, 30}}, IndexPath {1, 2}), {1, 0},
            true, 30},
        {"down: row between moves up", within({0, 3}, {{{0, 0}, 10}}, IndexPath {0, 0}), {0, 1}, false, -10},
        {"down: row at the drop stays", within({0, 3}, {{{0, 0}, 10}}, IndexPath {0, 0}), {0, 3}, false, 0},
        {"down: header at the drop moves up", within({1, 0}, {{{0, 1}, 20}}, IndexPath {0, 1}), {1, 0}, true, -20},
        {"down: first row under that header stays", within({1, 0}, {{{0, 1}, 20}}, IndexPath {0, 1}), {1, 0}, false, 0},
        {"at the drop without an origin nothing moves", within({0, 1}, {{{0, 3}, 40}}, std::nullopt), {0, 1}, false, 0},
        {"dragged rows without a height add nothing", within({0, 1}, {}, IndexPath {0, 3}), {0, 2}, false, 0},
    };

    for (const GapCase& c : cases) {
        TwoSections fixture;
        fixture.layout.setDropGap(c.gap);
        EXPECT_EQ(fixture.layout.dropGapShift(c.path, c.isHeader), c.shift) << c.name;
    }
}

TEST(SectionedListLayout, DropGapShowsInFramesAndHitTesting)
{
    TwoSections fixture;
    fixture.layout.setDropGap(incoming({0, 1}, 50));

    EXPECT_EQ(fixture.layout.itemFrame({0, 0}), QRect(0, 38, 300, 10));
    EXPECT_EQ(fixture.layout.itemFrame({0, 1}), QRect(0, 98, 300, 20));
    EXPECT_EQ(fixture.layout.indexPathAt({5, 60}), std::nullopt); // inside the gap
    EXPECT_EQ(fixture.layout.indexPathAt({5, 100}), (IndexPath {0, 1}));
    EXPECT_EQ(fixture.layout.headerFrame(1).top(), 188);

    fixture.layout.setDropGap(std::nullopt);
    EXPECT_EQ(fixture.layout.itemFrame({0, 1}), QRect(0, 48, 300, 20));
}
