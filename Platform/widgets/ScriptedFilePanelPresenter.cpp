#include "Platform/widgets/ScriptedFilePanelPresenter.h"

std::optional<QString> ScriptedFilePanelPresenter::runOpenPanel(const OpenPanel& panel, QWidget*)
{
    m_openPanels.append(panel);
    return m_openAnswers.isEmpty() ? std::nullopt : m_openAnswers.takeFirst();
}

std::optional<QString> ScriptedFilePanelPresenter::runSavePanel(const SavePanel& panel, QWidget*)
{
    m_savePanels.append(panel);
    return m_saveAnswers.isEmpty() ? std::nullopt : m_saveAnswers.takeFirst();
}
