#include "Platform/widgets/ScriptedAlertPresenter.h"

int ScriptedAlertPresenter::runModal(const Alert& alert, QWidget*)
{
    m_alerts.append(alert);
    if (!m_answers.isEmpty())
        return m_answers.takeFirst();
    return std::max(0, int(alert.buttonTitles.size()) - 1);
}
