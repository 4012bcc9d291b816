#include "Platform/core/objectgraph/BackgroundLoad.h"

#include "Platform/core/ConsoleLog.h"
#include "Platform/core/FreedMemory.h"
#include "Platform/core/objectgraph/PersistentStoreCoordinator.h"

#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <sqlite3.h>

namespace {

// Rows of a whole table per batch, and objects per batch of the rows pointing at them: a batch
// is taken in at once, so it must cost well under a slice.
constexpr int rowsPerBatch = 512;
constexpr size_t destinationsPerBatch = 256;
// How long one slice of the context's thread may take in batches before its events come again.
constexpr qint64 sliceNanoseconds = 8'000'000;

qint64 largestKey(sqlite3* db, const EntityDescription* root)
{
    sqlite3_stmt* select = nullptr;
    qint64 key = 0;
    const QByteArray name = root->name().toUtf8();
    if (sqlite3_prepare_v2(db, "SELECT seq FROM sqlite_sequence WHERE name=?", -1, &select, nullptr) == SQLITE_OK
        && sqlite3_bind_text(select, 1, name.constData(), int(name.size()), SQLITE_TRANSIENT) == SQLITE_OK
        && sqlite3_step(select) == SQLITE_ROW)
        key = sqlite3_column_int64(select, 0);
    sqlite3_finalize(select);
    return key;
}

} // namespace

BackgroundLoad::BackgroundLoad(ManagedObjectContext& context, PersistentStoreCoordinator& coordinator)
    : m_context(context)
    , m_coordinator(coordinator)
{
}

BackgroundLoad::~BackgroundLoad()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void BackgroundLoad::readAll(const EntityDescription* root)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_readingAll.contains(root))
            return;
        m_readingAll.append(root);
        RowQuery query;
        query.entity = root;
        query.limit = rowsPerBatch;
        m_jobs.push_back(Job {Job::Kind::All, std::move(query), {}, {}});
    }
    start();
}

void BackgroundLoad::readRelated(RowQuery query)
{
    {
        std::lock_guard lock(m_mutex);
        for (const RowQuery::Link& link : query.pointingAt) {
            for (size_t from = 0; from < link.destinations.size(); from += destinationsPerBatch) {
                RowQuery part;
                part.entity = query.entity;
                const auto begin = link.destinations.cbegin() + qsizetype(from);
                part.pointingAt.push_back({link.relationship,
                    std::vector<qint64>(begin, begin + qsizetype(std::min(destinationsPerBatch, link.destinations.size() - from)))});
                m_jobs.push_back(Job {Job::Kind::Related, std::move(part), {}, {}});
            }
        }
    }
    start();
}

void BackgroundLoad::count(CountRequest request, CountDone done)
{
    {
        std::lock_guard lock(m_mutex);
        m_jobs.push_back(Job {Job::Kind::Count, {}, std::move(request), std::move(done)});
    }
    start();
}

bool BackgroundLoad::isReadingAll(const EntityDescription* root) const
{
    std::lock_guard lock(m_mutex);
    return m_readingAll.contains(root);
}

void BackgroundLoad::start()
{
    if (m_thread.joinable()) {
        m_changed.notify_all();
        return;
    }
    QString error;
    std::shared_ptr<sqlite3> connection = m_coordinator.openReadConnection(&error);
    if (!connection) {
        // Nothing is read ahead then: every row is read when it is needed.
        ConsoleLog::write(QStringLiteral("cannot read the store in the background: ") + error);
        std::lock_guard lock(m_mutex);
        m_readingAll.clear();
        m_jobs.clear();
        return;
    }
    m_thread = std::thread([this, connection] { run(connection); });
}

void BackgroundLoad::run(std::shared_ptr<sqlite3> connection)
{
    Job job;
    while (nextJob(job)) {
        Result result;
        result.kind = job.kind;
        switch (job.kind) {
        case Job::Kind::All:
            readAllOf(connection.get(), job);
            continue;
        case Job::Kind::ReturnFreed:
            FreedMemory::returnFreed();
            continue;
        case Job::Kind::Related:
            result.query = job.query;
            if (!m_coordinator.readRows(connection.get(), job.query, result.rows, &result.error))
                result.rows = {};
            break;
        case Job::Kind::Count:
            result.done = std::move(job.done);
            result.count = job.count;
            if (!m_coordinator.countRows(connection.get(), job.count, result.counts, &result.error))
                result.counts.clear();
            break;
        }
        post(std::move(result));
    }
}

bool BackgroundLoad::nextJob(Job& job)
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
    if (m_stopping)
        return false;
    // A whole table a barrier waits for, else the first other job, else the first table.
    auto next = std::find_if(m_jobs.begin(), m_jobs.end(),
        [this](const Job& j) { return j.kind == Job::Kind::All && j.query.entity == m_urgent; });
    if (next == m_jobs.end())
        next = std::find_if(m_jobs.begin(), m_jobs.end(), [](const Job& j) { return j.kind != Job::Kind::All; });
    if (next == m_jobs.end())
        next = m_jobs.begin();
    // A whole table stays queued until its last rows are read, one batch per turn.
    job = *next;
    if (next->kind != Job::Kind::All)
        m_jobs.erase(next);
    return true;
}

void BackgroundLoad::readAllOf(sqlite3* db, const Job& job)
{
    Result result;
    result.kind = Job::Kind::All;
    result.query = job.query;
    result.total = largestKey(db, job.query.entity);
    const bool read = m_coordinator.readRows(db, job.query, result.rows, &result.error);
    result.lastKey = result.rows.rows.empty() ? job.query.afterKey : result.rows.rows.back().primaryKey;
    result.last = !read || int(result.rows.rows.size()) < job.query.limit;
    {
        std::lock_guard lock(m_mutex);
        const auto queued = std::find_if(m_jobs.begin(), m_jobs.end(),
            [&](const Job& j) { return j.kind == Job::Kind::All && j.query.entity == job.query.entity; });
        if (queued != m_jobs.end()) {
            if (result.last)
                m_jobs.erase(queued);
            else
                queued->query.afterKey = result.lastKey;
        }
        if (result.last)
            m_readingAll.removeOne(job.query.entity);
    }
    post(std::move(result));
}

void BackgroundLoad::post(Result result)
{
    bool wake = false;
    {
        std::lock_guard lock(m_mutex);
        m_results.push_back(std::move(result));
        wake = !std::exchange(m_sliceScheduled, true);
    }
    m_changed.notify_all();
    if (wake)
        QMetaObject::invokeMethod(this, [this] { slice(); }, Qt::QueuedConnection);
}

void BackgroundLoad::scheduleSlice()
{
    {
        std::lock_guard lock(m_mutex);
        if (m_results.empty() || std::exchange(m_sliceScheduled, true))
            return;
    }
    QTimer::singleShot(0, this, [this] { slice(); });
}

void BackgroundLoad::slice()
{
    {
        std::lock_guard lock(m_mutex);
        m_sliceScheduled = false;
    }
    QElapsedTimer timer;
    timer.start();
    while (timer.nsecsElapsed() < sliceNanoseconds) {
        Result result;
        {
            std::lock_guard lock(m_mutex);
            if (m_results.empty())
                break;
            result = std::move(m_results.front());
            m_results.pop_front();
            m_tookInSinceReturning = true;
        }
        takeIn(result);
    }
    returnFreedWhenIdle();
    scheduleSlice();
}

void BackgroundLoad::returnFreedWhenIdle()
{
    {
        std::lock_guard lock(m_mutex);
        if (!m_results.empty() || !m_jobs.empty() || !m_thread.joinable() || !m_tookInSinceReturning)
            return;
        m_tookInSinceReturning = false;
        m_jobs.push_back(Job {Job::Kind::ReturnFreed, {}, {}, {}});
    }
    m_changed.notify_all();
}

void BackgroundLoad::takeIn(Result& result)
{
    if (!result.error.isEmpty())
        ConsoleLog::write(QStringLiteral("cannot read the store in the background: ") + result.error);
    switch (result.kind) {
    case Job::Kind::All:
        m_context.takeIn(result.rows, RowQuery {});
        m_takenUpTo.insert(result.query.entity, result.lastKey);
        if (result.last && result.error.isEmpty())
            m_context.finishTable(result.query.entity);
        break;
    case Job::Kind::Related:
        // What could not be read stays pending, to be read when it is used.
        if (result.error.isEmpty())
            m_context.takeIn(result.rows, result.query);
        break;
    case Job::Kind::Count:
        if (result.done) {
            m_context.resolveCounted(result.count, result.counts);
            result.done(result.counts);
        }
        break;
    }
}

bool BackgroundLoad::finishReadingAll(
    const EntityDescription* root, const ManagedObjectContext::Progress& progress, QString* error)
{
    {
        std::lock_guard lock(m_mutex);
        m_urgent = root;
    }
    m_changed.notify_all();
    while (m_context.isUnread(root)) {
        std::deque<Result> results;
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [&] { return !m_results.empty() || !m_readingAll.contains(root); });
            results.swap(m_results);
        }
        if (results.empty())
            break;
        if (!results.empty()) {
            std::lock_guard lock(m_mutex);
            m_tookInSinceReturning = true;
        }
        for (Result& result : results) {
            takeIn(result);
            if (result.kind == Job::Kind::All && result.query.entity == root && progress)
                progress(result.lastKey, result.total);
        }
    }
    {
        std::lock_guard lock(m_mutex);
        m_urgent = nullptr;
    }
    // The thread gave up on the table, or never started: the rest is read here.
    if (m_context.isUnread(root))
        return m_context.readRemainingRows(root, m_takenUpTo.value(root), progress, error);
    returnFreedWhenIdle();
    return true;
}
