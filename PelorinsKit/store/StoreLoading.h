#pragma once

#include "Platform/core/objectgraph/ManagedObjectContext.h"

#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QStringList>
#include <functional>
#include <optional>

class Kanban;
class ListItem;

// How the program's store comes into memory, so that the first board shows at once whatever the
// store holds. Opening reads the sidebar's tree and every board's stages, day groups and tags,
// and the picture records; a board's cards are read when it is shown, its history right after on
// another thread, and once the window is up the rest of the cards on that thread too, made into
// objects here between the events. The open cards of each board are counted by one query on
// that thread, for the sidebar's badges of boards not read yet.
//
// A relationship that lacks members never shows what it has: whatever uses it reads its board
// first (a column's or day group's cards, a card's history), and a fetch of cards, a tag's or a
// picture record's cards or a link by URI wait for all of them. So nothing sees a partial graph,
// and nothing is faulted in one object at a time.
//
// The barrier is loadWholeStore(): every walk beyond the boards shown waits there, showing
// progress when the wait is long. They are:
// - archive export (ImportExportViewController), with the history of the boards it writes;
// - archive import, pasting cards or columns and duplicating a board, whose reader knows every
//   identifier of the store (CoreDataManager::importFrom, JSONReader's fetches);
// - the clean-up of picture records (SharedMethods::cleanUpImageAttachments) and deleting the
//   cards marked to be deleted (AppDelegate, on quitting);
// - card links and clicked reminders (AppDelegate::openCard);
// - cards dropped on a sidebar row by URI, deleting sidebar items and undoing their deletion
//   (KDLeftSidebarViewController);
// - project recovery (ProjectRecoveryViewController);
// - the one-time launch migrations (AppDelegate);
// - a tag's cards (the filter's counts, renaming and merging tags) reach it through the tag.
// The tag clean-up of a board reads that board's cards only, which its board's reading covers.
class StoreLoading : public QObject
{
    Q_OBJECT
public:
    // Read after the rest: cards, and history entries, which are read board by board.
    static const QStringList deferredEntities;

    // The context must have been loaded with `deferredEntities` deferred.
    explicit StoreLoading(ManagedObjectContext& context, QObject* parent = nullptr);
    ~StoreLoading() override;

    // Reads the rest of the cards and counts every board's open cards on a thread of their own,
    // after the history of the boards shown so far. Once only: a second call does nothing.
    void start();

    // Reads the board's cards now (nothing to do when they are in) and its history on the
    // thread, once started.
    void loadBoard(Kanban* board);
    bool isBoardLoaded(const Kanban* board) const;
    // Reads the history of the board's cards now.
    void loadHistory(Kanban* board);

    // What the count found of a board whose cards are not read yet: its open cards (those of its
    // stages, its done column and its day groups) and the earliest due date among them; nothing
    // open before the count came in. None for a board whose cards are read: they tell it.
    struct OpenCards
    {
        int count = 0;
        std::optional<QDateTime> earliestDueDate;
    };
    std::optional<OpenCards> openCards(const Kanban* board) const;
    bool isCounted() const;

    // The barrier: reads every card (and every history entry `withHistory`) that is not in
    // memory, taking what the thread has read and waiting for the rest. False, with a console
    // line, when the store could not be read: a walk then must not act on a partial graph.
    bool loadWholeStore(bool withHistory = false);
    bool isWholeStoreLoaded() const;

    // Hears how far a wait at the barrier got, with done equal to total once it is over.
    using WaitReporter = std::function<void(qint64 done, qint64 total)>;
    void setWaitReporter(WaitReporter reporter) { m_waitReporter = std::move(reporter); }

    // The board whose stage, done column or day group a card is in; null for none.
    static Kanban* boardOf(const ListItem* card);

signals:
    void openCardsCounted();
    void wholeStoreLoaded();

private:
    void loadPending(ManagedObject* object, const RelationshipDescription& relationship);
    void takeCounts(const std::vector<CountRow>& counts);
    QList<ManagedObject*> cardsOf(Kanban* board) const;

    ManagedObjectContext& m_context;
    QHash<const Kanban*, OpenCards> m_openCards;
    bool m_started = false;
    // Boards shown before start(), whose history is read first then.
    QList<Kanban*> m_historyWanted;
    bool m_countRequested = false;
    bool m_counted = false;
    WaitReporter m_waitReporter;
};
