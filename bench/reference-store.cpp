// Writes the benchmarks' reference dataset as the program's own store, so that the program can be
// tried at scale: `reference-store <data folder>`, then `XDG_DATA_HOME=<data folder> make run`.

#include "ReferenceDataset.h"

#include "PelorinsKit/model/PictureFolders.h"
#include "PelorinsKit/store/CoreDataManager.h"
#include "Platform/core/DataFolders.h"

#include "LoadedStore.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <cstdio>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    const QStringList arguments = QGuiApplication::arguments();
    if (arguments.size() != 2) {
        std::fprintf(stderr,
            "usage: reference-store <data folder>\n"
            "Writes the reference dataset under <data folder>/%s, for\n"
            "XDG_DATA_HOME=<data folder> make run\n",
            DataFolders::folderName);
        return 2;
    }
    const QDir folder(QDir(arguments.at(1)).filePath(QLatin1String(DataFolders::folderName)));
    const QString storePath = folder.filePath(QLatin1String(CoreDataManager::storeFileName));
    for (const QString& existing : {storePath, storePath + QStringLiteral("-wal")}) {
        if (QFileInfo::exists(existing)) {
            std::fprintf(stderr, "reference-store: %s already exists; nothing was written\n", qPrintable(existing));
            return 1;
        }
    }
    if (!QDir().mkpath(folder.path())) {
        std::fprintf(stderr, "reference-store: cannot make %s\n", qPrintable(folder.path()));
        return 1;
    }

    QString error;
    if (!ReferenceDataset::write(storePath, QDate::currentDate(), &error)) {
        std::fprintf(stderr, "reference-store: cannot write the store: %s\n", qPrintable(error));
        return 1;
    }
    LoadedStore store = load(storePath);
    const int pictures = ReferenceDataset::writePictures(
        *store.context, folder.filePath(QLatin1String(PictureFolders::attachmentPicturesFolderName)));
    std::printf(
        "wrote %d cards and %d pictures to %s\n", ReferenceDataset::cardsInAll, pictures, qPrintable(folder.path()));
    return 0;
}
