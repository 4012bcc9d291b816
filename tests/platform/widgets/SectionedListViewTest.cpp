#include "Platform/widgets/SectionedListView.h"
#include "Platform/widgets/SectionedListViewDataSource.h"
#include "Platform/widgets/SectionedListViewDelegate.h"
#include "Platform/widgets/SectionedListViewDragDelegate.h"
#include "support/QStringPrinting.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <gtest/gtest.h>
#include <random>

namespace {

struct Row
{
    quint64 id = 0;
    int height = 40;
    QString kind = "card";
};

// Rows kept as plain values; each widget remembers the path it was last configured for.
class Rows : public SectionedListViewDataSource
{
public:
    QList<QList<Row>> sections;
    int itemWidgetsCreated = 0;

    static QList<Row> numbered(int count, quint64 firstId = 1, int height = 40)
    {
        QList<Row> rows;
        for (int i = 0; i < count; ++i)
            rows.append(Row {firstId + quint64(i), height, "card"});
        return rows;
    }

    int numberOfSections() const override { return int(sections.size()); }
    int numberOfItems(int section) const override { return int(sections.value(section).size()); }
    QString itemKind(const IndexPath& path) const override { return row(path).kind; }
    QSize sizeForItem(const IndexPath& path, int) const override { return QSize(0, row(path).height); }
    quint64 itemIdentity(const IndexPath& path) const override { return row(path).id; }
    QWidget* createItemWidget(const QString& kind) override
    {
        ++itemWidgetsCreated;
        auto* widget = new QWidget;
        widget->setProperty("kind", kind);
        return widget;
    }
    void configureItem(QWidget* widget, const IndexPath& path) override
    {
        widget->setProperty("id", row(path).id);
        widget->setProperty("path", QVariant::fromValue(path));
    }
    QWidget* createHeaderWidget() override { return new QWidget; }
    void configureHeader(QWidget* widget, int section) override { widget->setProperty("section", section); }

    Row row(const IndexPath& path) const { return sections.value(path.section).value(path.item); }
};

struct ListFixture
{
    Rows rows;
    SectionedListView view;

    explicit ListFixture(QList<QList<Row>> sections, QSize size = QSize(300, 600))
    {
        rows.sections = std::move(sections);
        view.setAnimationDuration(0);
        view.resize(size);
        view.show();
        view.setDataSource(&rows);
    }

    int shownItemWidgets() const
    {
        int shown = 0;
        for (QObject* child : view.viewport()->children()) {
            auto* widget = qobject_cast<QWidget*>(child);
            if (widget && widget->isVisible() && widget->property("kind").isValid())
                ++shown;
        }
        return shown;
    }

    // Every visible item has a widget configured for it, placed at its frame.
    void expectVisibleItemsShown() const
    {
        for (const IndexPath& path : view.indexPathsForVisibleItems()) {
            QWidget* widget = view.itemWidget(path);
            ASSERT_NE(widget, nullptr) << path.section << "," << path.item;
            EXPECT_EQ(widget->property("id").toULongLong(), rows.row(path).id);
            EXPECT_TRUE(widget->isVisible());
            EXPECT_EQ(widget->geometry(), view.itemFrame(path).translated(0, -view.contentOffset()));
        }
    }

    // The view shows exactly the data source's state.
    void expectInStepWithRows() const
    {
        ASSERT_EQ(view.numberOfSections(), rows.numberOfSections());
        int top = 0;
        for (int s = 0; s < rows.numberOfSections(); ++s) {
            ASSERT_EQ(view.numberOfItems(s), rows.numberOfItems(s)) << "section " << s;
            top += view.listLayout().headerHeight();
            for (int i = 0; i < rows.numberOfItems(s); ++i) {
                EXPECT_EQ(view.itemFrame({s, i}), QRect(0, top, view.viewport()->width(), rows.row({s, i}).height));
                top += rows.row({s, i}).height;
            }
        }
        EXPECT_EQ(view.listLayout().contentHeight(), top);
        expectVisibleItemsShown();
    }
};

void waitUntil(const std::function<bool()>& done, int timeoutMs = 2000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < timeoutMs) {
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
}

QList<Row> variedRows(int count)
{
    QList<Row> rows;
    for (int i = 0; i < count; ++i)
        rows.append(Row {quint64(i + 1), 40 + (i * 37) % 120, "card"});
    return rows;
}

} // namespace

TEST(SectionedListView, OnlyItemsNearTheVisibleBandHaveWidgetsWhileScrollingTenThousandItems)
{
    ListFixture list({variedRows(10000)});
    // At least 40 high: a 600-high band with 100 prepared above and below holds at most 22 rows.
    const int mostOnScreen = (600 + 2 * 100) / 40 + 2;

    int steps = 0;
    for (int offset = 0; offset <= list.view.verticalScrollBar()->maximum(); offset += 997, ++steps) {
        list.view.verticalScrollBar()->setValue(offset);
        ASSERT_LE(list.shownItemWidgets(), mostOnScreen) << "at " << offset;
        if (steps % 50 == 0)
            list.expectVisibleItemsShown();
    }
    list.view.verticalScrollBar()->setValue(list.view.verticalScrollBar()->maximum());
    list.expectVisibleItemsShown();
    EXPECT_EQ(list.view.indexPathsForVisibleItems().last(), (IndexPath {0, 9999}));
    EXPECT_LE(list.rows.itemWidgetsCreated, mostOnScreen);
}

TEST(SectionedListView, WidgetsAreReusedOnlyForItemsOfTheirKind)
{
    QList<Row> rows = Rows::numbered(60);
    for (int i = 0; i < rows.size(); i += 3)
        rows[i].kind = "add";
    ListFixture list({rows});

    list.view.setContentOffset(1500);
    for (const IndexPath& path : list.view.indexPathsForVisibleItems())
        EXPECT_EQ(list.view.itemWidget(path)->property("kind").toString(), list.rows.row(path).kind);
}

namespace {

class HeaderTops : public SectionedListViewDelegate
{
public:
    QMap<int, int> tops;
    void headerPlaced(int section, int top) override { tops[section] = top; }
};

} // namespace

TEST(SectionedListView, HeaderOfTheSectionUnderTheTopStaysPinnedBelowTheInset)
{
    ListFixture list({Rows::numbered(20), Rows::numbered(20, 100)});
    HeaderTops headerTops;
    list.view.setDelegate(&headerTops);
    list.view.setHeaderHeight(38);
    list.view.setTopContentInset(38);
    EXPECT_EQ(list.view.contentOffset(), -38);
    EXPECT_EQ(list.view.headerWidget(0)->geometry().top(), 38);

    list.view.setContentOffset(300);
    QWidget* header = list.view.headerWidget(0);
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(header->property("section").toInt(), 0);
    EXPECT_EQ(header->geometry(), QRect(0, 38, 300, 38));
    EXPECT_EQ(headerTops.tops.value(0), 338);
    EXPECT_EQ(headerTops.tops.value(1), 838);
    // The header is drawn over the rows it covers.
    EXPECT_TRUE(list.view.viewport()->childAt(10, 50) == header);
}

TEST(SectionedListView, RowsVanishUnderThePinnedHeaderTheTopBandAndAClippedFootBand)
{
    // Solid rows under headers that draw nothing: whatever shows red in a header or the band
    // above it is a row showing through.
    class SolidRows : public Rows
    {
    public:
        QWidget* createItemWidget(const QString& kind) override
        {
            class Solid : public QWidget
            {
                void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), Qt::red); }
            };
            auto* widget = new Solid;
            widget->setProperty("kind", kind);
            return widget;
        }
    } rows;
    rows.sections = {Rows::numbered(20), Rows::numbered(20, 100)};
    SectionedListView view;
    view.setAnimationDuration(0);
    view.resize(300, 600);
    view.show();
    view.setDataSource(&rows);
    view.setHeaderHeight(38);
    view.setTopContentInset(76);
    const auto rowShowsAt = [&](int y) { return view.grab().toImage().pixelColor(150, y) == QColor(Qt::red); };

    for (const int offset : {0, 300, 777, 1220}) {
        view.setContentOffset(offset);
        EXPECT_FALSE(rowShowsAt(10)) << "band at " << offset;
        EXPECT_FALSE(rowShowsAt(70)) << "band at " << offset;
        EXPECT_FALSE(rowShowsAt(90)) << "pinned header at " << offset;
        EXPECT_TRUE(rowShowsAt(200)) << "list at " << offset;
    }
    // A clipped bottom inset is a band of its own at the foot, wherever the list is scrolled;
    // at the end the last row stops just above it.
    view.setBottomContentInset(40);
    view.setClipsBottomInset(true);
    for (const int offset : {0, 250, 777, view.verticalScrollBar()->maximum() - 76}) {
        view.setContentOffset(offset);
        EXPECT_FALSE(rowShowsAt(565)) << "foot band at " << offset;
        EXPECT_FALSE(rowShowsAt(599)) << "foot band at " << offset;
        EXPECT_TRUE(rowShowsAt(555)) << "list at " << offset;
    }
    view.setClipsBottomInset(false);
    view.setContentOffset(300);
    EXPECT_TRUE(rowShowsAt(599));
    // Without pinned headers the list keeps all of its viewport.
    view.setPinsHeaders(false);
    view.setHeaderHeight(0);
    view.setContentOffset(300);
    EXPECT_TRUE(rowShowsAt(10));
}

TEST(SectionedListView, ScrollToItemPutsTheItemAtTopCentreOrBottom)
{
    ListFixture list({Rows::numbered(100, 1, 50)});
    list.view.setHeaderHeight(38);
    const IndexPath target {0, 40}; // content y 38 + 2000
    const int height = list.view.viewport()->height();

    struct Case
    {
        SectionedListView::ScrollPosition position;
        int viewportTop;
    };
    const QList<Case> cases = {
        {SectionedListView::ScrollPosition::Top, 38},
        {SectionedListView::ScrollPosition::Centre, (38 + height) / 2 - 25},
        {SectionedListView::ScrollPosition::Bottom, height - 50},
    };
    for (const Case& c : cases) {
        list.view.setContentOffset(0);
        list.view.scrollToItem(target, c.position);
        EXPECT_EQ(list.view.itemFrame(target).top() - list.view.contentOffset(), c.viewportTop);
        list.expectVisibleItemsShown();
    }

    list.view.setAnimationDuration(60);
    list.view.setContentOffset(0);
    list.view.scrollToItem(target, SectionedListView::ScrollPosition::Bottom, true);
    EXPECT_EQ(list.view.contentOffset(), 0);
    waitUntil([&] { return list.view.contentOffset() == 38 + 2050 - height; });
    EXPECT_EQ(list.view.contentOffset(), 38 + 2050 - height);
    list.expectVisibleItemsShown();

    // Near the end the list cannot scroll further than its content.
    list.view.scrollToItem({0, 99}, SectionedListView::ScrollPosition::Top);
    EXPECT_EQ(list.view.contentOffset(), list.view.verticalScrollBar()->maximum());
}

namespace {

// Rows whose size the list must ask for: each answer is counted, and every row is estimated 60
// high until measured.
class EstimatedRows : public Rows
{
public:
    mutable int sizeCalls = 0;

    QSize sizeForItem(const IndexPath& path, int width) const override
    {
        ++sizeCalls;
        return Rows::sizeForItem(path, width);
    }
    std::optional<QSize> estimatedSizeForItem(const IndexPath&, int) const override { return QSize(0, 60); }
};

struct EstimatedListFixture
{
    EstimatedRows rows;
    SectionedListView view;

    explicit EstimatedListFixture(int count)
    {
        rows.sections = {variedRows(count)};
        view.setAnimationDuration(0);
        view.resize(300, 600);
        view.show();
        view.setDataSource(&rows);
    }

    int measuredTopOf(const IndexPath& path) const
    {
        int top = 0;
        for (int i = 0; i < path.item; ++i)
            top += rows.row({0, i}).height;
        return top;
    }
};

} // namespace

TEST(SectionedListView, EstimatedItemsAreMeasuredOnlyNearTheVisibleBand)
{
    EstimatedListFixture list(10000);
    // Rows are at least 40 high: the band with 100 prepared above and below holds at most 22.
    EXPECT_LE(list.rows.sizeCalls, 22);
    EXPECT_GT(list.rows.sizeCalls, 0);
    EXPECT_EQ(list.view.itemFrame({0, 5}).top(), list.measuredTopOf({0, 5}));

    // Scrolling far measures only the new band; a row's frame there is its estimated place.
    const int before = list.rows.sizeCalls;
    list.view.setContentOffset(300000);
    EXPECT_LE(list.rows.sizeCalls - before, 22);
    for (const IndexPath& path : list.view.indexPathsForVisibleItems()) {
        EXPECT_EQ(list.view.itemFrame(path).height(), list.rows.row(path).height) << path.item;
        EXPECT_EQ(list.view.itemWidget(path)->geometry(),
            list.view.itemFrame(path).translated(0, -list.view.contentOffset()));
    }
}

TEST(SectionedListView, RowsTallerThanTheirEstimatesAreMeasuredOnlyAsFarAsTheyReachTheBand)
{
    // Cards estimated at 60 that turn out 350 high: a band of 800 holds three of them, where
    // the estimates alone would put 14 rows into it.
    EstimatedListFixture list(0);
    QList<Row> tall;
    for (int i = 0; i < 1000; ++i)
        tall.append(Row {quint64(i + 1), 350, "card"});
    list.rows.sections = {tall};
    list.rows.sizeCalls = 0;
    list.view.reloadData();
    EXPECT_LE(list.rows.sizeCalls, 3);
    for (const IndexPath& path : list.view.indexPathsForVisibleItems())
        EXPECT_EQ(list.view.itemFrame(path).height(), 350) << "every row shown is measured";

    // Far down, the rows in the margin above are measured too: at most two of 60 there.
    list.view.setContentOffset(30000);
    EXPECT_LE(list.rows.sizeCalls, 3 + 2 + 3);
    for (const IndexPath& path : list.view.indexPathsForVisibleItems())
        EXPECT_EQ(list.view.itemFrame(path).height(), 350) << path.item;
}

TEST(SectionedListView, ReplacingEstimatesAboveTheTopRowLeavesItWhereItIs)
{
    EstimatedListFixture list(2000);
    list.view.setContentOffset(30000);
    const IndexPath top = list.view.indexPathsForVisibleItems().first();
    const int shownAt = list.view.itemFrame(top).top() - list.view.contentOffset();

    // Measuring in idle slices goes from the first row down, replacing the estimates above.
    waitUntil([&] { return list.view.listLayout().nextUnmeasured({0, 0}) == std::nullopt; }, 10000);
    ASSERT_EQ(list.view.listLayout().nextUnmeasured({0, 0}), std::nullopt) << "idle slices measure every row";
    EXPECT_EQ(list.view.itemFrame(top).top(), list.measuredTopOf(top));
    EXPECT_EQ(list.view.itemFrame(top).top() - list.view.contentOffset(), shownAt);
    EXPECT_EQ(list.view.listLayout().contentHeight(), list.measuredTopOf({0, 2000}));
}

TEST(SectionedListView, ScrollToItemLandsExactlyAmongEstimatedRows)
{
    EstimatedListFixture list(5000);
    const IndexPath target {0, 3000};
    for (const auto position : {SectionedListView::ScrollPosition::Top, SectionedListView::ScrollPosition::Centre,
             SectionedListView::ScrollPosition::Bottom}) {
        list.view.setContentOffset(0);
        list.view.scrollToItem(target, position);
        const int shownAt = list.view.itemFrame(target).top() - list.view.contentOffset();
        const int height = list.view.itemFrame(target).height();
        const int expected = position == SectionedListView::ScrollPosition::Top ? 0
            : position == SectionedListView::ScrollPosition::Centre             ? (600 - height) / 2
                                                                                : 600 - height;
        EXPECT_NEAR(shownAt, expected, 1);
        EXPECT_EQ(height, list.rows.row(target).height);
    }
}

TEST(SectionedListView, FindsTheItemUnderAPointAfterScrolling)
{
    ListFixture list({Rows::numbered(30), Rows::numbered(30, 100)});
    list.view.setHeaderHeight(38);
    list.view.setContentOffset(1000);

    const QPoint point = list.view.contentPointFromViewport(QPoint(20, 200));
    EXPECT_EQ(point, QPoint(20, 1200));
    // Section 0 spans 0..1238; row 29 is at 1198..1238.
    EXPECT_EQ(list.view.indexPathAt(point), (IndexPath {0, 29}));
    EXPECT_EQ(list.view.indexPathAt(QPoint(20, 1250)), std::nullopt);
    EXPECT_EQ(list.view.indexPathAt(QPoint(20, 1290)), (IndexPath {1, 0}));
}

TEST(SectionedListView, ChangedItemSizeMovesTheRowsBelow)
{
    ListFixture list({Rows::numbered(5)});
    list.rows.sections[0][1].height = 100;
    list.view.invalidateItemSize({0, 1});

    EXPECT_EQ(list.view.itemFrame({0, 2}).top(), 140);
    list.expectVisibleItemsShown();
}

namespace {

struct Script
{
    const char* name;
    QList<QList<Row>> before;
    QList<QList<Row>> after;
    std::function<void(SectionedListView&)> hints;
};

} // namespace

TEST(SectionedListViewBatchUpdates, ScriptedSequencesEndInTheDataSourcesState)
{
    const QList<Row> ten = Rows::numbered(10);
    QList<Row> twoInserted = ten;
    twoInserted.insert(0, Row {500, 60, "card"});
    twoInserted.insert(0, Row {501, 70, "card"});
    QList<Row> moved = ten;
    moved.move(5, 0);
    QList<Row> threeDeleted = ten;
    threeDeleted.remove(2, 3);
    QList<Row> duplicated = ten;
    duplicated[4].id = duplicated[3].id;
    duplicated[7].kind = "add";

    const QList<Script> scripts = {
        {"insert two at the top", {ten}, {twoInserted},
            [](SectionedListView& view) {
                view.insertItems({{0, 0}, {0, 1}});
            }},
        {"delete with duplicates and out-of-range paths", {ten}, {threeDeleted},
            [](SectionedListView& view) {
                view.deleteItems({{0, 2}, {0, 3}, {0, 3}, {0, 4}, {0, 40}, {3, 0}, {-1, -1}});
            }},
        {"move with a stray section insert", {ten}, {moved},
            [](SectionedListView& view) {
                view.moveItem({0, 5}, {0, 0});
                view.insertSections({9});
            }},
        {"hints that say the opposite", {ten}, {threeDeleted},
            [](SectionedListView& view) {
                view.insertItems({{0, 2}, {0, 3}, {0, 4}});
                view.moveItem({0, 9}, {0, 40});
            }},
        {"moves onto one destination twice", {ten}, {moved},
            [](SectionedListView& view) {
                view.moveItem({0, 5}, {0, 0});
                view.moveItem({0, 6}, {0, 0});
                view.moveItem({0, 5}, {0, 1});
            }},
        {"delete a section listed twice", {ten, Rows::numbered(3, 100)}, {Rows::numbered(3, 100)},
            [](SectionedListView& view) {
                view.deleteSections({0, 0, 7});
            }},
        {"duplicate identities and a changed kind", {ten}, {duplicated},
            [](SectionedListView& view) {
                view.reloadItems({{0, 4}, {0, 99}});
            }},
        {"everything replaced, no hints", {ten, ten}, {Rows::numbered(4, 900, 90), {}, Rows::numbered(2, 950)},
            [](SectionedListView&) {}},
        {"emptied", {ten}, {}, [](SectionedListView& view) { view.deleteSections({0}); }},
        {"nested batches", {ten}, {twoInserted},
            [](SectionedListView& view) {
                view.performBatchUpdates([&] { view.insertItems({{0, 0}}); });
                view.insertItems({{0, 1}});
            }},
    };

    for (const Script& script : scripts) {
        SCOPED_TRACE(script.name);
        ListFixture list(script.before);
        list.view.setHeaderHeight(38);
        int completions = 0;
        list.view.performBatchUpdates(
            [&] {
                list.rows.sections = script.after;
                script.hints(list.view);
            },
            [&] { ++completions; });
        EXPECT_EQ(completions, 1);
        list.expectInStepWithRows();
    }
}

TEST(SectionedListViewBatchUpdates, RandomSequencesOfChangesAndHintsNeverLeaveTheViewOutOfStep)
{
    std::mt19937 random(20261209);
    const auto below = [&](int bound) { return int(random() % unsigned(std::max(1, bound))); };
    ListFixture list({Rows::numbered(30), Rows::numbered(30, 100)}, QSize(300, 400));
    list.view.setHeaderHeight(38);
    quint64 nextId = 1000;

    for (int round = 0; round < 200; ++round) {
        SCOPED_TRACE(round);
        list.view.setContentOffset(below(list.view.verticalScrollBar()->maximum() + 1));
        list.view.setSelectionIndexPaths({{below(3), below(40)}, {0, below(30)}});
        list.view.performBatchUpdates([&] {
            QList<QList<Row>>& sections = list.rows.sections;
            for (int change = below(6); change >= 0; --change) {
                const int s = below(int(sections.size()));
                switch (below(5)) {
                case 0:
                    if (!sections.isEmpty())
                        sections[s].insert(below(int(sections[s].size()) + 1), Row {nextId++, 20 + below(80), "card"});
                    break;
                case 1:
                    if (!sections.isEmpty() && !sections[s].isEmpty())
                        sections[s].removeAt(below(int(sections[s].size())));
                    break;
                case 2:
                    if (!sections.isEmpty() && !sections[s].isEmpty()) {
                        const Row row = sections[s].takeAt(below(int(sections[s].size())));
                        const int to = below(int(sections.size()));
                        sections[to].insert(below(int(sections[to].size()) + 1), row);
                    }
                    break;
                case 3:
                    sections.insert(below(int(sections.size()) + 1), Rows::numbered(below(5), nextId));
                    nextId += 10;
                    break;
                default:
                    if (sections.size() > 1)
                        sections.removeAt(s);
                    break;
                }
            }
            // Hints drawn at random: some right, most wrong.
            for (int hint = below(5); hint >= 0; --hint) {
                const IndexPath path {below(5) - 1, below(40) - 1};
                switch (below(7)) {
                case 0:
                    list.view.insertItems({path});
                    break;
                case 1:
                    list.view.deleteItems({path, path});
                    break;
                case 2:
                    list.view.moveItem(path, {below(4), below(40)});
                    break;
                case 3:
                    list.view.reloadItems({path});
                    break;
                case 4:
                    list.view.insertSections({path.section});
                    break;
                case 5:
                    list.view.deleteSections({path.section});
                    break;
                default:
                    list.view.reloadSections({path.section});
                    break;
                }
            }
        });
        list.expectInStepWithRows();
        for (const IndexPath& path : list.view.selectionIndexPaths())
            EXPECT_LT(path.item, list.rows.numberOfItems(path.section));
        if (::testing::Test::HasFailure())
            return;
    }
}

TEST(SectionedListViewBatchUpdates, SelectionFollowsTheSelectedItem)
{
    ListFixture list({Rows::numbered(10)});
    list.view.setSelectionIndexPaths({{0, 3}});

    list.view.performBatchUpdates([&] {
        list.rows.sections[0].insert(0, Row {77, 40, "card"});
        list.view.insertItems({{0, 0}});
    });
    EXPECT_EQ(list.view.selectionIndexPaths(), (QSet<IndexPath> {{0, 4}}));

    list.view.performBatchUpdates([&] {
        list.rows.sections[0].removeAt(4);
        list.view.deleteItems({{0, 4}});
    });
    EXPECT_TRUE(list.view.selectionIndexPaths().isEmpty());
}

TEST(SectionedListViewBatchUpdates, OnlyReloadedItemsAreConfiguredAndMeasuredAgain)
{
    ListFixture list({Rows::numbered(10)});
    QWidget* widget = list.view.itemWidget({0, 2});
    list.rows.sections[0][2].height = 90;
    list.rows.sections[0][5].height = 90;

    list.view.reloadItems({{0, 2}});
    EXPECT_EQ(list.view.itemWidget({0, 2}), widget);
    EXPECT_EQ(list.view.itemFrame({0, 2}).height(), 90);
    // Not reloaded: its cached height stands until it is reloaded or invalidated.
    EXPECT_EQ(list.view.itemFrame({0, 5}).height(), 40);

    list.rows.sections[0][3].kind = "add";
    list.view.reloadItems({{0, 3}});
    EXPECT_EQ(list.view.itemWidget({0, 3})->property("kind").toString(), "add");
}

TEST(SectionedListViewBatchUpdates, RowsSlideToTheirPlacesAndTheCompletionRunsAtTheEnd)
{
    ListFixture list({Rows::numbered(10)});
    list.view.setAnimationDuration(80);
    QWidget* third = list.view.itemWidget({0, 2});
    const QRect before = third->geometry();

    bool completed = false;
    list.view.performBatchUpdates(
        [&] {
            list.rows.sections[0].insert(0, Row {77, 100, "card"});
            list.view.insertItems({{0, 0}});
        },
        [&] { completed = true; });
    EXPECT_FALSE(completed);
    EXPECT_EQ(third->geometry(), before);

    waitUntil([&] { return completed; });
    EXPECT_TRUE(completed);
    EXPECT_EQ(list.view.itemWidget({0, 3}), third);
    list.expectInStepWithRows();
}

TEST(SectionedListViewBatchUpdates, CompletionMayStartTheNextUpdate)
{
    ListFixture list({Rows::numbered(20)});
    list.view.setAnimationDuration(40);
    QStringList done;
    list.view.performBatchUpdates(
        [&] {
            list.rows.sections[0].move(0, 5);
            list.view.moveItem({0, 0}, {0, 5});
        },
        [&] {
            done << "first";
            list.view.performBatchUpdates(
                [&] {
                    list.rows.sections[0].removeFirst();
                    list.view.deleteItems({{0, 0}});
                },
                [&] { done << "second"; });
        });

    waitUntil([&] { return done.size() == 2; });
    EXPECT_EQ(done, QStringList({"first", "second"}));
    list.expectInStepWithRows();
}

TEST(SectionedListViewBatchUpdates, ScrollingDuringTheSlideLandsItAtOnce)
{
    ListFixture list({Rows::numbered(50)});
    list.view.setAnimationDuration(5000);
    int completions = 0;
    list.view.performBatchUpdates(
        [&] {
            list.rows.sections[0].move(0, 3);
            list.view.moveItem({0, 0}, {0, 3});
        },
        [&] { ++completions; });
    EXPECT_EQ(completions, 0);

    list.view.setContentOffset(30);
    EXPECT_EQ(completions, 1);
    list.expectInStepWithRows();
}

namespace {

QString describe(const QSet<IndexPath>& paths)
{
    QList<IndexPath> sorted(paths.cbegin(), paths.cend());
    std::sort(sorted.begin(), sorted.end());
    QStringList parts;
    for (const IndexPath& path : sorted)
        parts << QString("%1.%2").arg(path.section).arg(path.item);
    return parts.join(' ');
}

class SelectionRecorder : public SectionedListViewDelegate
{
public:
    std::function<QSet<IndexPath>(const QSet<IndexPath>&)> onShouldSelect;
    std::function<QSet<IndexPath>(const QSet<IndexPath>&)> onShouldDeselect;
    QStringList log;

    QSet<IndexPath> shouldSelectItems(const QSet<IndexPath>& proposed) override
    {
        return onShouldSelect ? onShouldSelect(proposed) : proposed;
    }
    QSet<IndexPath> shouldDeselectItems(const QSet<IndexPath>& proposed) override
    {
        return onShouldDeselect ? onShouldDeselect(proposed) : proposed;
    }
    void didSelectItems(const QSet<IndexPath>& paths) override { log << "select " + describe(paths); }
    void didDeselectItems(const QSet<IndexPath>& paths) override { log << "deselect " + describe(paths); }
};

// Clicks land on the item's own widget and reach the list the way a user's click does.
void click(SectionedListView& view, const IndexPath& path, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
    bool release = true)
{
    QWidget* widget = view.itemWidget(path);
    ASSERT_NE(widget, nullptr);
    const QPointF local(widget->width() / 2.0, widget->height() / 2.0);
    const QPointF global = widget->mapToGlobal(local);
    QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton, modifiers);
    QApplication::sendEvent(widget, &press);
    if (!release)
        return;
    QMouseEvent up(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton, modifiers);
    QApplication::sendEvent(widget, &up);
}

void clickViewport(SectionedListView& view, const QPoint& point)
{
    QMouseEvent press(QEvent::MouseButtonPress, point, view.viewport()->mapToGlobal(point), Qt::LeftButton,
        Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view.viewport(), &press);
}

} // namespace

TEST(SectionedListViewSelection, PlainClickDeselectsTheOthersFirstThenSelectsTheClickedItem)
{
    ListFixture list({Rows::numbered(5)});
    SelectionRecorder delegate;
    list.view.setDelegate(&delegate);

    click(list.view, {0, 1});
    click(list.view, {0, 3});
    EXPECT_EQ(list.view.selectionIndexPaths(), (QSet<IndexPath> {{0, 3}}));
    EXPECT_EQ(delegate.log, QStringList({"select 0.1", "deselect 0.1", "select 0.3"}));

    clickViewport(list.view, QPoint(10, 500)); // below the last row
    EXPECT_TRUE(list.view.selectionIndexPaths().isEmpty());
    EXPECT_EQ(delegate.log.last(), "deselect 0.3");
}

TEST(SectionedListViewSelection, ControlClickTogglesOneItem)
{
    ListFixture list({Rows::numbered(5)});
    click(list.view, {0, 1});
    click(list.view, {0, 3}, Qt::ControlModifier);
    EXPECT_EQ(list.view.selectionIndexPaths(), (QSet<IndexPath> {{0, 1}, {0, 3}}));
    click(list.view, {0, 1}, Qt::ControlModifier);
    EXPECT_EQ(list.view.selectionIndexPaths(), (QSet<IndexPath> {{0, 3}}));
}

TEST(SectionedListViewSelection, PressOnASelectedItemKeepsTheSelectionUntilRelease)
{
    ListFixture list({Rows::numbered(5)});
    list.view.setSelectionIndexPaths({{0, 1}, {0, 2}});
    click(list.view, {0, 2}, Qt::NoModifier, false);
    EXPECT_EQ(list.view.selectionIndexPaths().size(), 2);

    QWidget* widget = list.view.itemWidget({0, 2});
    QMouseEvent up(QEvent::MouseButtonRelease, QPointF(5, 5), widget->mapToGlobal(QPointF(5, 5)), Qt::LeftButton,
        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &up);
    EXPECT_EQ(list.view.selectionIndexPaths(), (QSet<IndexPath> {{0, 2}}));
}

TEST(SectionedListViewSelection, DelegateCanVetoSelectionAndDeselection)
{
    QList<Row> rows = Rows::numbered(5);
    rows[4].kind = "add";
    ListFixture list({rows});
    SelectionRecorder delegate;
    delegate.onShouldSelect = [&](QSet<IndexPath> proposed) {
        proposed.removeIf([&](const IndexPath& path) { return list.rows.row(path).kind == "add"; });
        return proposed;
    };
    delegate.onShouldDeselect = [](QSet<IndexPath> proposed) {
        proposed.remove(IndexPath {0, 0});
        return proposed;
    };
    list.view.setDelegate(&delegate);

    click(list.view, {0, 4});
    EXPECT_TRUE(list.view.selectionIndexPaths().isEmpty());
    EXPECT_TRUE(delegate.log.isEmpty());

    click(list.view, {0, 0});
    click(list.view, {0, 2});
    EXPECT_EQ(list.view.selectionIndexPaths(), (QSet<IndexPath> {{0, 0}, {0, 2}}));
    EXPECT_EQ(delegate.log, QStringList({"select 0.0", "select 0.2"}));
}

TEST(SectionedListViewSelection, DelegateCanExtendAShiftClickIntoARangeAcrossSections)
{
    ListFixture list({Rows::numbered(4), Rows::numbered(4, 100), Rows::numbered(4, 200)}, QSize(300, 800));
    list.view.setHeaderHeight(38);
    SelectionRecorder delegate;
    bool shiftDown = false;
    std::optional<IndexPath> anchor;
    delegate.onShouldSelect = [&](const QSet<IndexPath>& proposed) {
        if (!shiftDown) {
            anchor = *proposed.cbegin();
            return proposed;
        }
        return anchor ? proposed | list.view.indexPathsBetween(*anchor, *proposed.cbegin()) : proposed;
    };
    list.view.setDelegate(&delegate);

    click(list.view, {0, 2});
    shiftDown = true;
    click(list.view, {2, 1}, Qt::ShiftModifier);
    EXPECT_EQ(describe(list.view.selectionIndexPaths()), "0.2 0.3 1.0 1.1 1.2 1.3 2.0 2.1");
    EXPECT_EQ(delegate.log.last(), "select 0.3 1.0 1.1 1.2 1.3 2.0 2.1");
}

TEST(SectionedListViewSelection, IndexPathsBetweenRunsAcrossSectionsInEitherDirection)
{
    ListFixture list({Rows::numbered(3), {}, Rows::numbered(2, 100)});
    EXPECT_EQ(describe(list.view.indexPathsBetween({2, 0}, {0, 1})), "0.1 0.2 2.0");
    EXPECT_EQ(describe(list.view.indexPathsBetween({0, 2}, {0, 0})), "0.0 0.1 0.2");
    EXPECT_EQ(describe(list.view.indexPathsBetween({0, 1}, {9, 9})), "0.1 0.2 2.0 2.1");
}

namespace {

using DropOperation = SectionedListViewDragDelegate::DropOperation;

QString describe(const IndexPath& path, DropOperation operation)
{
    return QString("%1 %2.%3").arg(operation == DropOperation::On ? "on" : "before").arg(path.section).arg(path.item);
}

class DropRecorder : public SectionedListViewDragDelegate
{
public:
    QStringList log;
    std::function<Qt::DropAction(IndexPath&, DropOperation&)> onValidate;
    bool accepts = true;

    QMimeData* mimeDataForItems(SectionedListView*, const QList<IndexPath>&) override { return new QMimeData; }
    Qt::DropAction validateDrop(
        SectionedListView*, const QMimeData*, IndexPath& path, DropOperation& operation) override
    {
        log << "validate " + describe(path, operation);
        return onValidate ? onValidate(path, operation) : Qt::MoveAction;
    }
    bool acceptDrop(SectionedListView*, const QMimeData*, const IndexPath& path, DropOperation operation,
        SectionedListView* source) override
    {
        log << "accept " + describe(path, operation) + (source ? " from a list" : " from elsewhere");
        return accepts;
    }
    void dragExited(SectionedListView*) override { log << "exited"; }
};

// Drag events go through the window, as the platform delivers them, so that enter, move, leave
// and drop reach the list as one drag.
struct DragOver
{
    QMimeData data;
    SectionedListView& view;

    bool send(QEvent* event)
    {
        QApplication::sendEvent(view.window()->windowHandle(), event);
        return event->isAccepted();
    }
    QPoint inWindow(const QPoint& viewportPoint) const { return view.viewport()->mapTo(view.window(), viewportPoint); }
    bool enter(const QPoint& point)
    {
        QDragEnterEvent event(inWindow(point), Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        return send(&event);
    }
    bool move(const QPoint& point)
    {
        QDragMoveEvent event(inWindow(point), Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        return send(&event);
    }
    bool drop(const QPoint& point)
    {
        QDropEvent event(inWindow(point), Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        return send(&event);
    }
    void leave()
    {
        QDragLeaveEvent event;
        send(&event);
    }
};

} // namespace

TEST(SectionedListViewDrop, ProposesTheDropUnderThePointer)
{
    ListFixture list({Rows::numbered(3), Rows::numbered(2, 100)});
    list.view.setHeaderHeight(38);
    // Section 0: header 0..38, rows 38..158; section 1: header 158..196, rows 196..276.
    SectionedListDropGap gap;
    gap.position = {0, 1};
    gap.incomingHeight = 30;

    struct Case
    {
        QPoint point;
        bool withGap;
        QString proposal;
    };
    const QList<Case> cases = {
        {{10, 40}, false, "on 0.0"},
        {{10, 157}, false, "on 0.2"},
        {{10, 10}, false, "before 0.0"},
        {{10, 170}, false, "before 1.0"},
        {{10, 500}, false, "before 1.2"},
        {{10, 90}, true, "before 0.1"}, // inside the open gap, 78..108
        {{10, 120}, true, "on 0.1"},
    };
    for (const Case& c : cases) {
        list.view.setDropGap(c.withGap ? std::optional(gap) : std::nullopt);
        const SectionedListViewDragDelegate::DropProposal proposal = list.view.proposedDrop(c.point);
        EXPECT_EQ(describe(proposal.path, proposal.operation), c.proposal) << c.point.y();
    }

    ListFixture empty({});
    EXPECT_EQ(describe(empty.view.proposedDrop({10, 10}).path, DropOperation::Before), "before 0.0");
}

TEST(SectionedListViewDrop, DropLandsWhereTheDelegateCorrectedTheProposal)
{
    ListFixture list({Rows::numbered(10)});
    DropRecorder recorder;
    recorder.onValidate = [&](IndexPath& path, DropOperation& operation) {
        if (operation == DropOperation::On) {
            operation = DropOperation::Before;
            path.item += 1;
        }
        SectionedListDropGap gap;
        gap.position = path;
        gap.incomingHeight = 40;
        list.view.setDropGap(gap);
        return Qt::MoveAction;
    };
    list.view.setDragDelegate(&recorder);
    DragOver drag {{}, list.view};

    EXPECT_TRUE(drag.enter({10, 100}));
    EXPECT_TRUE(drag.move({10, 100}));
    // Rows from the proposed drop down make room for the incoming row.
    EXPECT_EQ(list.view.itemWidget({0, 3})->geometry().top(), 160);
    EXPECT_TRUE(drag.move({10, 170}));
    EXPECT_EQ(list.view.itemWidget({0, 4})->geometry().top(), 200);
    EXPECT_TRUE(drag.drop({10, 170}));
    EXPECT_EQ(recorder.log, QStringList({"validate on 0.2", "validate on 0.3", "accept before 0.4 from elsewhere"}));
}

TEST(SectionedListViewDrop, RefusedDropsAndDragsThatLeaveReachTheDelegateOnly)
{
    ListFixture list({Rows::numbered(10)});
    DropRecorder recorder;
    recorder.onValidate = [](IndexPath&, DropOperation&) { return Qt::IgnoreAction; };
    list.view.setDragDelegate(&recorder);
    DragOver drag {{}, list.view};

    drag.enter({10, 100});
    EXPECT_FALSE(drag.move({10, 100}));
    drag.leave();
    EXPECT_EQ(recorder.log, QStringList({"validate on 0.2", "exited"}));
    drag.enter({10, 100});
    drag.move({10, 100});
    EXPECT_FALSE(drag.drop({10, 100}));
    EXPECT_FALSE(recorder.log.join(',').contains("accept"));

    // Without a drag delegate nothing is accepted at all.
    list.view.setDragDelegate(nullptr);
    EXPECT_FALSE(drag.enter({10, 100}));
}

TEST(SectionedListViewDrop, DraggingNearAnEdgeScrollsTheList)
{
    ListFixture list({Rows::numbered(200)});
    DropRecorder recorder;
    list.view.setDragDelegate(&recorder);
    DragOver drag {{}, list.view};

    drag.enter({10, 595});
    drag.move({10, 595});
    waitUntil([&] { return list.view.contentOffset() > 100; });
    EXPECT_GT(list.view.contentOffset(), 100);
    drag.move({10, 5});
    const int lowest = list.view.contentOffset();
    waitUntil([&] { return list.view.contentOffset() < lowest - 50; });
    EXPECT_LT(list.view.contentOffset(), lowest - 50);

    drag.leave();
    const int stopped = list.view.contentOffset();
    waitUntil([] { return false; }, 60);
    EXPECT_EQ(list.view.contentOffset(), stopped);

    // A clipped foot band is no part of the list: the lower edge that scrolls is above it.
    list.view.setBottomContentInset(40);
    list.view.setClipsBottomInset(true);
    drag.enter({10, 555});
    drag.move({10, 555});
    waitUntil([&] { return list.view.contentOffset() > stopped + 100; });
    EXPECT_GT(list.view.contentOffset(), stopped + 100);
    drag.leave();
}

TEST(SectionedListViewDrop, RowsDraggedWithinTheListLeaveTheirPlace)
{
    ListFixture list({Rows::numbered(10)});
    SectionedListDropGap gap;
    gap.position = {0, 1};
    gap.draggedFromThisList = true;
    gap.draggedItemHeights = {{{0, 5}, 40}};
    gap.dragOrigin = IndexPath {0, 5};
    list.view.setDropGap(gap);

    EXPECT_FALSE(list.view.itemWidget({0, 5})->isVisible());
    EXPECT_EQ(list.view.itemWidget({0, 4})->geometry().top(), 200);
    EXPECT_EQ(list.view.itemWidget({0, 6})->geometry().top(), 240);

    list.view.setDropGap(std::nullopt);
    EXPECT_TRUE(list.view.itemWidget({0, 5})->isVisible());
    EXPECT_EQ(list.view.itemWidget({0, 4})->geometry().top(), 160);
}
