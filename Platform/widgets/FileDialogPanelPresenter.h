#pragma once

#include "Platform/widgets/FilePanelPresenter.h"

// File panels shown with Qt's own QFileDialog, which keeps the allowed types as strict as the
// panels of the platform the program came from: a file of another type cannot be chosen, a
// document package (a folder of an allowed type) is chosen rather than opened, and a saved
// name always carries an allowed type.
class FileDialogPanelPresenter : public FilePanelPresenter
{
public:
    std::optional<QString> runOpenPanel(const OpenPanel& panel, QWidget* parent) override;
    std::optional<QString> runSavePanel(const SavePanel& panel, QWidget* parent) override;
};
