#include "PelorinsKit/archive/ArchiveNotesPool.h"

namespace {

// Handing notes over one by one would wake a worker per card.
constexpr size_t batchSize = 32;

} // namespace

ArchiveNotesPool::ArchiveNotesPool(int workers)
    : m_workerLimit(workers)
{
}

ArchiveNotesPool::~ArchiveNotesPool()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    for (std::thread& worker : m_workers)
        worker.join();
}

ArchiveNotesPool::Job* ArchiveNotesPool::submit(const QByteArray& stored)
{
    Job& job = m_jobs.emplace_back();
    job.stored = stored;
    m_unpublished.push_back(&job);
    if (m_unpublished.size() >= batchSize)
        publish();
    return &job;
}

void ArchiveNotesPool::publish()
{
    if (m_unpublished.empty())
        return;
    bool someIdle = false;
    {
        const std::lock_guard lock(m_mutex);
        m_queue.insert(m_queue.end(), m_unpublished.begin(), m_unpublished.end());
        someIdle = m_idle > 0;
    }
    m_unpublished.clear();
    if (int(m_workers.size()) < m_workerLimit)
        m_workers.emplace_back(&ArchiveNotesPool::work, this);
    // Waking a thread is a system call: only one, which wakes the next while work is left.
    if (someIdle)
        m_wake.notify_one();
}

ArchiveNotesPool::Job& ArchiveNotesPool::finished(Job* job)
{
    publish();
    if (claim(*job)) {
        convert(*job, m_converter);
        return *job;
    }
    int state = job->m_state.load(std::memory_order_acquire);
    while (state != Job::done) {
        job->m_state.wait(state, std::memory_order_acquire);
        state = job->m_state.load(std::memory_order_acquire);
    }
    return *job;
}

void ArchiveNotesPool::release(Job& job)
{
    job.stored = QByteArray();
    job.text.reset();
    job.pictureFolders = QStringList();
}

void ArchiveNotesPool::work()
{
    // Each thread keeps its own converter, and with it the attribute sets it has decoded.
    ArchiveNotesText converter;
    for (;;) {
        Job* job = nullptr;
        {
            std::unique_lock lock(m_mutex);
            ++m_idle;
            m_wake.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
            --m_idle;
            // Notes still queued then are no longer wanted.
            if (m_stopping)
                return;
            job = m_queue.front();
            m_queue.pop_front();
            if (!m_queue.empty() && m_idle > 0)
                m_wake.notify_one();
        }
        if (claim(*job))
            convert(*job, converter);
    }
}

bool ArchiveNotesPool::claim(Job& job)
{
    int expected = Job::queued;
    return job.m_state.compare_exchange_strong(expected, Job::taken, std::memory_order_acquire);
}

void ArchiveNotesPool::convert(Job& job, ArchiveNotesText& converter)
{
    job.text = converter.dictionaryText(job.stored, &job.reason, &job.pictureFolders);
    job.m_state.store(Job::done, std::memory_order_release);
    job.m_state.notify_all();
}
