#pragma once

#include "Platform/widgets/AlertPresenter.h"

// Alerts shown with QMessageBox. An alert without buttons gets a single "OK", as on the
// platform the program came from, so it can always be dismissed.
class MessageBoxAlertPresenter : public AlertPresenter
{
public:
    int runModal(const Alert& alert, QWidget* parent) override;
};
