#pragma once

#include "Platform/core/objectgraph/ManagedObjectContext.h"
#include "Platform/core/objectgraph/StoreRows.h"

#include <QObject>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class PersistentStoreCoordinator;
struct sqlite3;

// Reads rows of a context's store on a thread of its own, with a read-only connection of its
// own, and hands them back to the context's thread, which makes objects of them in slices short
// enough for its event loop to stay responsive. Jobs are read in the order they come, except
// that whole tables wait behind everything else, unless a barrier waits for one of them.
//
// The thread reads without a lock on anything of the context: rows that the context holds by
// the time they arrive (read some other way, or saved from it) are left alone, and pairs count
// only for objects made from the same batch, so what the context changed in the meantime stays.
class BackgroundLoad : public QObject
{
public:
    using CountDone = std::function<void(const std::vector<CountRow>&)>;

    BackgroundLoad(ManagedObjectContext& context, PersistentStoreCoordinator& coordinator);
    // Stops the thread; what it read that nobody took in is dropped.
    ~BackgroundLoad() override;

    void readAll(const EntityDescription* root);
    void readRelated(RowQuery query);
    void count(CountRequest request, CountDone done);

    bool isReadingAll(const EntityDescription* root) const;
    // The barrier for a table read whole: takes in everything read so far and waits for the
    // rest, reading it here if the thread cannot; true once all of it is in.
    bool finishReadingAll(
        const EntityDescription* root, const ManagedObjectContext::Progress& progress, QString* error);

private:
    struct Job
    {
        enum class Kind { All, Related, Count, ReturnFreed } kind;
        RowQuery query;
        CountRequest count;
        CountDone done;
    };
    struct Result
    {
        Job::Kind kind;
        StoreRows rows;
        RowQuery query;
        CountRequest count;
        std::vector<CountRow> counts;
        CountDone done;
        // For a table read whole: the largest key read, the largest there is, and whether these
        // are its last rows.
        qint64 lastKey = 0;
        qint64 total = 0;
        bool last = false;
        QString error;
    };

    void start();
    void run(std::shared_ptr<sqlite3> connection);
    bool nextJob(Job& job);
    void readAllOf(sqlite3* db, const Job& job);
    void post(Result result);

    // The context's thread.
    void scheduleSlice();
    void slice();
    void takeIn(Result& result);
    // Once all that was read is in and nothing more is to be read, the thread hands the memory
    // the rows took back to the system.
    void returnFreedWhenIdle();

    ManagedObjectContext& m_context;
    PersistentStoreCoordinator& m_coordinator;

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Job> m_jobs;
    std::deque<Result> m_results;
    // Whole tables queued or being read, and the one a barrier waits for.
    QList<const EntityDescription*> m_readingAll;
    const EntityDescription* m_urgent = nullptr;
    bool m_stopping = false;
    bool m_sliceScheduled = false;
    // Results were taken in since the memory was last handed back.
    bool m_tookInSinceReturning = false;
    std::thread m_thread;
    // The context's thread: the largest key taken in of each table read whole.
    QHash<const EntityDescription*, qint64> m_takenUpTo;
};
