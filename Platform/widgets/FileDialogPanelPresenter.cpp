#include "Platform/widgets/FileDialogPanelPresenter.h"

#include "Platform/core/UserDefaults.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QStandardPaths>

namespace {

// QFileDialog decides in accept() what the Open or Save button does with the current choice.
class PanelDialog : public QFileDialog
{
public:
    PanelDialog(QWidget* parent, const QStringList& allowedFileTypes)
        : QFileDialog(parent)
        , m_allowedFileTypes(allowedFileTypes)
    {
        setOption(QFileDialog::DontUseNativeDialog);
        setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
        if (!allowedFileTypes.isEmpty()) {
            QStringList patterns;
            for (const QString& type : allowedFileTypes)
                patterns.append(QStringLiteral("*.") + type);
            setNameFilter(patterns.join(QLatin1Char(' ')));
        }
    }

    void setCanChooseDirectories(bool can) { m_canChooseDirectories = can; }

    std::optional<QString> run()
    {
        if (exec() != QDialog::Accepted || m_choice.isEmpty())
            return std::nullopt;
        return m_choice;
    }

    void accept() override
    {
        const QStringList files = selectedFiles();
        if (files.size() != 1) {
            QFileDialog::accept();
            return;
        }
        if (acceptMode() == QFileDialog::AcceptOpen)
            acceptOpening(files.first());
        else
            acceptSaving(files.first());
    }

private:
    void acceptOpening(const QString& path)
    {
        const QFileInfo info(path);
        const bool allowed = FilePanelPresenter::hasAllowedType(path, m_allowedFileTypes);
        if (info.isDir()) {
            if (m_canChooseDirectories && allowed)
                choose(info.absoluteFilePath());
            else
                QFileDialog::accept(); // looks inside the folder
            return;
        }
        if (info.exists() && !allowed)
            return;
        QFileDialog::accept(); // reports a name that does not exist
        if (result() == QDialog::Accepted)
            m_choice = info.absoluteFilePath();
    }

    void acceptSaving(const QString& typed)
    {
        const QFileInfo typedInfo(typed);
        if (typedInfo.isDir() && !FilePanelPresenter::hasAllowedType(typed, m_allowedFileTypes)) {
            QFileDialog::accept(); // looks inside the folder
            return;
        }
        const QFileInfo info(FilePanelPresenter::withAllowedType(typed, m_allowedFileTypes));
        if (info.exists()) {
            const auto answer = QMessageBox::warning(this, windowTitle(),
                QFileDialog::tr("%1 already exists.\nDo you want to replace it?").arg(info.fileName()),
                QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
            if (answer != QMessageBox::Yes)
                return;
        }
        choose(info.absoluteFilePath());
    }

    void choose(const QString& path)
    {
        m_choice = path;
        QDialog::accept();
    }

    QStringList m_allowedFileTypes;
    bool m_canChooseDirectories = false;
    QString m_choice;
};

} // namespace

FileDialogPanelPresenter::FileDialogPanelPresenter(UserDefaults& defaults)
    : m_defaults(defaults)
{
}

std::optional<QString> FileDialogPanelPresenter::runOpenPanel(const OpenPanel& panel, QWidget* parent)
{
    PanelDialog dialog(parent, panel.allowedFileTypes);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setCanChooseDirectories(panel.canChooseDirectories);
    if (!panel.message.isEmpty())
        dialog.setWindowTitle(panel.message);
    dialog.setDirectory(startFolder(panel.identifier, panel.directory));
    const std::optional<QString> chosen = dialog.run();
    remember(panel.identifier, chosen);
    return chosen;
}

std::optional<QString> FileDialogPanelPresenter::runSavePanel(const SavePanel& panel, QWidget* parent)
{
    PanelDialog dialog(parent, panel.allowedFileTypes);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDirectory(startFolder(panel.identifier, QString()));
    const std::optional<QString> chosen = dialog.run();
    remember(panel.identifier, chosen);
    return chosen;
}

QString FileDialogPanelPresenter::folderKey(const QString& identifier)
{
    return QStringLiteral("filePanelFolder.") + identifier;
}

QString FileDialogPanelPresenter::startFolder(const QString& identifier, const QString& suggested) const
{
    // Without a folder of its own a dialog opens in the program's working folder, which means
    // nothing to the user.
    const QStringList candidates {identifier.isEmpty() ? QString() : m_defaults.stringForKey(folderKey(identifier)),
        suggested, QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)};
    for (const QString& folder : candidates) {
        if (!folder.isEmpty() && QFileInfo(folder).isDir())
            return folder;
    }
    return QDir::homePath();
}

void FileDialogPanelPresenter::remember(const QString& identifier, const std::optional<QString>& chosen)
{
    if (identifier.isEmpty() || !chosen)
        return;
    // A chosen package is a folder too: what is remembered is where it lies.
    m_defaults.setValue(folderKey(identifier), QFileInfo(*chosen).absolutePath());
}
