#include "Pelorins/card/ListItemCellView.h"
#include "Pelorins/card/NotesTextView.h"
#include "Pelorins/column/KanbanColumnListItem.h"
#include "Platform/core/objectgraph/ManagedObjectContext.h"
#include "Platform/widgets/SectionedListViewDataSource.h"
#include "support/ColumnBoardFixture.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <cmath>
#include <limits>

namespace {

using ColumnSizes = ColumnBoardFixture;

TEST_F(ColumnSizes, AddCellSpacerAndMissingCardAtFullSizeAndHalf)
{
    makeBoard({QStringLiteral("To Do")});
    ListItem* card = addCard(stage(0), QStringLiteral("Title\nBody"));
    show();
    for (const qreal zoom : {1.0, 0.5}) {
        board.setStoredMagnification(zoom);
        for (MacKanbanColumnController* controller : board.columnControllers())
            controller->scrollView()->setMagnification(zoom);
        const SectionedListViewDataSource& stageRows = column(0).dataSource();
        const SectionedListViewDataSource& doneRows = doneColumn().dataSource();
        const int width = int(300 * zoom);
        EXPECT_EQ(stageRows.sizeForItem({0, 1}, width), QSize(width, int(60 * zoom))) << "add cell at " << zoom;
        EXPECT_EQ(doneRows.sizeForItem({0, 0}, width), QSize(width, int(40 * zoom))) << "spacer at " << zoom;
        EXPECT_EQ(stageRows.sizeForItem({0, 7}, width), QSize(0, int(200 * zoom))) << "no card at " << zoom;
        EXPECT_EQ(stageRows.sizeForItem({0, 0}, width), QSize(0, qRound(column(0).heightForItem(card))))
            << "card at " << zoom;
        EXPECT_EQ(column(0).collectionView()->itemFrame({0, 1}).height(), int(60 * zoom)) << "as the list shows it";
        EXPECT_EQ(column(0).collectionView()->topContentInset(), 76) << "the header bands keep their place";
    }
}

TEST_F(ColumnSizes, BrokenHeightsAndUnreadableNotesTakeTheFixedHeight)
{
    makeBoard({QStringLiteral("To Do")});
    ListItem* nan = addCard(stage(0));
    ListItem* negative = addCard(stage(0));
    ListItem* unreadable = builder.addCard(stage(0));
    unreadable->setAttributedNotesData(QByteArrayLiteral("\x01\x02 not notes at all"));
    board.setItemHeightCache({{nan, std::numeric_limits<qreal>::quiet_NaN()}, {negative, -40.0}});
    show();
    const SectionedListViewDataSource& rows = column(0).dataSource();
    for (int item = 0; item < 3; ++item)
        EXPECT_EQ(rows.sizeForItem({0, item}, 300).height(), 108) << item;
    auto* shown = qobject_cast<KanbanColumnListItem*>(column(0).collectionView()->itemWidget({0, 2}));
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->view()->noteTextView()->string(), QString()) << "unreadable notes show empty";
}

TEST_F(ColumnSizes, CardsAreEstimatedFromTheCacheOrOneLineUntilMeasured)
{
    makeBoard({QStringLiteral("To Do")});
    ListItem* cached = addCard(stage(0));
    addCard(stage(0));
    board.setItemHeightCache({{cached, 150.0}});
    show();
    const SectionedListViewDataSource& rows = column(0).dataSource();
    EXPECT_EQ(rows.estimatedSizeForItem({0, 0}, 300), QSize(0, 150));
    const std::optional<QSize> estimate = rows.estimatedSizeForItem({0, 1}, 300);
    ASSERT_TRUE(estimate);
    EXPECT_GT(estimate->height(), 78);
    EXPECT_LT(estimate->height(), 78 + 40);
    EXPECT_EQ(rows.estimatedSizeForItem({0, 2}, 300), std::nullopt) << "the add cell is measured at once";
}

TEST_F(ColumnSizes, TenThousandCardsMeasureOnlyWhatShows)
{
    makeBoard({QStringLiteral("To Do")});
    // All cards share one stored text and go into the stage at once: appending them one by one
    // would take the store quadratic time.
    ListItem* first = store.context().insertNewObject<ListItem>(QStringLiteral("ListItem"));
    first->setAttributedNotes(AttributedString(QStringLiteral("A card\nBody")));
    QList<ListItem*> cards {first};
    for (int i = 1; i < 10000; ++i) {
        cards.append(store.context().insertNewObject<ListItem>(QStringLiteral("ListItem")));
        cards.last()->setAttributedNotesData(first->attributedNotesData());
    }
    stage(0)->setItem(cards);
    show();
    // A 900-high column shows about ten cards of a hundred; the band prepared around it a few more.
    EXPECT_LE(board.measuredCards, 20);
    EXPECT_GT(board.measuredCards, 0);

    const int before = board.measuredCards;
    column(0).collectionView()->setContentOffset(500000);
    EXPECT_LE(board.measuredCards - before, 20);

    // Idle slices measure the rest without moving what is on screen.
    const IndexPath top = column(0).collectionView()->indexPathsForVisibleItems().first();
    const int shownAt = column(0).collectionView()->itemFrame(top).top() - column(0).collectionView()->contentOffset();
    QElapsedTimer clock;
    clock.start();
    while (board.measuredCards < before + 500 && clock.elapsed() < 10000) {
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
    EXPECT_GE(board.measuredCards, before + 500);
    EXPECT_EQ(column(0).collectionView()->itemFrame(top).top() - column(0).collectionView()->contentOffset(), shownAt);
}

TEST_F(ColumnSizes, AChangedHeightIsMeasuredAgain)
{
    makeBoard({QStringLiteral("To Do")});
    ListItem* card = addCard(stage(0), QStringLiteral("Title\nBody"));
    show();
    const int before = column(0).collectionView()->itemFrame({0, 0}).height();
    ASSERT_TRUE(board.cachedItemHeight(card));
    card->setNotesExpanded(true);
    card->setAttributedNotes(AttributedString(QStringLiteral("Title\nA body\nof\nmany\nlines")));
    column(0).itemHeightChanged(card, false);
    EXPECT_GT(column(0).collectionView()->itemFrame({0, 0}).height(), before);
    EXPECT_EQ(column(0).collectionView()->itemFrame({0, 1}).top(),
        column(0).collectionView()->itemFrame({0, 0}).bottom() + 1);
}

} // namespace
