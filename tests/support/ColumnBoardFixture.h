#pragma once

#include "Pelorins/column/ColumnCollectionView.h"
#include "Pelorins/column/ListItemHeaderCellView.h"
#include "Pelorins/column/MacKanbanColumnController.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/notes/AttributedString.h"
#include "support/FakeColumnBoard.h"
#include "support/LocalDays.h"
#include "support/StoreBuilder.h"
#include "support/TestStore.h"

#include <gtest/gtest.h>

// A board of real column controllers over a small store: `makeBoard` builds the board with its
// stages, `show` puts one controller per stage and one for the done column on screen.
class ColumnBoardFixture : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(store.isOpen()) << store.error().toStdString(); }

    Kanban* makeBoard(const QStringList& stages)
    {
        kanban = builder.addBoard(QStringLiteral("Board"), stages);
        board.setKanban(kanban);
        return kanban;
    }

    void show() { board.buildColumns(); }

    KanbanColumn* stage(int index) const { return kanban->column().at(index); }
    MacKanbanColumnController& column(int section) { return board.column(section); }
    MacKanbanColumnController& doneColumn() { return board.column(int(kanban->column().size())); }

    ListItem* addCard(KanbanColumn* column, const QString& notes = QStringLiteral("A card"))
    {
        ListItem* card = builder.addCard(column);
        card->setAttributedNotes(AttributedString(notes));
        return card;
    }

    QList<ListItem*> addCards(KanbanColumn* column, int count)
    {
        QList<ListItem*> cards;
        for (int i = 0; i < count; ++i)
            cards.append(addCard(column, QStringLiteral("Card %1").arg(i)));
        return cards;
    }

    static QDateTime dayStart(int daysAgo)
    {
        return LocalDays::start(-daysAgo);
    }

    ListItemHeaderCellView* header(MacKanbanColumnController& controller, int section)
    {
        return qobject_cast<ListItemHeaderCellView*>(controller.collectionView()->headerWidget(section));
    }

    TestStore store;
    StoreBuilder builder {store.context()};
    Kanban* kanban = nullptr;
    FakeColumnBoard board;
};
