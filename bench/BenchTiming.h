#pragma once

#include <QElapsedTimer>
#include <QList>
#include <algorithm>

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
