#pragma once

#include "Platform/widgets/AlertPresenter.h"

#include <QList>

// Answers alerts from a queue that a test fills, and keeps every alert it was asked to show.
// With the queue empty it answers as Escape would (the last button), so an unexpected alert
// never confirms anything.
class ScriptedAlertPresenter : public AlertPresenter
{
public:
    void enqueueAnswer(int buttonIndex) { m_answers.append(buttonIndex); }
    const QList<Alert>& alerts() const { return m_alerts; }
    int pendingAnswers() const { return int(m_answers.size()); }

    int runModal(const Alert& alert, QWidget* parent) override;

private:
    QList<int> m_answers;
    QList<Alert> m_alerts;
};
