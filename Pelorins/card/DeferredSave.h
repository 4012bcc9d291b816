#pragma once

#include <QObject>
#include <QTimer>
#include <functional>

// Saves at most once per interval while changes keep coming: the first change after a save
// starts the interval, and the save runs when it ends. Saving now cancels the pending one.
class DeferredSave : public QObject
{
    Q_OBJECT

public:
    static constexpr int defaultIntervalMilliseconds = 2000;

    explicit DeferredSave(
        std::function<void()> save, int intervalMilliseconds = defaultIntervalMilliseconds, QObject* parent = nullptr);

    void changed();
    void saveNow();
    void cancel() { m_timer.stop(); }
    bool isPending() const { return m_timer.isActive(); }

private:
    std::function<void()> m_save;
    QTimer m_timer;
};
