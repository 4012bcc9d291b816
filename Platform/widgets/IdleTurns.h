#pragma once

#include <QDeadlineTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <deque>
#include <functional>

class QWidget;

// Work done while the program is idle, taken in turns: every client in one window shares one
// short slice per pass of the event loop. With a timer of its own each, a board's columns would
// each take their slice in the same pass, and the pass would keep input and timers waiting for
// all of them together.
class IdleTurns : public QObject
{
    Q_OBJECT
public:
    // Does work until `deadline`, at least one piece of it, and says whether some is left.
    using Step = std::function<bool(const QDeadlineTimer& deadline)>;

    // The turns of the widget's window, made with its first client.
    static IdleTurns& of(QWidget* widget);

    // `client` takes turns until its step says nothing is left or it goes; asking again while
    // it waits for its turn does nothing.
    void want(QObject* client, Step step);

private:
    explicit IdleTurns(QObject* parent);
    void turn();

    struct Client
    {
        QPointer<QObject> object;
        Step step;
    };
    std::deque<Client> m_waiting;
    QTimer m_timer;
};
