#pragma once

#include "Pelorins/board/MacKanbanColumnsViewController.h"
#include "Pelorins/column/ColumnCollectionView.h"
#include "Pelorins/column/KanbanColumnContainerView.h"
#include "Pelorins/column/KanbanColumnScrollview.h"
#include "Pelorins/column/MacKanbanColumnController.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/notes/NoteTextConventions.h"
#include "Platform/core/NotificationCenter.h"
#include "Platform/core/UndoManager.h"
#include "Platform/core/UserDefaults.h"
#include "support/FakeSystemEventMonitor.h"
#include "support/StoreBuilder.h"
#include "support/TestStore.h"

#include <QCoreApplication>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

// A board view over a small store of the test's own, with its own defaults, notices, history,
// system events and clock, animations landing at once. The board is shown at 1440 x 900.
class BoardViewFixture : public ::testing::Test
{
protected:
    BoardViewFixture()
        : defaults(configFolder.filePath("defaults.conf"))
        , build(store.context())
    {
        // The layout of a first launch is settled; tests that need the first one say so.
        defaults.setValue(MacKanbanColumnsViewController::firstSetupCompletedKey, true);
        defaults.setValue(MacKanbanColumnsViewController::viewAsMultiColumnKey, true);
    }

    MacKanbanColumnsViewController::Services services()
    {
        MacKanbanColumnsViewController::Services services;
        services.context = &store.context();
        services.save = [this] { ++saves; };
        services.undoManager = &undoManager;
        services.defaults = &defaults;
        services.notificationCenter = &notices;
        services.systemEvents = &systemEvents;
        services.now = [this] { return now; };
        return services;
    }

    void makeBoard()
    {
        board = std::make_unique<MacKanbanColumnsViewController>(services());
        board->animator().setFinishesAtOnce(true);
        board->resize(1440, 900);
        board->show();
    }

    void show(Kanban* kanban)
    {
        if (!board)
            makeBoard();
        board->setKanban(kanban);
        board->loadKanban();
        settle();
    }

    static void settle()
    {
        for (int turn = 0; turn < 3; ++turn)
            QCoreApplication::processEvents();
    }

    // A board of stages named "S1"... with `cards[i]` cards in stage i, each card's notes
    // "<stage title> card <n>".
    Kanban* boardWithCards(const QString& title, const QList<int>& cards)
    {
        QStringList titles;
        for (int i = 0; i < cards.size(); ++i)
            titles << QStringLiteral("%1 S%2").arg(title).arg(i + 1);
        Kanban* kanban = build.addBoard(title, titles);
        for (int i = 0; i < cards.size(); ++i)
            for (int n = 0; n < cards.at(i); ++n)
                addCard(kanban->column().at(i), QStringLiteral("%1 card %2").arg(titles.at(i)).arg(n + 1));
        return kanban;
    }

    ListItem* addCard(KanbanColumn* column, const QString& notes, const QList<Tag*>& tags = {})
    {
        ListItem* card = build.addCard(column, tags);
        card->setAttributedNotes(AttributedString(notes, normalAttributes()));
        card->setNotesExpanded(false);
        return card;
    }

    MacKanbanColumnController* controller(int section) const { return board->columnControllerFor(section); }

    // The cards a column shows, in its rows' order.
    static QList<ListItem*> shownCards(MacKanbanColumnController* column)
    {
        QList<ListItem*> cards;
        SectionedListView* list = column->collectionView();
        for (int section = 0; section < list->numberOfSections(); ++section)
            for (int item = 0; item < list->numberOfItems(section); ++item)
                if (ListItem* card = column->itemFor({section, item}))
                    cards << card;
        return cards;
    }

    QRect frameOf(MacKanbanColumnController* column) const { return column->containerView()->geometry(); }

    QTemporaryDir configFolder;
    UserDefaults defaults;
    TestStore store;
    StoreBuilder build;
    NotificationCenter notices;
    UndoManager undoManager;
    FakeSystemEventMonitor systemEvents;
    QDateTime now = QDateTime(QDate(2026, 3, 10), QTime(10, 15, 42), Qt::UTC);
    int saves = 0;
    std::unique_ptr<MacKanbanColumnsViewController> board;
};
