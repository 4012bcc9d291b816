#pragma once

#include "PelorinsKit/archive/NodePlan.h"

#include <QHash>

#include <algorithm>
#include <bit>

// Nodes by their URIs: open addressing over node indexes, a node's URI being its key. It holds no
// view of the texts, which may move while they grow.
class NodePlan::NodesByURI
{
public:
    void reserve(size_t count) { grow(std::bit_ceil(std::max<size_t>(count * 2, 16))); }

    // The node held for the URI of `node`, or `node`, now held, when there is none.
    qsizetype findOrInsert(const NodePlan& plan, qsizetype node)
    {
        const QByteArrayView uri = plan.utf8(plan.node(node).uri);
        const size_t hash = qHash(uri, QHashSeed::globalSeed());
        if ((m_count + 1) * 2 > m_slots.size())
            grow(std::max<size_t>(m_slots.size() * 2, 16));
        const size_t mask = m_slots.size() - 1;
        for (size_t at = hash & mask;; at = (at + 1) & mask) {
            Slot& slot = m_slots[at];
            if (slot.node < 0) {
                slot = Slot {hash, node};
                ++m_count;
                return node;
            }
            if (slot.hash == hash && plan.utf8(plan.node(slot.node).uri) == uri)
                return slot.node;
        }
    }

    // Holds `node` no longer.
    void erase(const NodePlan& plan, qsizetype node)
    {
        const size_t hash = qHash(plan.utf8(plan.node(node).uri), QHashSeed::globalSeed());
        const size_t mask = m_slots.size() - 1;
        size_t at = hash & mask;
        while (m_slots[at].node != node) {
            if (m_slots[at].node < 0)
                return;
            at = (at + 1) & mask;
        }
        // Later slots of the same probe move back into the gap, so no probe meets a hole.
        for (size_t next = (at + 1) & mask; m_slots[next].node >= 0; next = (next + 1) & mask) {
            const size_t home = m_slots[next].hash & mask;
            const bool stays = at <= next ? (at < home && home <= next) : (at < home || home <= next);
            if (!stays) {
                m_slots[at] = m_slots[next];
                at = next;
            }
        }
        m_slots[at] = Slot();
        --m_count;
    }

private:
    struct Slot
    {
        size_t hash = 0;
        qsizetype node = -1;
    };

    void grow(size_t size)
    {
        if (size <= m_slots.size())
            return;
        Array<Slot> grown(size);
        const size_t mask = size - 1;
        for (const Slot& slot : m_slots) {
            if (slot.node < 0)
                continue;
            size_t at = slot.hash & mask;
            while (grown[at].node >= 0)
                at = (at + 1) & mask;
            grown[at] = slot;
        }
        m_slots = std::move(grown);
    }

    Array<Slot> m_slots;
    size_t m_count = 0;
};
