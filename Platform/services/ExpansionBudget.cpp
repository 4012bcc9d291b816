#include "Platform/services/ExpansionBudget.h"

namespace {

constexpr int stepsBetweenChecks = 256;

} // namespace

ExpansionBudget::ExpansionBudget(qint64 milliseconds)
    : m_milliseconds(milliseconds)
{
    m_timer.start();
}

bool ExpansionBudget::spend()
{
    if (m_spent)
        return false;
    if (--m_untilCheck > 0)
        return true;
    m_untilCheck = stepsBetweenChecks;
    m_spent = m_timer.elapsed() >= m_milliseconds;
    return !m_spent;
}
