#include "Pelorins/board/BoardSearchText.h"

#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/notes/RichTextCodec.h"

#include <QtConcurrent/QtConcurrentRun>

BoardSearchText::BoardSearchText(QObject* parent)
    : QObject(parent)
{
    connect(&m_watcher, &QFutureWatcher<std::vector<CompactText>>::finished, this, &BoardSearchText::take);
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
    m_watcher.setFuture(QtConcurrent::run([notes = m_notes, cancelled] {
        std::vector<CompactText> texts;
        texts.reserve(notes.size());
        RichTextCodec::StoredReader reader;
        for (const QByteArray& data : notes) {
            if (*cancelled)
                break;
            texts.push_back(ListItem::plainNotesText(data, reader));
        }
        return texts;
    }));
}

void BoardSearchText::cancel()
{
    if (m_cancelled)
        *m_cancelled = true;
    m_watcher.waitForFinished();
    m_cancelled.reset();
    m_cards.clear();
    m_notes.clear();
}

void BoardSearchText::take()
{
    if (!m_cancelled || *m_cancelled)
        return;
    const std::vector<CompactText> texts = m_watcher.result();
    for (size_t i = 0; i < texts.size() && i < size_t(m_cards.size()); ++i)
        m_cards.at(qsizetype(i))->setPlainNotesText(m_notes[i], texts[i]);
    m_cancelled.reset();
    m_cards.clear();
    m_notes.clear();
}
