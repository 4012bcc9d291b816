#pragma once

#include <QElapsedTimer>
#include <QtGlobal>

// How much work one request for events may spend on following repeating events. The clock is
// read every few hundred steps only, so a step may be very cheap.
class ExpansionBudget
{
public:
    explicit ExpansionBudget(qint64 milliseconds);

    // Counts one step of work; false once the time is spent (and from then on).
    bool spend();
    bool isSpent() const { return m_spent; }

private:
    QElapsedTimer m_timer;
    qint64 m_milliseconds;
    int m_untilCheck = 0;
    bool m_spent = false;
};
