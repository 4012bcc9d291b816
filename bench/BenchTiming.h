#pragma once

#include <QElapsedTimer>
#include <QFile>
#include <QList>
#include <QString>
#include <algorithm>
#include <ctime>
#include <sys/resource.h>

// The benchmarks' shared timing helpers.

inline double milliseconds(const QElapsedTimer& timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

// The upper middle of an even count, so that a single slow run never becomes the figure.
inline double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values.at(values.size() / 2);
}

// Processor time of the whole process, every thread counted: unlike the wall clock, it does not
// grow when other programs keep the machine busy.
inline double processMilliseconds()
{
    timespec now {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// Pages the process has faulted in so far: memory taken fresh from the system, a cost the
// machine's load does not move.
inline long pageFaults()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt + usage.ru_majflt;
}

// The machine's load averages as the system gives them, to stand beside a wall-clock figure.
inline QString loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readLine()).trimmed() : QStringLiteral("unknown");
}

// Wall time and processor time since it started.
class BenchClock
{
public:
    BenchClock() { restart(); }
    void restart()
    {
        m_processorStart = processMilliseconds();
        m_wall.start();
    }
    double wall() const { return milliseconds(m_wall); }
    double processor() const { return processMilliseconds() - m_processorStart; }

private:
    QElapsedTimer m_wall;
    double m_processorStart = 0;
};
