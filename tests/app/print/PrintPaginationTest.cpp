#include "support/PrintFixture.h"
#include "support/QStringPrinting.h"

#include <cmath>

namespace {

using Position = PrintPreviewView::Position;

class PrintPagination : public PrintFixture
{
};

// Cards by their height on paper, stage by stage, and where each must land.
struct PlacementCase
{
    const char* name;
    double scale;
    QList<QList<double>> cardHeights;
    QList<QList<Position>> expected;
    QList<int> pagesPerStrip;
};

} // namespace

TEST_F(PrintPagination, PlacesCardsDownStagesAcrossPagesAndStrips)
{
    // Letter, no printer margins: 612 wide; room per page C = 792 - 20 - 40s (732 at 1, 742 at 0.75).
    const QList<PlacementCase> cases {
        {"a card ending exactly at C moves to the next page", 1, {{632, 100}}, {{{0, 0, 8, 0}, {0, 1, 8, 0}}}, {2}},
        {"a card of exactly C starts a page and the next card the page after", 1, {{732, 50}},
            {{{0, 0, 8, 0}, {0, 1, 8, 0}}}, {2}},
        {"two page-tall cards never share a page", 1, {{1000, 1000}}, {{{0, 0, 8, 0}, {0, 2, 8, 0}}}, {4}},
        {"a page-tall card after a small one starts on the next page", 1, {{100, 800}}, {{{0, 0, 8, 0}, {0, 1, 8, 0}}},
            {3}},
        {"an empty stage makes no page but keeps its place", 1, {{}, {100}}, {{}, {{0, 0, 308, 0}}}, {1}},
        {"three 225-point stages on 612: the third opens strip 1", 0.75, {{100}, {100, 100}, {100}},
            {{{0, 0, 6, 0}}, {{0, 0, 231, 0}, {0, 0, 231, 100}}, {{1, 0, 6, 0}}}, {1, 1}},
        {"a strip without cards has no pages", 0.75, {{}, {}, {100}}, {{}, {}, {{1, 0, 6, 0}}}, {0, 1}},
    };
    for (const PlacementCase& test : cases) {
        SCOPED_TRACE(test.name);
        heights.clear();
        QStringList titles;
        for (int i = 0; i < test.cardHeights.size(); ++i)
            titles.append(QStringLiteral("Stage %1").arg(i));
        makeBoard(titles);
        QList<QList<ListItem*>> cards;
        for (int s = 0; s < test.cardHeights.size(); ++s) {
            cards.append(QList<ListItem*>());
            for (double height : test.cardHeights.at(s))
                cards.last().append(addCardOfHeight(s, height, test.scale));
        }
        const auto preview = makePreview(test.scale);
        for (int s = 0; s < cards.size(); ++s) {
            for (int c = 0; c < cards.at(s).size(); ++c) {
                const Position at = preview->position(cards.at(s).at(c));
                const Position want = test.expected.at(s).at(c);
                EXPECT_EQ(at, want) << "stage " << s << " card " << c << ": strip " << at.strip << " page " << at.page
                                    << " x " << at.x << " y " << at.y;
                const QList<PrintSlice> slices = preview->slicesOf(cards.at(s).at(c));
                ASSERT_FALSE(slices.isEmpty());
                EXPECT_EQ(slices.first().page, want.page);
            }
        }
        EXPECT_EQ(pagesPerStrip(*preview), test.pagesPerStrip);
    }
}

TEST_F(PrintPagination, NumbersPagesDownEachStripAndAnswersThePrintSystem)
{
    makeBoard({"A", "B", "C"});
    // C = 742 at 0.75: three cards of 700 fill three pages of strip 0, two fill strip 1.
    for (int i = 0; i < 3; ++i)
        addCardOfHeight(0, 700, 0.75);
    for (int i = 0; i < 2; ++i)
        addCardOfHeight(2, 700, 0.75);
    const auto preview = makePreview(0.75);
    ASSERT_EQ(pagesPerStrip(*preview), (QList<int> {3, 2}));
    EXPECT_EQ(preview->pages().at(1).at(0).label, QStringLiteral("Page 4"));
    EXPECT_EQ(preview->pages().at(0).at(2).label, QStringLiteral("Page 3"));
    int location = 0;
    int length = 0;
    EXPECT_TRUE(preview->knowsPageRange(location, length));
    EXPECT_EQ(location, 1);
    EXPECT_EQ(length, 5);
    EXPECT_EQ(preview->rectForPage(1), QRectF(10, 10, 612, 792));
    EXPECT_EQ(preview->rectForPage(4), QRectF(10 + 622, 10, 612, 792));
    for (int outside : {0, 6, -1})
        EXPECT_EQ(preview->rectForPage(outside), QRectF(0, 0, 300, 300)) << outside;
    // Two strips of at most three pages.
    EXPECT_EQ(preview->canvasSize(), QSizeF(2 * 612 + 10 + 20, 3 * 792 + 20 + 20));
}

TEST_F(PrintPagination, SlicesCoverEveryPageOfALongCardAtSmallAndLargeScales)
{
    for (double scale : {0.5, 1.5}) {
        SCOPED_TRACE(scale);
        heights.clear();
        makeBoard({"A"});
        ListItem* longCard = addCard(0, 3000);
        ListItem* next = addCard(0, 40);
        const auto preview = makePreview(scale);
        const double capacity = preview->pageCapacity();
        const double height = std::round((3000 + 78) * scale);
        const QList<PrintSlice> slices = preview->slicesOf(longCard);
        ASSERT_EQ(slices.size(), int(std::ceil(height / capacity)));
        for (int k = 0; k < slices.size(); ++k) {
            EXPECT_EQ(slices.at(k).page, k);
            EXPECT_DOUBLE_EQ(slices.at(k).offset, -k * capacity);
        }
        // The next card starts below what is left of the long one on its last page.
        const Position after = preview->position(next);
        EXPECT_EQ(after.page, slices.size() - 1);
        EXPECT_DOUBLE_EQ(after.y, height - std::round(capacity * (slices.size() - 1)));
        EXPECT_EQ(pagesPerStrip(*preview), QList<int> {int(slices.size())});
    }
}

TEST_F(PrintPagination, CardsWithoutNotesTakeRoomAndCardsToBeDeletedNone)
{
    makeBoard({"A"});
    addCard(0, std::nullopt);
    ListItem* gone = addCard(0, 50);
    gone->setToBeDeleted(true);
    ListItem* last = addCard(0, 50);
    const auto preview = makePreview(1);
    EXPECT_EQ(preview->position(last), (Position {0, 0, 8, 78}));
    EXPECT_TRUE(preview->slicesOf(gone).isEmpty());
    EXPECT_EQ(preview->cellViewsOnPage().size(), 2);
}

TEST_F(PrintPagination, AScaleChangeGivesTheGridOfAFreshLayout)
{
    makeBoard({"A", "B", "C", "D"});
    for (int s = 0; s < 4; ++s)
        for (int c = 0; c < 6; ++c)
            addCard(s, 80 + 170 * ((s + c) % 4));
    const auto preview = makePreview(0.75);
    for (double scale : {0.4, 1.2}) {
        preview->setItemScale(scale);
        preview->layoutPages();
    }
    const auto fresh = makePreview(1.2);
    EXPECT_EQ(preview->pages(), fresh->pages());
    EXPECT_EQ(preview->cellViewsOnPage(), fresh->cellViewsOnPage());
    EXPECT_EQ(preview->canvasSize(), fresh->canvasSize());
}

TEST_F(PrintPagination, OneStageRulePlacesCardsAndHeadsPages)
{
    // 600 wide at scale 1: two 300-point stages a strip, for the cards and the headers alike.
    usePaper(600, 800);
    makeBoard({"A", "B", "C"});
    for (int s = 0; s < 3; ++s)
        addCard(s, 50);
    const auto preview = makePreview(1);
    ASSERT_EQ(pagesPerStrip(*preview), (QList<int> {1, 1}));
    EXPECT_EQ(preview->pages().at(0).at(0).headerColumns, (QList<KanbanColumn*> {stage(0), stage(1)}));
    EXPECT_EQ(preview->pages().at(1).at(0).headerColumns, (QList<KanbanColumn*> {stage(2)}));
    EXPECT_EQ(preview->position(board->column().at(1)->item().first()).x, 308);

    // A stage wider than the page gets a strip of its own.
    preview->setItemScale(2.5);
    preview->layoutPages();
    EXPECT_EQ(pagesPerStrip(*preview), (QList<int> {1, 1, 1}));
}

TEST_F(PrintPagination, PaperTooSmallForTheBandsGivesNoPage)
{
    makeBoard({"A"});
    addCard(0, 50);
    usePaper(300, 45);
    const auto preview = makePreview(0.75);
    EXPECT_FALSE(preview->canPaginate());
    EXPECT_EQ(preview->pageCount(), 0);
    EXPECT_TRUE(preview->cellViewsOnPage().isEmpty());
    EXPECT_EQ(preview->canvasSize(), QSizeF(300 + 20, 20));
}

TEST_F(PrintPagination, APaperChangePlacesTheCardsAgain)
{
    makeBoard({"A"});
    for (int c = 0; c < 4; ++c)
        addCardOfHeight(0, 300, 1);
    const auto preview = makePreview(1);
    ASSERT_EQ(pagesPerStrip(*preview), QList<int> {2});
    // Half the height: the room per page shrinks, and each card goes on a page of its own.
    usePaper(612, 400);
    NotificationCenter::shared().post(NotificationName::PrintInfoChanged);
    EXPECT_EQ(preview->paperSize(), QSizeF(612, 400));
    EXPECT_EQ(pagesPerStrip(*preview), QList<int> {4});
    for (const PrintSlice& slice : preview->cellViewsOnPage())
        EXPECT_LE(slice.offset + slice.height, preview->pageCapacity());
}
