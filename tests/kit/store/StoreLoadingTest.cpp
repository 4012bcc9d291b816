#include "PelorinsKit/store/StoreLoading.h"
#include "PelorinsKit/model/DoneDate.h"
#include "PelorinsKit/model/ImageAttachment.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/model/ListItemHistory.h"
#include "PelorinsKit/model/Tag.h"
#include "support/GraphDump.h"
#include "support/QStringPrinting.h"
#include "support/StoreBuilder.h"
#include "support/TestStore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <gtest/gtest.h>

namespace {

const QDateTime soon = QDateTime(QDate(2030, 1, 2), QTime(17, 0), Qt::UTC);
const QDateTime later = QDateTime(QDate(2030, 5, 6), QTime(17, 0), Qt::UTC);

Kanban* boardTitled(ManagedObjectContext& context, const QString& title)
{
    for (Kanban* board : context.fetchAs<Kanban>(FetchRequest(QStringLiteral("Kanban"))))
        if (board->title() == title)
            return board;
    return nullptr;
}

void waitFor(const std::function<bool()>& done)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    ASSERT_TRUE(done());
}

// Boards of cards with notes naming their tags, due dates, a done day, history, a picture
// record shared across two boards and a tag carried over from another board; saved, then opened
// as the program opens its store.
class StoreLoadingTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(store.isOpen()) << store.error().toStdString();
        ManagedObjectContext& context = store.context();
        StoreBuilder build(context);
        ImageAttachment* shared = ImageAttachment::create(QStringLiteral("0A1B2C3D-0000-4000-8000-000000000001"), &context);
        Tag* wandering = nullptr;
        for (const QString& title : {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")}) {
            Kanban* board = build.addBoard(title, {QStringLiteral("To Do"), QStringLiteral("Doing")});
            Tag* tag = build.addTag(board, title.toLower());
            for (KanbanColumn* column : board->column()) {
                for (int i = 0; i < 3; ++i) {
                    ListItem* card = build.addCard(column, wandering ? QList<Tag*> {tag, wandering} : QList<Tag*> {tag});
                    card->setAttributedNotes(AttributedString(QStringLiteral("%1 %2 #%3").arg(column->title()).arg(i).arg(tag->name())));
                    card->addHistory(ListItemHistory::create(ListItemAction::created, &context));
                    card->addHistory(ListItemHistory::create(ListItemAction::moved, &context));
                    if (i == 1)
                        card->setDueDate(title == QLatin1String("B") ? soon : later);
                    if (i == 2)
                        card->setImageAttachments({shared});
                }
            }
            DoneDate* day = build.addDoneGroup(board, QDateTime(QDate(2026, 2, 1), QTime()));
            build.addDoneCard(board, day)->setDueDate(soon.addDays(-100));
            wandering = tag;
        }
        QString error;
        ASSERT_TRUE(context.save(&error)) << error.toStdString();
        whole = GraphDump::dump(context);
        ASSERT_TRUE(store.reopenProgressively()) << store.error().toStdString();
    }

    StoreLoading& loading() { return *store.loading(); }

    TestStore store;
    QStringList whole;
};

} // namespace

TEST_F(StoreLoadingTest, TheShownBoardFirstThenTheRestGiveTheGraphOfAWholeLoad)
{
    Kanban* a = boardTitled(store.context(), QStringLiteral("A"));
    Kanban* b = boardTitled(store.context(), QStringLiteral("B"));
    EXPECT_FALSE(loading().isBoardLoaded(a));
    loading().loadBoard(a);
    EXPECT_TRUE(loading().isBoardLoaded(a));
    EXPECT_FALSE(loading().isBoardLoaded(b));
    EXPECT_FALSE(loading().isWholeStoreLoaded());

    // Once started, the board's history comes on the thread, then the rest of the cards.
    ListItem* card = a->column().first()->item().first();
    EXPECT_TRUE(store.context().isPending(card, QStringLiteral("history")));
    loading().start();
    waitFor([&] { return !store.context().isPending(card, QStringLiteral("history")); });
    waitFor([&] { return loading().isWholeStoreLoaded(); });
    EXPECT_TRUE(loading().loadWholeStore(true));
    EXPECT_EQ(GraphDump::dump(store.context()), whole);
}

TEST_F(StoreLoadingTest, BoardsNotReadAreCountedByOneQuery)
{
    Kanban* a = boardTitled(store.context(), QStringLiteral("A"));
    Kanban* b = boardTitled(store.context(), QStringLiteral("B"));
    loading().loadBoard(a);
    EXPECT_EQ(loading().openCards(b)->count, 0) << "nothing counted yet";
    // Seen as the count comes in: the rest of the cards follow right after.
    std::optional<StoreLoading::OpenCards> openA;
    std::optional<StoreLoading::OpenCards> openB;
    std::optional<StoreLoading::OpenCards> openC;
    QObject::connect(&loading(), &StoreLoading::openCardsCounted, [&] {
        openA = loading().openCards(a);
        openB = loading().openCards(b);
        openC = loading().openCards(boardTitled(store.context(), QStringLiteral("C")));
    });
    loading().start();
    waitFor([&] { return loading().isCounted(); });
    EXPECT_FALSE(openA) << "a board read tells its own counts";
    // Open cards only, of the stages and the done column; the done card's date counts for none.
    ASSERT_TRUE(openB);
    EXPECT_EQ(openB->count, b->numberOfNotDone(false));
    EXPECT_EQ(openB->earliestDueDate, soon);
    ASSERT_TRUE(openC);
    EXPECT_EQ(openC->earliestDueDate, later);
}

TEST_F(StoreLoadingTest, ATagCleanUpOfABoardNotReadKeepsTheTagsItsCardsName)
{
    Kanban* c = boardTitled(store.context(), QStringLiteral("C"));
    ASSERT_FALSE(loading().isBoardLoaded(c));
    c->cleanupTags();
    QStringList names;
    for (const Tag* tag : c->tags())
        names << tag->name();
    EXPECT_EQ(names, QStringList {"c"});
    // A tag's cards live on several boards: reading them reads every card.
    Tag* b = boardTitled(store.context(), QStringLiteral("B"))->tags().first();
    EXPECT_EQ(b->items().size(), 12);
    EXPECT_TRUE(loading().isWholeStoreLoaded());
}

TEST_F(StoreLoadingTest, ACardsHistoryComesWithThatOfItsBoard)
{
    Kanban* b = boardTitled(store.context(), QStringLiteral("B"));
    ListItem* first = b->column().first()->item().first();
    EXPECT_EQ(first->history().size(), 2);
    for (KanbanColumn* column : b->column())
        for (ListItem* card : column->item())
            EXPECT_FALSE(store.context().isPending(card, QStringLiteral("history")));
    Kanban* a = boardTitled(store.context(), QStringLiteral("A"));
    loading().loadBoard(a);
    EXPECT_TRUE(store.context().isPending(a->column().first()->item().first(), QStringLiteral("history")));
}

TEST_F(StoreLoadingTest, WalksWhileTheThreadReadsTheRestSeeEveryCardOnce)
{
    Kanban* a = boardTitled(store.context(), QStringLiteral("A"));
    loading().loadBoard(a);
    // Nothing the thread reads is taken in before the event loop runs: the load is unfinished.
    loading().start();
    ASSERT_FALSE(loading().isWholeStoreLoaded());
    Kanban* c = boardTitled(store.context(), QStringLiteral("C"));
    c->cleanupTags();
    ASSERT_EQ(c->tags().size(), 1);
    EXPECT_EQ(c->tags().first()->name(), QStringLiteral("c"));
    EXPECT_EQ(boardTitled(store.context(), QStringLiteral("B"))->tags().first()->items().size(), 12);
    EXPECT_EQ(c->column().first()->item().first()->history().size(), 2);
    EXPECT_TRUE(loading().loadWholeStore(true));
    EXPECT_EQ(GraphDump::dump(store.context()), whole);
    // What the thread read meanwhile and hands in late is neither doubled nor lost.
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 200)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_EQ(GraphDump::dump(store.context()), whole);
}

TEST_F(StoreLoadingTest, HistoryIsReadOnlyForTheBoardsShownOrWalkedThrough)
{
    Kanban* a = boardTitled(store.context(), QStringLiteral("A"));
    Kanban* b = boardTitled(store.context(), QStringLiteral("B"));
    Kanban* c = boardTitled(store.context(), QStringLiteral("C"));
    const auto historyPending = [&](Kanban* board) {
        QList<bool> pending;
        for (KanbanColumn* column : board->column())
            for (ListItem* card : column->item())
                pending << store.context().isPending(card, QStringLiteral("history"));
        return pending;
    };
    const QList<bool> none(6, false);
    const QList<bool> all(6, true);
    loading().loadBoard(a);
    loading().start();
    waitFor([&] { return loading().isWholeStoreLoaded() && historyPending(a) == none; });
    EXPECT_EQ(historyPending(b), all) << "a board never shown keeps its history unread";
    EXPECT_EQ(historyPending(c), all);
    // A walk through one card's history reads that board's, and only that one's.
    EXPECT_EQ(b->column().last()->item().last()->history().size(), 2);
    EXPECT_EQ(historyPending(b), none);
    EXPECT_EQ(historyPending(c), all);
}
