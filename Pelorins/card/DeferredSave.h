#pragma once

#include <QObject>
#include <QTimer>
#include <functional>

// Saves once changes pause, and at least every so often while they keep coming: each change
// starts the pause over, and the first change after a save starts the longest wait. Saving now
// cancels the pending save.
class DeferredSave : public QObject
{
    Q_OBJECT

public:
    static constexpr int defaultPauseMilliseconds = 500;
    static constexpr int defaultLongestWaitMilliseconds = 2000;

    explicit DeferredSave(std::function<void()> save, int pauseMilliseconds = defaultPauseMilliseconds,
        int longestWaitMilliseconds = defaultLongestWaitMilliseconds, QObject* parent = nullptr);

    void changed();
    void saveNow();
    void cancel();
    bool isPending() const { return m_pause.isActive(); }
    // The time left until the pending save, as things stand; -1 without one.
    int remainingMilliseconds() const;

private:
    std::function<void()> m_save;
    QTimer m_pause;
    QTimer m_longestWait;
};
