#include "Platform/widgets/IdleTurns.h"

#include <QWidget>
#include <algorithm>

namespace {

// What one pass of the event loop spends on idle work, whatever the number of clients.
constexpr int sliceMilliseconds = 4;

} // namespace

IdleTurns::IdleTurns(QObject* parent)
    : QObject(parent)
{
    m_timer.setInterval(0);
    connect(&m_timer, &QTimer::timeout, this, &IdleTurns::turn);
}

IdleTurns& IdleTurns::of(QWidget* widget)
{
    QWidget* window = widget->window();
    if (auto* turns = window->findChild<IdleTurns*>(QString(), Qt::FindDirectChildrenOnly))
        return *turns;
    return *new IdleTurns(window);
}

void IdleTurns::want(QObject* client, Step step)
{
    if (std::any_of(m_waiting.cbegin(), m_waiting.cend(), [&](const Client& c) { return c.object == client; }))
        return;
    m_waiting.push_back({client, std::move(step)});
    m_timer.start();
}

void IdleTurns::turn()
{
    const QDeadlineTimer deadline(sliceMilliseconds, Qt::PreciseTimer);
    while (!m_waiting.empty() && !deadline.hasExpired()) {
        Client client = std::move(m_waiting.front());
        m_waiting.pop_front();
        if (client.object && client.step(deadline))
            m_waiting.push_back(std::move(client));
    }
    if (m_waiting.empty())
        m_timer.stop();
}
