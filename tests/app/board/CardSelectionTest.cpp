#include "CardBoardFixture.h"

namespace {

class CardSelection : public CardBoardFixture
{
};

struct Click
{
    IndexPath path;
    Qt::KeyboardModifiers modifiers;
};

struct SelectionCase
{
    const char* name;
    bool oneList;
    QList<Click> clicks;
    QSet<IndexPath> selected;
    std::optional<IndexPath> rangeEnd;
};

constexpr Qt::KeyboardModifiers none = Qt::NoModifier;
constexpr Qt::KeyboardModifiers shift = Qt::ShiftModifier;
constexpr Qt::KeyboardModifiers control = Qt::ControlModifier;

QSet<IndexPath> rows(int section, int from, int to)
{
    QSet<IndexPath> paths;
    for (int item = from; item <= to; ++item)
        paths.insert(IndexPath {section, item});
    return paths;
}

} // namespace

// Rows 0 to 5 are the cards A to F of the first stage; in the one list the stages have three
// cards each, then their add cells.
TEST_F(CardSelection, ClicksWithAndWithoutShift)
{
    const QList<SelectionCase> cases {
        {"A, Shift-D", false, {{{0, 0}, none}, {{0, 3}, shift}}, rows(0, 0, 3), IndexPath {0, 3}},
        {"A, Shift-D, Shift-F", false, {{{0, 0}, none}, {{0, 3}, shift}, {{0, 5}, shift}}, rows(0, 0, 5),
            IndexPath {0, 5}},
        {"F, Shift-D narrows back", false, {{{0, 0}, none}, {{0, 5}, shift}, {{0, 3}, shift}}, rows(0, 0, 3),
            IndexPath {0, 3}},
        {"Shift-deselect inside the range", false, {{{0, 0}, none}, {{0, 3}, shift}, {{0, 1}, shift}}, rows(0, 0, 1),
            IndexPath {0, 1}},
        {"no anchor", false, {{{0, 2}, shift}}, rows(0, 2, 2), IndexPath {0, 2}},
        {"anchor moved by Ctrl", false, {{{0, 0}, none}, {{0, 3}, shift}, {{0, 1}, control}, {{0, 5}, shift}},
            rows(0, 0, 0) + rows(0, 2, 5), IndexPath {0, 5}},
        {"Ctrl adds a card", false, {{{0, 1}, none}, {{0, 4}, control}}, {IndexPath {0, 1}, IndexPath {0, 4}},
            std::nullopt},
        {"across sections", true, {{{0, 1}, none}, {{2, 1}, shift}}, rows(0, 1, 3) + rows(1, 0, 3) + rows(2, 0, 1),
            IndexPath {2, 1}},
    };
    for (const SelectionCase& test : cases) {
        SCOPED_TRACE(test.name);
        board.reset();
        defaults.setValue(MacKanbanColumnsViewController::viewAsMultiColumnKey, !test.oneList);
        Kanban* kanban = test.oneList ? boardWithCards(test.name, {3, 3, 3}) : boardWithCards(test.name, {6, 1});
        show(kanban);
        board->activateWindow();
        MacKanbanColumnController* column = test.oneList ? oneList() : controller(0);
        ASSERT_TRUE(column);
        for (const Click& click : test.clicks)
            clickRow(column, click.path, click.modifiers);
        EXPECT_EQ(selection(column), test.selected);
        if (test.rangeEnd) {
            EXPECT_EQ(column->lastShiftSelectedIndexPath(), test.rangeEnd);
        }
        for (const IndexPath& path : column->collectionView()->indexPathsForVisibleItems()) {
            if (ListItemCellView* shown = cell(column, path)) {
                EXPECT_EQ(shown->isSelected(), test.selected.contains(path)) << path.section << ", " << path.item;
            }
        }
    }
}

TEST_F(CardSelection, AnAnchorLeftPastTheListByDeletionsIsClamped)
{
    Kanban* kanban = boardWithCards("A", {5});
    show(kanban);
    board->activateWindow();
    MacKanbanColumnController* column = controller(0);
    clickRow(column, {0, 4});
    column->selectItems({{0, 2}, {0, 3}, {0, 4}});
    column->deleteSelectedItems();
    settle();
    ASSERT_EQ(shownCards(column).size(), 2);

    clickRow(column, {0, 0}, shift);
    EXPECT_EQ(selection(column), rows(0, 0, 1));
}

TEST_F(CardSelection, SelectingCardsInOneColumnClearsEveryOtherSelection)
{
    Kanban* kanban = boardWithCards("A", {2, 2, 2});
    show(kanban);
    board->activateWindow();
    clickRow(controller(0), {0, 0});
    controller(1)->setSelected(true);
    controller(0)->setSelected(true);

    clickRow(controller(2), {0, 1});
    EXPECT_TRUE(selection(controller(0)).isEmpty());
    EXPECT_EQ(selection(controller(2)), (QSet<IndexPath> {{0, 1}}));
    for (MacKanbanColumnController* column : board->columnControllers())
        EXPECT_FALSE(column->isSelected());
    EXPECT_FALSE(cell(controller(0), {0, 0})->isSelected());
    EXPECT_TRUE(cell(controller(2), {0, 1})->isSelected());
    EXPECT_TRUE(cell(controller(2), {0, 1})->hasFocus());
}
