#pragma once

#include "Platform/widgets/FilePanelPresenter.h"

class UserDefaults;

// File panels shown with Qt's own QFileDialog, which keeps the allowed types as strict as the
// panels of the platform the program came from: a file of another type cannot be chosen, a
// document package (a folder of an allowed type) is chosen rather than opened, and a saved
// name always carries an allowed type.
//
// A panel opens in the folder of the file last chosen in it, kept in the user defaults from one
// run to the next; before that in the folder its caller suggests, else in the user's documents
// folder, else in the home folder.
class FileDialogPanelPresenter : public FilePanelPresenter
{
public:
    explicit FileDialogPanelPresenter(UserDefaults& defaults);

    std::optional<QString> runOpenPanel(const OpenPanel& panel, QWidget* parent) override;
    std::optional<QString> runSavePanel(const SavePanel& panel, QWidget* parent) override;

    // The user-defaults key of the panel's last folder.
    static QString folderKey(const QString& identifier);

private:
    QString startFolder(const QString& identifier, const QString& suggested) const;
    void remember(const QString& identifier, const std::optional<QString>& chosen);

    UserDefaults& m_defaults;
};
