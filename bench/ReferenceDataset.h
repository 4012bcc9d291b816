#pragma once

// The reference dataset of the benchmarks: 50,000 cards in all. One large board of 10,000 cards
// (8 stage columns of 250 open cards, 8,000 done cards over 365 day groups) and 200 boards of 200
// cards in 20 folders; every card carries 2 tags and a history, one card in five has a due date.
// Header-only so that any benchmark or test can write it without another library.

#include "PelorinsKit/DoneDate.h"
#include "PelorinsKit/EntityModel.h"
#include "PelorinsKit/Kanban.h"
#include "PelorinsKit/KanbanColumn.h"
#include "PelorinsKit/ListItem.h"
#include "PelorinsKit/ListItemHistory.h"
#include "PelorinsKit/Root.h"
#include "PelorinsKit/Tag.h"
#include "Platform/core/objectgraph/PersistentStoreCoordinator.h"

#include <QDate>
#include <QDateTime>
#include <QString>

class ReferenceDataset
{
public:
    static constexpr int largeBoardStages = 8;
    static constexpr int largeBoardOpenCardsPerStage = 250;
    static constexpr int largeBoardDoneCards = 8000;
    static constexpr int largeBoardDays = 365;
    static constexpr int folders = 20;
    static constexpr int boardsPerFolder = 10;
    static constexpr int smallBoardStages = 4;
    static constexpr int smallBoardOpenCardsPerStage = 40;
    static constexpr int smallBoardDoneCards = 40;
    static constexpr int smallBoardDays = 10;
    static constexpr int tagsPerBoard = 10;
    static constexpr int cardsInAll = largeBoardStages * largeBoardOpenCardsPerStage + largeBoardDoneCards
        + folders * boardsPerFolder * (smallBoardStages * smallBoardOpenCardsPerStage + smallBoardDoneCards);
    static_assert(cardsInAll == 50000);

    // Writes the dataset into a new store at `storePath`; the day groups count back from `today`.
    static bool write(const QString& storePath, const QDate& today, QString* error)
    {
        auto model = EntityModel::currentModel(error);
        if (!model)
            return false;
        auto coordinator = std::make_shared<PersistentStoreCoordinator>(model);
        if (!coordinator->addPersistentStore(storePath, error))
            return false;
        auto context = EntityModel::makeContext(model);
        if (!context->loadPersistentStore(coordinator, error))
            return false;

        ReferenceDataset dataset(*context, today);
        auto* root = context->insertNewObject<Root>(QStringLiteral("Root"));
        dataset.addBoard(root, QStringLiteral("Reference board"), largeBoardStages, largeBoardOpenCardsPerStage,
            largeBoardDoneCards, largeBoardDays);
        for (int f = 0; f < folders; ++f) {
            auto* folder = context->insertNewObject<Folder>(QStringLiteral("Folder"));
            folder->setTitle(QStringLiteral("Folder %1").arg(f + 1));
            folder->setParent(root);
            for (int b = 0; b < boardsPerFolder; ++b)
                dataset.addBoard(folder, QStringLiteral("Board %1.%2").arg(f + 1).arg(b + 1), smallBoardStages,
                    smallBoardOpenCardsPerStage, smallBoardDoneCards, smallBoardDays);
        }
        const bool saved = context->save(error);
        coordinator->removePersistentStore();
        return saved;
    }

private:
    ReferenceDataset(ManagedObjectContext& context, const QDate& today)
        : m_context(context)
        , m_today(today)
    {
    }

    void addBoard(Folder* parent, const QString& title, int stages, int openCardsPerStage, int doneCards, int days)
    {
        auto* board = m_context.insertNewObject<Kanban>(QStringLiteral("Kanban"));
        board->setTitle(title);
        board->setParent(parent);
        QList<Tag*> tags;
        for (int t = 0; t < tagsPerBoard; ++t) {
            auto* tag = m_context.insertNewObject<Tag>(QStringLiteral("Tag"));
            tag->setName(QStringLiteral("tag%1").arg(t + 1));
            tag->setColour(t % 7);
            tag->setKanban(board);
            tags.append(tag);
        }
        for (int s = 0; s < stages; ++s) {
            KanbanColumn* stage = addColumn(QStringLiteral("Stage %1").arg(s + 1));
            stage->setKanban(board);
            for (int c = 0; c < openCardsPerStage; ++c)
                addCard(stage, tags, stage->uniqueIdentifier());
        }
        KanbanColumn* doneColumn = addColumn(QStringLiteral("Done"));
        board->setMainColumn(doneColumn);
        // Newest day first, cards spread evenly over the days.
        QList<DoneDate*> groups;
        for (int d = 0; d < days; ++d) {
            auto* group = m_context.insertNewObject<DoneDate>(QStringLiteral("DoneDate"));
            group->setDoneDate(QDateTime(m_today.addDays(-d), QTime(0, 0)));
            group->setKanban(board);
            groups.append(group);
        }
        for (int c = 0; c < doneCards; ++c) {
            DoneDate* group = groups.at(qsizetype(c) * days / doneCards);
            ListItem* card = addCard(doneColumn, tags, doneColumn->uniqueIdentifier());
            card->setDone(true);
            card->setDoneDate(group->doneDate().addSecs(3600));
            card->setParentDoneGroup(group);
            addHistory(card, ListItemAction::markedDone, QString());
        }
    }

    KanbanColumn* addColumn(const QString& title)
    {
        auto* column = m_context.insertNewObject<KanbanColumn>(QStringLiteral("KanbanColumn"));
        column->setTitle(title);
        return column;
    }

    ListItem* addCard(KanbanColumn* column, const QList<Tag*>& tags, const QString& columnIdentifier)
    {
        const int n = m_cards++;
        auto* card = m_context.insertNewObject<ListItem>(QStringLiteral("ListItem"));
        card->setColumn(column);
        card->setNotesExpanded(true);
        card->setDateAdded(QDateTime(m_today.addDays(-(n % 400)), QTime(9, 0)));
        if (n % 5 == 0)
            card->setDueDate(QDateTime(m_today.addDays(n % 30 - 10), QTime(17, 0)));
        card->setTags({tags.at(n % tags.size()), tags.at((n + 3) % tags.size())});
        addHistory(card, ListItemAction::created, QString());
        addHistory(card, ListItemAction::moved, columnIdentifier);
        return card;
    }

    void addHistory(ListItem* card, ListItemAction action, const QString& columnIdentifier)
    {
        ListItemHistory* entry = ListItemHistory::create(action, &m_context);
        entry->setKanbanColumnUniqueIdentifier(columnIdentifier);
        entry->setListItem(card);
    }

    ManagedObjectContext& m_context;
    QDate m_today;
    int m_cards = 0;
};
