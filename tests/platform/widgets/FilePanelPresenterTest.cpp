#include "Platform/core/UserDefaults.h"
#include "Platform/widgets/FileDialogPanelPresenter.h"
#include "Platform/widgets/ScriptedFilePanelPresenter.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

namespace {

const QStringList archiveTypes = {"Pelorins", "Quenfield"};

// A folder with an archive package, a plain archive file, a text file and an ordinary folder.
struct Files
{
    QTemporaryDir dir;
    QString package = dir.filePath("Garden.Pelorins");
    QString plainArchive = dir.filePath("Old.quenfield");
    QString text = dir.filePath("notes.txt");
    QString folder = dir.filePath("Projects");
    UserDefaults defaults {dir.filePath("prefs.conf")};

    Files()
    {
        QDir().mkpath(package);
        QDir().mkpath(folder);
        for (const QString& path : {plainArchive, text}) {
            QFile file(path);
            EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        }
    }
};

// Drives the dialog once it is up: `steps` get the dialog and return whether it must still be
// open afterwards (when it is, the test cancels it).
std::optional<QString> runDialog(
    std::function<std::optional<QString>()> run, std::function<void(QFileDialog*)> steps, bool expectStillOpen = false)
{
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        steps(dialog);
        EXPECT_EQ(dialog->isVisible(), expectStillOpen);
        if (dialog->isVisible())
            dialog->reject();
    });
    return run();
}

void choose(QFileDialog* dialog, const QString& path)
{
    dialog->selectFile(path);
    QMetaObject::invokeMethod(dialog, "accept"); // as the Open or Save button does
}

} // namespace

TEST(FilePanelPresenter, AllowedTypesAreWholeSuffixesInAnyCase)
{
    struct Case
    {
        QString path;
        QStringList types;
        bool allowed;
        QString saved;
    };
    const QList<Case> cases = {
        {"/a/Garden.Pelorins", archiveTypes, true, "/a/Garden.Pelorins"},
        {"/a/Garden.pelorins", archiveTypes, true, "/a/Garden.pelorins"},
        {"/a/Old.Quenfield", archiveTypes, true, "/a/Old.Quenfield"},
        {"/a/Garden", archiveTypes, false, "/a/Garden.Pelorins"},
        {"/a/Garden.", archiveTypes, false, "/a/Garden.Pelorins"},
        {"/a/Garden.Pelorins.bak", archiveTypes, false, "/a/Garden.Pelorins.bak.Pelorins"},
        {"/a/photo.JPG", {"png", "jpeg", "jpg"}, true, "/a/photo.JPG"},
        {"/a/anything.txt", {}, true, "/a/anything.txt"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FilePanelPresenter::hasAllowedType(c.path, c.types), c.allowed) << c.path.toStdString();
        EXPECT_EQ(FilePanelPresenter::withAllowedType(c.path, c.types), c.saved) << c.path.toStdString();
    }
}

TEST(FileDialogPanelPresenter, OpenPanelChoosesPackagesAndAllowedFilesOnly)
{
    Files files;
    FileDialogPanelPresenter panels(files.defaults);
    FilePanelPresenter::OpenPanel import;
    import.message = "Please select a Pelorin file to import";
    import.allowedFileTypes = archiveTypes;
    import.canChooseDirectories = true;
    auto open = [&] { return panels.runOpenPanel(import, nullptr); };

    EXPECT_EQ(runDialog(open, [&](QFileDialog* d) { choose(d, files.package); }), files.package);
    EXPECT_EQ(runDialog(open, [&](QFileDialog* d) { choose(d, files.plainArchive); }), files.plainArchive);
    // Another type cannot be chosen; an ordinary folder is opened, not chosen.
    EXPECT_EQ(runDialog(
                  open, [&](QFileDialog* d) { choose(d, files.text); }, true),
        std::nullopt);
    EXPECT_EQ(runDialog(
                  open,
                  [&](QFileDialog* d) {
                      choose(d, files.folder);
                      EXPECT_EQ(d->directory().absolutePath(), files.folder);
                  },
                  true),
        std::nullopt);
    EXPECT_EQ(runDialog(open, [](QFileDialog* d) { d->reject(); }), std::nullopt);
}

TEST(FileDialogPanelPresenter, OpenPanelForFilesOnlyOpensPackagesLikeFolders)
{
    Files files;
    FileDialogPanelPresenter panels(files.defaults);
    FilePanelPresenter::OpenPanel attach;
    attach.message = "Choose files to attach.";
    attach.directory = files.dir.path();
    auto open = [&] { return panels.runOpenPanel(attach, nullptr); };

    EXPECT_EQ(runDialog(open,
                  [&](QFileDialog* d) {
                      EXPECT_EQ(d->windowTitle(), attach.message);
                      EXPECT_EQ(d->directory().absolutePath(), files.dir.path());
                      choose(d, files.text);
                  }),
        files.text);
    EXPECT_EQ(runDialog(
                  open, [&](QFileDialog* d) { choose(d, files.package); }, true),
        std::nullopt);
}

TEST(FileDialogPanelPresenter, SavePanelGivesTheNameTheAllowedTypeAndAsksBeforeReplacing)
{
    Files files;
    FileDialogPanelPresenter panels(files.defaults);
    FilePanelPresenter::SavePanel save;
    save.allowedFileTypes = {"Pelorins"};
    auto run = [&] { return panels.runSavePanel(save, nullptr); };

    EXPECT_EQ(runDialog(run, [&](QFileDialog* d) { choose(d, files.dir.filePath("Backup")); }),
        files.dir.filePath("Backup.Pelorins"));

    // "Garden" names the existing package once the type is added: replacing it needs a yes.
    for (const auto answer : {QMessageBox::No, QMessageBox::Yes}) {
        const bool replaced = answer == QMessageBox::Yes;
        const auto result = runDialog(
            run,
            [&](QFileDialog* d) {
                QTimer::singleShot(0, [answer] {
                    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                    ASSERT_NE(box, nullptr);
                    box->button(answer)->click();
                });
                choose(d, files.dir.filePath("Garden"));
            },
            !replaced);
        EXPECT_EQ(result, replaced ? std::optional<QString>(files.package) : std::nullopt);
    }
}

// Without a folder of its own a dialog would open in the program's working folder.
TEST(FileDialogPanelPresenter, EachPanelOpensWhereAFileWasLastChosenInIt)
{
    Files files;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString firstFolder = QFileInfo(documents).isDir() ? documents : QDir::homePath();
    FilePanelPresenter::OpenPanel attach;
    attach.identifier = "attachFile";
    FilePanelPresenter::OpenPanel import;
    import.identifier = "import";
    import.allowedFileTypes = archiveTypes;
    import.canChooseDirectories = true;
    const FilePanelPresenter::SavePanel pdf {{"pdf"}, "saveAsPDF"};
    const auto startsIn = [](const QString& folder) {
        return [folder](QFileDialog* d) { EXPECT_EQ(d->directory().absolutePath(), folder); };
    };
    {
        FileDialogPanelPresenter panels(files.defaults);
        const auto open = [&] { return panels.runOpenPanel(attach, nullptr); };
        EXPECT_EQ(runDialog(open,
                      [&](QFileDialog* d) {
                          startsIn(firstFolder)(d);
                          choose(d, files.text);
                      }),
            files.text);
        // A package is a folder: where it lies is remembered, not the package.
        EXPECT_EQ(runDialog([&] { return panels.runOpenPanel(import, nullptr); },
                      [&](QFileDialog* d) {
                          startsIn(firstFolder)(d);
                          choose(d, files.package);
                      }),
            files.package);
        runDialog([&] { return panels.runSavePanel(pdf, nullptr); },
            [&](QFileDialog* d) {
                startsIn(firstFolder)(d);
                choose(d, QDir(files.folder).filePath("board"));
            });
        // Cancelling remembers nothing.
        runDialog(open, [](QFileDialog* d) { d->reject(); });
    }

    // The next run of the program.
    FileDialogPanelPresenter panels(files.defaults);
    runDialog([&] { return panels.runOpenPanel(attach, nullptr); }, startsIn(files.dir.path()), true);
    runDialog([&] { return panels.runOpenPanel(import, nullptr); }, startsIn(files.dir.path()), true);
    runDialog([&] { return panels.runSavePanel(pdf, nullptr); }, startsIn(files.folder), true);
    // A caller's folder counts until something is chosen; a remembered folder that is gone gives
    // way.
    FilePanelPresenter::OpenPanel background;
    background.identifier = "customBackground";
    background.directory = files.folder;
    runDialog([&] { return panels.runOpenPanel(background, nullptr); }, startsIn(files.folder), true);
    ASSERT_TRUE(QDir(files.folder).removeRecursively());
    runDialog([&] { return panels.runSavePanel(pdf, nullptr); }, startsIn(firstFolder), true);
}

TEST(ScriptedFilePanelPresenter, AnswersInQueueOrderRecordsPanelsAndCancelsWhenUnscripted)
{
    ScriptedFilePanelPresenter panels;
    panels.enqueueOpenAnswer(QString("/tmp/Garden.Pelorins"));
    panels.enqueueOpenAnswer(std::nullopt);
    panels.enqueueSaveAnswer(QString("/tmp/Backup.Pelorins"));
    FilePanelPresenter::OpenPanel import;
    import.allowedFileTypes = archiveTypes;

    EXPECT_EQ(panels.runOpenPanel(import, nullptr), QString("/tmp/Garden.Pelorins"));
    EXPECT_EQ(panels.runOpenPanel(import, nullptr), std::nullopt);
    EXPECT_EQ(panels.runOpenPanel(import, nullptr), std::nullopt);
    const FilePanelPresenter::SavePanel backup {{"Pelorins"}, "export"};
    EXPECT_EQ(panels.runSavePanel(backup, nullptr), QString("/tmp/Backup.Pelorins"));
    EXPECT_EQ(panels.runSavePanel(backup, nullptr), std::nullopt);

    ASSERT_EQ(panels.openPanels().size(), 3);
    EXPECT_EQ(panels.openPanels().first().allowedFileTypes, archiveTypes);
    EXPECT_EQ(panels.savePanels().size(), 2);
}
