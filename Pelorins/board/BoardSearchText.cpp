#include "Pelorins/board/BoardSearchText.h"

#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/notes/RichTextCodec.h"

#include <QElapsedTimer>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>

BoardSearchText::BoardSearchText(QObject* parent)
    : QObject(parent)
{
    connect(&m_watcher, &QFutureWatcher<void>::finished, this, &BoardSearchText::take);
    m_taking.setInterval(0);
    connect(&m_taking, &QTimer::timeout, this, &BoardSearchText::takeSome);
}

BoardSearchText::~BoardSearchText()
{
    cancel();
}

void BoardSearchText::prepare(Kanban* board)
{
    cancel();
    if (!board || board->isDeleted())
        return;
    for (ListItem* card : board->allCards()) {
        if (card->hasPlainNotesText())
            continue;
        m_cards << card;
        m_notes.push_back(card->attributedNotesData());
    }
    // The thread reads only its own copies of the stored bytes.
    if (m_cards.isEmpty())
        return;
    auto cancelled = std::make_shared<std::atomic_bool>(false);
    m_cancelled = cancelled;
    // Handed over by moving, not as the future's result, which is copied out.
    auto texts = std::make_shared<std::vector<CompactText>>();
    m_read = texts;
    m_watcher.setFuture(QtConcurrent::run([notes = m_notes, cancelled, texts] {
        texts->reserve(notes.size());
        RichTextCodec::StoredReader reader;
        for (const QByteArray& data : notes) {
            if (*cancelled)
                break;
            texts->push_back(ListItem::plainNotesText(data, reader));
        }
    }));
}

void BoardSearchText::cancel()
{
    if (m_cancelled)
        *m_cancelled = true;
    m_watcher.waitForFinished();
    clear();
}

void BoardSearchText::clear()
{
    m_taking.stop();
    m_cancelled.reset();
    m_cards.clear();
    m_notes.clear();
    m_read.reset();
    m_texts.clear();
    m_taken = 0;
}

void BoardSearchText::take()
{
    if (!m_cancelled || *m_cancelled)
        return;
    m_texts = std::move(*m_read);
    m_read.reset();
    m_taken = 0;
    m_taking.start();
}

void BoardSearchText::takeSome()
{
    // A slice short enough for the events between, long enough to take a big board in well
    // under a second.
    constexpr qint64 sliceNanoseconds = 4'000'000;
    QElapsedTimer timer;
    timer.start();
    const size_t count = std::min(m_texts.size(), size_t(m_cards.size()));
    while (m_taken < count && timer.nsecsElapsed() < sliceNanoseconds) {
        // A card's text changes only if its notes are still those read.
        for (const size_t end = std::min(count, m_taken + 64); m_taken < end; ++m_taken)
            m_cards.at(qsizetype(m_taken))->setPlainNotesText(m_notes[m_taken], m_texts[m_taken]);
    }
    if (m_taken >= count)
        clear();
}
