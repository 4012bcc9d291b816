#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <QProgressDialog>
#include <functional>

// Shows a walk's wait for the rest of the store once it is long: a window with a bar that
// follows the reading, closed when the wait is over. A short wait shows nothing.
class StoreWaitProgress
{
public:
    static constexpr qint64 showAfterMilliseconds = 400;
    // Milliseconds on a steady clock.
    using Clock = std::function<qint64()>;

    explicit StoreWaitProgress(Clock clock = {});
    ~StoreWaitProgress();

    // How far the reading got; done equal to total ends the wait.
    void report(qint64 done, qint64 total);
    QProgressDialog* dialog() const { return m_dialog; }

private:
    Clock m_clock;
    QElapsedTimer m_steady;
    qint64 m_started = -1;
    QPointer<QProgressDialog> m_dialog;
};
