#pragma once

#include "Platform/widgets/FilePanelPresenter.h"

#include <QList>

// Answers file panels from queues that a test fills (a path, or no value for Cancel) and keeps
// every panel it was asked to show. With its queue empty a panel answers Cancel.
class ScriptedFilePanelPresenter : public FilePanelPresenter
{
public:
    void enqueueOpenAnswer(std::optional<QString> path) { m_openAnswers.append(std::move(path)); }
    void enqueueSaveAnswer(std::optional<QString> path) { m_saveAnswers.append(std::move(path)); }
    const QList<OpenPanel>& openPanels() const { return m_openPanels; }
    const QList<SavePanel>& savePanels() const { return m_savePanels; }

    std::optional<QString> runOpenPanel(const OpenPanel& panel, QWidget* parent) override;
    std::optional<QString> runSavePanel(const SavePanel& panel, QWidget* parent) override;

private:
    QList<std::optional<QString>> m_openAnswers;
    QList<std::optional<QString>> m_saveAnswers;
    QList<OpenPanel> m_openPanels;
    QList<SavePanel> m_savePanels;
};
