#include "BoardViewFixture.h"

#include "Pelorins/column/AddColumnButtonView.h"
#include "Pelorins/column/RFOverlayScroller.h"
#include "Pelorins/shell/MainSplitViewController.h"
#include "PelorinsKit/model/DoneDate.h"
#include "Pelorins/sidebar/SidebarPane.h"
#include "Platform/widgets/ScriptedFilePanelPresenter.h"

#include <QHBoxLayout>
#include <QScreen>

namespace {

// A sidebar of a fixed width.
class FixedSidebar : public SidebarPane
{
public:
    explicit FixedSidebar(int width)
        : m_view(new QWidget)
    {
        m_view->setFixedWidth(width);
    }
    ~FixedSidebar() override { delete m_view.data(); }
    QWidget* view() override { return m_view; }
    void refreshListWhileKeepingSelection() override { }

private:
    QPointer<QWidget> m_view;
};

class BoardViewLayout : public BoardViewFixture
{
protected:
    // A window 1200 wide holding a split view: a sidebar 250 wide beside the board pane.
    struct SplitWindow
    {
        ScriptedFilePanelPresenter panels;
        QWidget window;
        MainSplitViewController* split = nullptr;
        FixedSidebar* sidebar = new FixedSidebar(250);
        MacKanbanColumnsViewController* pane = nullptr;

        explicit SplitWindow(BoardViewLayout& test)
        {
            split = new MainSplitViewController(test.defaults, panels, &window);
            auto* layout = new QHBoxLayout(&window);
            layout->setContentsMargins(0, 0, 0, 0);
            layout->addWidget(split);
            split->setSidebarViewController(sidebar);
            pane = new MacKanbanColumnsViewController(test.services());
            pane->animator().setFinishesAtOnce(true);
            split->setKanbanColumnsViewController(pane);
            window.setGeometry(40, 40, 1200, 700);
            window.show();
        }
        ~SplitWindow()
        {
            delete split;
            delete sidebar;
        }
    };
};

// The card shown at a viewport height of a column.
ListItem* cardAt(MacKanbanColumnController* column, int viewportY)
{
    SectionedListView* list = column->collectionView();
    const std::optional<IndexPath> path = list->indexPathAt(QPoint(10, list->contentOffset() + viewportY));
    return path ? column->itemFor(*path) : nullptr;
}

} // namespace

TEST_F(BoardViewLayout, ZoomScalesColumnsTheGapStaysAndTheAddButtonFollows)
{
    show(boardWithCards("A", {2, 2, 2, 2}));
    board->setStoredMagnification(0.75);
    board->layoutDocumentIfNeeded();
    for (int section = 0; section < 4; ++section) {
        EXPECT_EQ(frameOf(controller(section)).x(), 225 * section) << section;
        EXPECT_EQ(frameOf(controller(section)).width(), 225) << section;
        EXPECT_EQ(controller(section)->scrollView()->magnification(), 0.75);
    }
    EXPECT_EQ(frameOf(controller(4)).x(), 940);
    EXPECT_EQ(board->documentView()->width(), 1165);
    EXPECT_EQ(board->addColumnButton()->geometry(), QRect(900, 38, 40, 40));

    board->setStoredMagnification(1.0);
    board->layoutDocumentIfNeeded();
    EXPECT_EQ(frameOf(controller(4)).x(), 1240);
    EXPECT_EQ(board->documentView()->width(), 1540);
}

// The layout and bookmark buttons float over the board's lower right corner: scrolled to its end,
// no list leaves its last card or header under them.
TEST_F(BoardViewLayout, TheEndOfEveryListScrollsClearOfTheCornerButtons)
{
    Kanban* kanban = boardWithCards("A", {12, 2});
    DoneDate* group = build.addDoneGroup(kanban, QDateTime(QDate(2026, 3, 2), QTime(0, 0)));
    for (int card = 0; card < 10; ++card)
        build.addDoneCard(kanban, group);
    for (const bool separate : {true, false}) {
        defaults.setValue(MacKanbanColumnsViewController::viewAsMultiColumnKey, separate);
        board.reset();
        show(kanban);
        const QWidget* bookmark = board->findChild<QWidget*>(QStringLiteral("bookmarkButton"));
        const QWidget* layout = board->findChild<QWidget*>(QStringLiteral("changeLayoutButton"));
        ASSERT_TRUE(bookmark && layout);
        const int buttonsTop = std::min(bookmark->geometry().top(), layout->geometry().top());
        for (MacKanbanColumnController* column : board->columnControllers()) {
            if (!column->containerView()->isVisible())
                continue;
            SectionedListView* list = column->collectionView();
            list->verticalScrollBar()->setValue(list->verticalScrollBar()->maximum());
            settle();
            const int last = list->numberOfSections() - 1;
            const int items = list->numberOfItems(last);
            const QRect end = items > 0 ? list->itemFrame({last, items - 1}) : list->headerFrame(last);
            const int bottom = list->viewport()->mapTo(board.get(), QPoint(0, end.bottom() - list->contentOffset())).y();
            EXPECT_LT(bottom, buttonsTop) << (separate ? "separate, column " : "one list, column ")
                                          << column->specifiedSection();
        }
    }
}

// In one column the corner buttons lie over the list itself: wherever it is scrolled, at every
// zoom, no row or header shows under them, nor does the overlay scroller run beneath them.
TEST_F(BoardViewLayout, NothingOfTheSingleListShowsUnderTheCornerButtons)
{
    Kanban* kanban = boardWithCards("A", {12, 2, 3});
    DoneDate* group = build.addDoneGroup(kanban, QDateTime(QDate(2026, 3, 2), QTime(0, 0)));
    for (int card = 0; card < 6; ++card)
        build.addDoneCard(kanban, group);
    defaults.setValue(MacKanbanColumnsViewController::viewAsMultiColumnKey, false);
    show(kanban);
    MacKanbanColumnController* single = nullptr;
    for (MacKanbanColumnController* column : board->columnControllers())
        if (column->showAllSections())
            single = column;
    ASSERT_TRUE(single);
    RFOverlayScrollView* list = single->collectionView();
    const auto underButtons = [&](const QWidget* widget, const QRect& rect) {
        const QRect onBoard(widget->mapTo(board.get(), rect.topLeft()), rect.size());
        for (const char* name : {"bookmarkButton", "changeLayoutButton"})
            if (onBoard.intersects(board->findChild<QWidget*>(QLatin1String(name))->geometry()))
                return true;
        return false;
    };
    for (const qreal zoom : {1.0, 0.5}) {
        board->setStoredMagnification(zoom);
        settle();
        QScrollBar* bar = list->verticalScrollBar();
        ASSERT_GT(bar->maximum(), 0);
        for (int value = 0; value <= bar->maximum(); value += 20) {
            bar->setValue(value);
            const QRect shown = list->viewport()->mask().isEmpty() ? list->viewport()->rect()
                                                                   : list->viewport()->mask().boundingRect();
            for (const QWidget* child : list->viewport()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
                if (child->isVisible())
                    EXPECT_FALSE(underButtons(list->viewport(), child->geometry() & shown))
                        << "zoom " << zoom << ", scrolled " << value;
        }
        EXPECT_FALSE(underButtons(list, list->overlayScroller()->geometry())) << "zoom " << zoom;
    }
}

TEST_F(BoardViewLayout, OneColumnFromAScrolledStageKeepsItsCardsOnTop)
{
    Kanban* kanban = boardWithCards("A", {6, 8, 20, 5});
    kanban->column().at(2)->setBookmarked(true);
    show(kanban);
    MacKanbanColumnController* stage = controller(2);
    stage->collectionView()->setContentOffset(120);
    settle();
    ListItem* topCard = cardAt(stage, 100);
    ASSERT_TRUE(topCard);

    board->toggleColumnLayout();
    settle();
    EXPECT_FALSE(board->viewAsMultiColumn());
    EXPECT_TRUE(stage->showAllSections());
    for (MacKanbanColumnController* column : board->columnControllers())
        EXPECT_EQ(column->containerView()->isVisibleTo(board.get()), column == stage);
    QList<ListItem*> nearTop;
    for (int y = 76; y < 300; y += 10)
        nearTop << cardAt(stage, y);
    EXPECT_TRUE(nearTop.contains(topCard));
    EXPECT_EQ(board->scrollView()->width(), 300);
    EXPECT_FALSE(defaults.boolForKey(MacKanbanColumnsViewController::viewAsMultiColumnKey));
    EXPECT_EQ(defaults.integerForKey(MacKanbanColumnsViewController::expandedViewWidthKey), 1440);
}

TEST_F(BoardViewLayout, SeparateColumnsFromOneColumnShowTheStageAtTheTop)
{
    Kanban* kanban = boardWithCards("A", {4, 4, 4, 12, 4});
    defaults.setValue(MacKanbanColumnsViewController::viewAsMultiColumnKey, false);
    show(kanban);
    MacKanbanColumnController* single = controller(0);
    MacKanbanColumnController* formerThird = controller(3);
    ASSERT_TRUE(single->showAllSections());
    qreal aboveThird = 0;
    for (int stage = 0; stage < 3; ++stage)
        aboveThird += single->heightOfSection(stage);
    single->collectionView()->setContentOffset(int(aboveThird) + 100 - 38);
    settle();
    ListItem* topCard = cardAt(single, 120);
    ASSERT_TRUE(topCard);
    ASSERT_EQ(topCard->column(), kanban->column().at(3));

    board->toggleColumnLayout();
    settle();
    EXPECT_TRUE(board->viewAsMultiColumn());
    EXPECT_EQ(single->specifiedSection(), 3);
    EXPECT_EQ(formerThird->specifiedSection(), 0);
    EXPECT_FALSE(single->showAllSections());
    QList<ListItem*> shown;
    for (int y = 76; y < 400; y += 10)
        shown << cardAt(single, y);
    EXPECT_TRUE(shown.contains(topCard));
    for (int section = 0; section <= 5; ++section) {
        EXPECT_TRUE(controller(section)->containerView()->isVisibleTo(board.get())) << section;
        EXPECT_EQ(frameOf(controller(section)).x(), 300 * section + (section == 5 ? 40 : 0)) << section;
        EXPECT_EQ(
            shownCards(controller(section)), section < 5 ? kanban->column().at(section)->item() : QList<ListItem*>());
    }
    EXPECT_TRUE(defaults.boolForKey(MacKanbanColumnsViewController::viewAsMultiColumnKey));
}

TEST_F(BoardViewLayout, TheSeparateWidthIsAtLeastTwoColumnsAndAtMostTheScreen)
{
    EXPECT_EQ(MacKanbanColumnsViewController::separateColumnsBoardWidth(400, 300, 1440), 600);
    EXPECT_EQ(MacKanbanColumnsViewController::separateColumnsBoardWidth(0, 300, 1440), 600);
    EXPECT_EQ(MacKanbanColumnsViewController::separateColumnsBoardWidth(400, 150, 1440), 400);
    EXPECT_EQ(MacKanbanColumnsViewController::separateColumnsBoardWidth(1000000, 300, 1440), 1440);
}

TEST_F(BoardViewLayout, AWindowPassingTheScreensRightEdgeEndsTwentyInside)
{
    const struct
    {
        const char* what;
        QRect frame;
        int width;
        QRect screen;
        int x;
    } cases[] = {
        {"fits", QRect(100, 50, 500, 700), 850, QRect(0, 0, 1440, 900), 100},
        {"passes the edge", QRect(900, 50, 500, 700), 850, QRect(0, 0, 1440, 900), 570},
        {"a second screen", QRect(2500, 50, 500, 700), 1000, QRect(1440, 0, 1920, 1080), 2340},
        {"on a second screen, inside", QRect(1500, 50, 500, 700), 1000, QRect(1440, 0, 1920, 1080), 1500},
    };
    for (const auto& c : cases) {
        const QRect frame = MacKanbanColumnsViewController::clampedWindowFrame(c.frame, c.width, c.screen);
        EXPECT_EQ(frame, QRect(c.x, c.frame.y(), c.width, c.frame.height())) << c.what;
    }
}

TEST_F(BoardViewLayout, TheWindowTakesTheRememberedWidthBesideTheSidebar)
{
    SplitWindow shown(*this);
    const QWidget& window = shown.window;
    MainSplitViewController* split = shown.split;
    MacKanbanColumnsViewController* pane = shown.pane;
    split->showDisplayItem(boardWithCards("A", {1, 1, 1}));
    settle();

    // A remembered width that is not a whole number reads as none: two columns.
    for (const char* remembered : {"1e9", "400"}) {
        pane->toggleColumnLayout();
        settle();
        EXPECT_EQ(pane->width(), 300);
        EXPECT_EQ(window.width(), 550 + split->handleWidth());
        defaults.setValue(MacKanbanColumnsViewController::expandedViewWidthKey, remembered);
        pane->toggleColumnLayout();
        settle();
        EXPECT_EQ(pane->width(), 600) << remembered;
    }
    pane->toggleColumnLayout();
    settle();
    defaults.setValue(MacKanbanColumnsViewController::expandedViewWidthKey, 400);
    pane->toggleColumnLayout();
    settle();
    EXPECT_EQ(pane->width(), 600);
    EXPECT_EQ(shown.sidebar->view()->width(), 250);
    EXPECT_EQ(window.width(), 850 + split->handleWidth());
}

// The one column's window is as wide as the column at every zoom: zoomed in, the column's right
// side and the corner buttons stay inside the window.
TEST_F(BoardViewLayout, ZoomingTheSingleColumnKeepsItsWindowAsWideAsTheColumn)
{
    SplitWindow shown(*this);
    shown.split->showDisplayItem(boardWithCards("A", {2, 2, 2}));
    settle();
    MacKanbanColumnsViewController* pane = shown.pane;
    pane->setStoredMagnification(0.5);
    pane->toggleColumnLayout();
    settle();
    for (const qreal zoom : {0.75, 1.0, 0.5}) {
        pane->setStoredMagnification(zoom);
        settle();
        const int column = qRound(300 * zoom);
        EXPECT_EQ(pane->width(), column) << zoom;
        EXPECT_EQ(pane->scrollView()->width(), column) << zoom;
        EXPECT_EQ(shown.window.width(), 250 + column + shown.split->handleWidth()) << zoom;
        const QWidget* corner = pane->findChild<QWidget*>(QStringLiteral("changeLayoutButton"));
        EXPECT_LE(corner->geometry().right(), pane->width()) << zoom;
    }
    // Separate columns keep the window the user gave them.
    pane->toggleColumnLayout();
    settle();
    const int wide = shown.window.width();
    pane->setStoredMagnification(0.75);
    settle();
    EXPECT_EQ(shown.window.width(), wide);
}

TEST_F(BoardViewLayout, FullScreenIsLeftForOneColumnAndNeverResized)
{
    QWidget window;
    makeBoard();
    board->setParent(&window);
    auto* layout = new QHBoxLayout(&window);
    layout->addWidget(board.get());
    window.showFullScreen();
    show(boardWithCards("A", {1, 1}));
    ASSERT_TRUE(window.isFullScreen());

    board->toggleColumnLayout();
    settle();
    EXPECT_FALSE(window.isFullScreen());

    window.showFullScreen();
    settle();
    const QRect full = window.geometry();
    board->toggleColumnLayout();
    settle();
    EXPECT_TRUE(window.isFullScreen());
    EXPECT_EQ(window.geometry(), full);
    board->setParent(nullptr);
}
