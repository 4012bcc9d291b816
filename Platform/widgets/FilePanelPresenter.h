#pragma once

#include <QString>
#include <QStringList>
#include <optional>

class QWidget;

// Lets the user choose a file to open or a place to save, in a modal panel. The program
// reaches file panels only through this interface, so tests can script the choices.
// Paths are absolute local paths; no value means the user cancelled.
class FilePanelPresenter
{
public:
    struct OpenPanel
    {
        // Names the panel: it opens where a file was last chosen in it.
        QString identifier;
        QString message;
        // File name extensions without the dot, matched without regard to case; empty allows
        // every file.
        QStringList allowedFileTypes;
        // Where the panel starts when nothing was chosen in it yet; empty leaves it to the
        // presenter.
        QString directory;
        // Whether a folder can be the choice, as a document package can; a folder of an allowed
        // type is chosen, any other folder is opened to look inside.
        bool canChooseDirectories = false;
    };

    struct SavePanel
    {
        // The first type is the one a chosen name gets when it carries none of them.
        QStringList allowedFileTypes;
        // Names the panel: it opens where a file was last saved from it.
        QString identifier;
    };

    virtual ~FilePanelPresenter() = default;

    virtual std::optional<QString> runOpenPanel(const OpenPanel& panel, QWidget* parent) = 0;
    virtual std::optional<QString> runSavePanel(const SavePanel& panel, QWidget* parent) = 0;

    static bool hasAllowedType(const QString& path, const QStringList& allowedFileTypes);
    // `path`, with ".<first type>" appended unless it already carries one of the types.
    static QString withAllowedType(const QString& path, const QStringList& allowedFileTypes);
};
