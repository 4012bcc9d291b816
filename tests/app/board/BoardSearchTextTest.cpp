#include "Pelorins/board/BoardSearchText.h"
#include "PelorinsKit/model/DoneDate.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/model/ListItem.h"
#include "support/StoreBuilder.h"
#include "support/TestStore.h"

#include <QTest>
#include <gtest/gtest.h>

TEST(BoardSearchText, ReadsEveryCardsTextOnAnotherThreadAndKeepsOnlyWhatIsStillCurrent)
{
    TestStore store;
    ASSERT_TRUE(store.isOpen()) << store.error().toStdString();
    StoreBuilder build(store.context());
    Kanban* board = build.addBoard(QStringLiteral("Board"), {QStringLiteral("To Do"), QStringLiteral("Doing")});
    QList<ListItem*> cards;
    for (KanbanColumn* column : board->column())
        for (int i = 0; i < 50; ++i) {
            cards << build.addCard(column);
            cards.last()->setAttributedNotes(AttributedString(QStringLiteral("%1 %2").arg(column->title()).arg(i)));
        }
    ListItem* done = build.addDoneCard(board, build.addDoneGroup(board, QDateTime(QDate(2026, 1, 5), QTime())));
    done->setAttributedNotes(AttributedString(QStringLiteral("done")));
    cards << done;
    Kanban* other = build.addBoard(QStringLiteral("Other"));
    ListItem* elsewhere = build.addCard(other->column().first());
    elsewhere->setAttributedNotes(AttributedString(QStringLiteral("elsewhere")));

    BoardSearchText text;
    text.prepare(board);
    // Typed while the thread reads: the card's new notes are what a search must see.
    cards.first()->setAttributedNotes(AttributedString(QStringLiteral("typed meanwhile")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !text.isPreparing(); }, 20000));
    QCoreApplication::processEvents();
    for (const ListItem* card : cards.mid(1))
        EXPECT_TRUE(card->hasPlainNotesText());
    EXPECT_FALSE(cards.first()->hasPlainNotesText());
    EXPECT_EQ(cards.first()->plainNotesText().toString(), QStringLiteral("typed meanwhile"));
    EXPECT_EQ(cards.at(50)->plainNotesText().toString(), QStringLiteral("Doing 0"));
    EXPECT_FALSE(elsewhere->hasPlainNotesText());

    // A reading dropped before it ends leaves nothing behind.
    for (ListItem* card : cards)
        card->releaseDecodedNotes();
    text.prepare(board);
    text.cancel();
    QCoreApplication::processEvents();
    EXPECT_FALSE(cards.at(1)->hasPlainNotesText());
}
