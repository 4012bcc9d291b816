#pragma once

#include "PelorinsKit/archive/ArchiveNotesText.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

// Stored notes turned into their dictionary text on worker threads while an export walks the
// graph: the walk hands in each note's stored bytes as it meets them and takes the texts back
// later, in any order. Only the bytes cross threads; the objects they came from are never
// touched here. Every call belongs to the thread that made the pool.
class ArchiveNotesPool
{
public:
    struct Job
    {
        QByteArray stored;
        // Nothing when the stored notes are unreadable, with the reason.
        std::optional<QByteArray> text;
        QString reason;
        QStringList pictureFolders;

    private:
        friend class ArchiveNotesPool;
        enum State { queued, taken, done };
        std::atomic<int> m_state {queued};
    };

    // No more workers than `workers`, started when the first notes are handed in.
    explicit ArchiveNotesPool(int workers);
    ~ArchiveNotesPool();
    ArchiveNotesPool(const ArchiveNotesPool&) = delete;
    ArchiveNotesPool& operator=(const ArchiveNotesPool&) = delete;

    // The job stays valid for the pool's life; release() frees what it holds.
    Job* submit(const QByteArray& stored);
    // Lets the workers take what was handed in since the last time.
    void publish();
    // The finished job, converted on this thread when no worker has taken it yet.
    Job& finished(Job* job);
    void release(Job& job);

private:
    void work();
    static bool claim(Job& job);
    static void convert(Job& job, ArchiveNotesText& converter);

    const int m_workerLimit;
    std::deque<Job> m_jobs;
    std::vector<Job*> m_unpublished;
    ArchiveNotesText m_converter;

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Job*> m_queue;
    int m_idle = 0;
    bool m_stopping = false;
    std::vector<std::thread> m_workers;
};
