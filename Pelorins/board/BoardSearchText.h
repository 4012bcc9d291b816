#pragma once

#include "PelorinsKit/notes/CompactText.h"

#include <QByteArray>
#include <QFutureWatcher>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>
#include <atomic>
#include <memory>
#include <vector>

class Kanban;
class ListItem;

// Reads the plain text of the shown board's cards on another thread, so that the first search
// keystroke costs what the later ones do: a search reads every card's text, and decoding whole
// notes for it would take far longer. The cards keep their text until the board stops showing.
// The texts go into the cards a few milliseconds at a time: the memory they take is new to the
// process, which costs, and the store's background load shares the same thread.
class BoardSearchText : public QObject
{
public:
    explicit BoardSearchText(QObject* parent = nullptr);
    // Waits for the thread.
    ~BoardSearchText() override;

    // Starts reading the cards of `board`, dropping a reading of another board.
    void prepare(Kanban* board);
    // Drops the reading under way; what it read is not kept.
    void cancel();
    // From `prepare` until every text read is in its card. The thread's end alone is not that:
    // its finished signal is queued, and the texts go in after it in slices.
    bool isPreparing() const { return m_cancelled != nullptr; }

private:
    void take();
    void takeSome();
    void clear();

    QFutureWatcher<void> m_watcher;
    // What the thread reads into, until it is done.
    std::shared_ptr<std::vector<CompactText>> m_read;
    QTimer m_taking;
    std::vector<CompactText> m_texts;
    size_t m_taken = 0;
    std::shared_ptr<std::atomic_bool> m_cancelled;
    QList<ListItem*> m_cards;
    std::vector<QByteArray> m_notes;
};
