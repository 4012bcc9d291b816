// Writes the benchmarks' reference dataset as the program's own store, so that the program can be
// tried at scale: `reference-store <data folder>`, then `XDG_DATA_HOME=<data folder> make run`.

#include "ReferenceDataset.h"

#include "PelorinsKit/model/ImageAttachment.h"
#include "PelorinsKit/model/PictureFolders.h"
#include "PelorinsKit/store/CoreDataManager.h"
#include "PelorinsKit/store/ImageWriting.h"
#include "Platform/core/DataFolders.h"

#include "LoadedStore.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cstdio>

namespace {

// A picture that says which card it belongs to.
QImage pictureFor(const QString& folder)
{
    QImage image(320, 180, QImage::Format_RGB32);
    image.fill(QColor(84, 143, 204));
    QPainter painter(&image);
    painter.setPen(Qt::white);
    painter.drawText(image.rect(), Qt::AlignCenter, folder.left(8));
    return image;
}

int writePictures(const QString& storePath, const QString& picturesFolder)
{
    LoadedStore store = load(storePath);
    int written = 0;
    for (ImageAttachment* record :
        store.context->fetchAs<ImageAttachment>(FetchRequest(QStringLiteral("ImageAttachment")))) {
        const std::optional<QString> folder = PictureFolders::pictureFolderPath(picturesFolder, record->folderUUID());
        if (!folder || !QDir().mkpath(*folder))
            continue;
        writePNG(
            pictureFor(record->folderUUID()), QDir(*folder).filePath(QLatin1String(ReferenceDataset::pictureFileName)));
        ++written;
    }
    return written;
}

} // namespace

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
    const int pictures
        = writePictures(storePath, folder.filePath(QLatin1String(PictureFolders::attachmentPicturesFolderName)));
    std::printf(
        "wrote %d cards and %d pictures to %s\n", ReferenceDataset::cardsInAll, pictures, qPrintable(folder.path()));
    return 0;
}
