#include "Platform/widgets/FileDialogPanelPresenter.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

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

std::optional<QString> FileDialogPanelPresenter::runOpenPanel(const OpenPanel& panel, QWidget* parent)
{
    PanelDialog dialog(parent, panel.allowedFileTypes);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setCanChooseDirectories(panel.canChooseDirectories);
    if (!panel.message.isEmpty())
        dialog.setWindowTitle(panel.message);
    if (!panel.directory.isEmpty())
        dialog.setDirectory(panel.directory);
    return dialog.run();
}

std::optional<QString> FileDialogPanelPresenter::runSavePanel(const SavePanel& panel, QWidget* parent)
{
    PanelDialog dialog(parent, panel.allowedFileTypes);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    return dialog.run();
}
