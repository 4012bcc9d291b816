#include "Pelorins/column/KanbanColumnCollectionViewFlowLayout.h"
#include "Pelorins/column/ListCollectionViewFlowLayoutDelegate.h"
#include "Platform/widgets/SectionedListLayout.h"
#include "support/ColumnBoardFixture.h"

#include <QMap>

namespace {

// A drag under way, as a column would report it: cards of known heights at known rows.
class ScriptedDrag : public ListCollectionViewFlowLayoutDelegate
{
public:
    std::optional<QSet<IndexPath>> dragging;
    std::optional<IndexPath> origin;
    QMap<IndexPath, qreal> heights;
    qreal incoming = 0;
    QList<std::pair<IndexPath, qreal>> headerTops;

    std::optional<QSet<IndexPath>> draggingIndexPaths() const override { return dragging; }
    std::optional<IndexPath> dragOriginatedPath() const override { return origin; }
    ListItem* itemFor(const IndexPath& path) override
    {
        // Any non-null address stands for a card; rows without a height hold none.
        return heights.contains(path) ? reinterpret_cast<ListItem*>(quintptr(8 * (1 + path.item))) : nullptr;
    }
    qreal heightForItem(ListItem* item) const override
    {
        for (auto it = heights.cbegin(); it != heights.cend(); ++it)
            if (reinterpret_cast<ListItem*>(quintptr(8 * (1 + it.key().item))) == item)
                return it.value();
        return 0;
    }
    qreal draggedItemsHeight() override { return incoming; }
    void headerTextColourChanged(const IndexPath& path, qreal offset) override { headerTops.append({path, offset}); }
};

struct Shift
{
    IndexPath path;
    bool header;
    int expected;
};

TEST(ColumnFlowLayout, GapFollowsTheDragState)
{
    struct Case
    {
        const char* name;
        std::function<void(ScriptedDrag&, KanbanColumnCollectionViewFlowLayout&)> drag;
        QList<Shift> shifts;
    };
    const QList<Case> cases = {
        {"no drop proposal: nothing moves",
            [](ScriptedDrag& drag, KanbanColumnCollectionViewFlowLayout& layout) {
                drag.incoming = 120.9;
                layout.setDragging(true);
            },
            {{{0, 3}, false, 0}, {{1, 0}, true, 0}}},
        {"from further down to the top of its own section",
            [](ScriptedDrag& drag, KanbanColumnCollectionViewFlowLayout& layout) {
                drag.dragging = QSet<IndexPath> {{0, 5}};
                drag.heights = {{{0, 5}, 50.7}};
                drag.origin = IndexPath {0, 5};
                layout.setDragging(true);
                layout.setProposedDropIndexPath(IndexPath {0, 0});
            },
            {{{0, 0}, false, 50}, {{0, 2}, false, 50}, {{0, 4}, false, 50}, {{0, 7}, false, 0}, {{0, 0}, true, 0},
                {{1, 0}, true, 0}}},
        {"from the top to further down",
            [](ScriptedDrag& drag, KanbanColumnCollectionViewFlowLayout& layout) {
                drag.dragging = QSet<IndexPath> {{0, 0}};
                drag.heights = {{{0, 0}, 60}};
                drag.origin = IndexPath {0, 0};
                layout.setDragging(true);
                layout.setProposedDropIndexPath(IndexPath {0, 5});
            },
            {{{0, 1}, false, -60}, {{0, 4}, false, -60}, {{0, 5}, false, 0}, {{0, 7}, false, 0}, {{1, 0}, true, 0}}},
        {"in from another column",
            [](ScriptedDrag& drag, KanbanColumnCollectionViewFlowLayout& layout) {
                drag.incoming = 120.9;
                layout.setDragging(true);
                layout.setProposedDropIndexPath(IndexPath {1, 0});
            },
            {{{0, 7}, false, 0}, {{1, 0}, true, 0}, {{1, 0}, false, 120}, {{1, 3}, false, 120}, {{2, 0}, true, 120}}},
        {"a dragged row that no longer resolves adds nothing",
            [](ScriptedDrag& drag, KanbanColumnCollectionViewFlowLayout& layout) {
                drag.dragging = QSet<IndexPath> {{0, 5}, {0, 6}};
                drag.heights = {{{0, 5}, 50}};
                layout.setDragging(true);
                layout.setProposedDropIndexPath(IndexPath {0, 1});
            },
            {{{0, 2}, false, 50}, {{0, 5}, false, 0}}},
    };
    for (const Case& test : cases) {
        ScriptedDrag drag;
        KanbanColumnCollectionViewFlowLayout layout(&drag);
        test.drag(drag, layout);
        SectionedListLayout rows;
        rows.setHeaderHeight(38);
        rows.reset({8, 4, 2});
        rows.setDropGap(layout.dropGap());
        for (const Shift& shift : test.shifts)
            EXPECT_EQ(rows.dropGapShift(shift.path, shift.header), shift.expected)
                << test.name << ": " << (shift.header ? "header " : "row ") << shift.path.section << ","
                << shift.path.item;
    }
}

TEST(ColumnFlowLayout, ThePlainLayoutPinsHeadersAndReportsWhereTheyAre)
{
    ScriptedDrag drag;
    KanbanColumnCollectionViewFlowLayout layout(&drag);
    EXPECT_EQ(layout.headerHeight(), 38);
    EXPECT_FALSE(layout.dragging());
    EXPECT_EQ(layout.dropGap(), std::nullopt);
    layout.headerPlaced(3, 120);
    ASSERT_EQ(drag.headerTops.size(), 1);
    EXPECT_EQ(drag.headerTops.first().first, (IndexPath {3, 0}));
    EXPECT_EQ(drag.headerTops.first().second, 120);
}

using ColumnFlowLayoutInAColumn = ColumnBoardFixture;

TEST_F(ColumnFlowLayoutInAColumn, ADraggingLayoutOpensTheGapInPlaceAndAPlainOneClosesIt)
{
    makeBoard({QStringLiteral("To Do")});
    addCards(stage(0), 30);
    show();
    MacKanbanColumnController& stageColumn = column(0);
    ColumnCollectionView* list = stageColumn.collectionView();
    list->setContentOffset(40);
    const int row4 = list->itemFrame({0, 4}).top();

    auto dragging = std::make_unique<KanbanColumnCollectionViewFlowLayout>(&stageColumn);
    dragging->setDragging(true);
    dragging->setProposedDropIndexPath(IndexPath {0, 2});
    dragging->setLastContentOffset(40);
    board.column(0).setDraggingIndexPaths(std::nullopt);
    stageColumn.setCollectionViewLayout(std::move(dragging));
    EXPECT_EQ(list->contentOffset(), 40) << "installing the layout keeps the place";
    EXPECT_EQ(list->itemFrame({0, 4}).top(), row4) << "nothing is dragged from anywhere: no room";
    EXPECT_EQ(list->listLayout().headerHeight(), 0) << "the stage column keeps its section headers hidden";

    stageColumn.setDraggingIndexPaths(QSet<IndexPath> {{0, 5}});
    auto fromBelow = std::make_unique<KanbanColumnCollectionViewFlowLayout>(&stageColumn);
    fromBelow->setDragging(true);
    fromBelow->setProposedDropIndexPath(IndexPath {0, 2});
    stageColumn.setCollectionViewLayout(std::move(fromBelow));
    const int moved = int(stageColumn.heightForItem(stageColumn.itemFor({0, 5})));
    EXPECT_EQ(list->itemFrame({0, 4}).top(), row4 + moved);

    stageColumn.setCollectionViewLayout(std::make_unique<KanbanColumnCollectionViewFlowLayout>(&stageColumn));
    EXPECT_EQ(list->itemFrame({0, 4}).top(), row4);
}

} // namespace
