#include "PelorinsKit/store/SharedMethods.h"

#include "PelorinsKit/model/ImageAttachment.h"
#include "PelorinsKit/model/PictureFolders.h"
#include "PelorinsKit/store/CoreDataManager.h"
#include "PelorinsKit/store/StoreLoading.h"
#include "Platform/core/ConsoleLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

// Copies the regular files under the folder `source` into the folder `target`. Folders are made
// only once a file goes into them, so that a folder holding nothing to copy brings in nothing.
// Anything else, symbolic links above all (nothing outside the package is ever read), is skipped
// with a console line.
bool copyContents(const QString& source, const QString& target, QString* error)
{
    const QFileInfoList entries
        = QDir(source).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo& entry : entries) {
        const QString to = QDir(target).filePath(entry.fileName());
        if (entry.isSymLink() || !(entry.isDir() || entry.isFile())) {
            ConsoleLog::write(
                QStringLiteral("Skipping %1 in the archive's pictures: not a regular file").arg(entry.filePath()));
        } else if (entry.isDir()) {
            if (!copyContents(entry.filePath(), to, error))
                return false;
        } else if (!QDir().mkpath(target) || !QFile::copy(entry.filePath(), to)) {
            *error = QStringLiteral("cannot copy ") + entry.filePath();
            return false;
        }
    }
    return true;
}

// Removes a picture folder. Only a real folder is removed: a link or a file in its place is left
// alone, so nothing outside the picture folder can be reached through it.
bool removePictureFolder(const QString& path, QString* error)
{
    const QFileInfo info(path);
    if (info.isSymLink() || !info.isDir()) {
        *error = QStringLiteral("no folder at ") + path;
        return false;
    }
    if (QDir(path).removeRecursively())
        return true;
    *error = QStringLiteral("could not remove ") + path;
    return false;
}

} // namespace

SharedMethods::SharedMethods(CoreDataManager& coreDataManager)
    : m_coreDataManager(coreDataManager)
{
}

void SharedMethods::copyImageAttachmentsToAttachmentsFolder(const QString& urlOfDocumentToImport)
{
    const QString source
        = QDir(urlOfDocumentToImport).filePath(QLatin1String(PictureFolders::attachmentPicturesFolderName));
    const std::optional<QString> destination = PictureFolders::attachmentPicturesFolderURL();
    if (!destination)
        return;
    const QFileInfo sourceInfo(source);
    if (!sourceInfo.isDir() || sourceInfo.isSymLink()) {
        ConsoleLog::write(QStringLiteral("Error getting the contents of document package"));
        return;
    }
    const QFileInfoList entries
        = QDir(source).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo& entry : entries) {
        const std::optional<QString> target = PictureFolders::pictureFolderPath(*destination, entry.fileName());
        if (!target)
            continue;
        QString error;
        if (entry.isSymLink() || !entry.isDir()) {
            error = QStringLiteral("not a folder");
        } else if (QFileInfo::exists(*target) || QFileInfo(*target).isSymLink()) {
            // An existing folder is never written into.
            error = QStringLiteral("already exists");
        } else if (!copyContents(entry.filePath(), *target, &error)) {
            QDir(*target).removeRecursively();
        } else {
            continue;
        }
        ConsoleLog::write(QStringLiteral("Could not copy file ") + entry.filePath()
            + QStringLiteral(" to the internal attachment folder: ") + *target + QStringLiteral(" (") + error
            + QLatin1Char(')'));
    }
}

bool SharedMethods::copyPictureFoldersToPackage(
    const QStringList& folderNames, const QString& packagePath, QString* error)
{
    const QString target = QDir(packagePath).filePath(QLatin1String(PictureFolders::attachmentPicturesFolderName));
    if (QFileInfo(target).isSymLink() || !QDir().mkpath(target)) {
        *error = QStringLiteral("cannot make the folder ") + target;
        return false;
    }
    const std::optional<QString> pictures = PictureFolders::attachmentPicturesFolderURL();
    for (const QString& name : folderNames) {
        const std::optional<QString> source
            = pictures ? PictureFolders::pictureFolderPath(*pictures, name) : std::nullopt;
        const std::optional<QString> copy = PictureFolders::pictureFolderPath(target, name);
        if (!source || !copy) {
            PictureFolders::refuseName(name);
            continue;
        }
        const QFileInfo sourceInfo(*source);
        if (sourceInfo.isSymLink() || !sourceInfo.isDir()) {
            ConsoleLog::write(QStringLiteral("Skipping picture folder %1: it is not in the picture folder").arg(name));
            continue;
        }
        // What an earlier export left there goes, so that the folder ends as complete as its source.
        const QFileInfo copyInfo(*copy);
        if ((copyInfo.isSymLink() || copyInfo.isFile()) && !QFile::remove(*copy)) {
            *error = QStringLiteral("cannot replace ") + *copy;
            return false;
        }
        if (copyInfo.isDir() && !copyInfo.isSymLink() && !QDir(*copy).removeRecursively()) {
            *error = QStringLiteral("cannot replace ") + *copy;
            return false;
        }
        if (!copyContents(*source, *copy, error))
            return false;
    }
    return true;
}

void SharedMethods::cleanUpImageAttachments()
{
    ManagedObjectContext* context = m_coreDataManager.context();
    if (!context)
        return;
    // A record is an orphan only when no card of the whole store names it.
    if (StoreLoading* loading = m_coreDataManager.loading(); loading && !loading->loadWholeStore())
        return;
    FetchRequest request = ImageAttachment::fetchRequest();
    request.predicate = [](const ManagedObject* object) {
        return static_cast<const ImageAttachment*>(object)->listItems().isEmpty();
    };
    QString error;
    const QList<ImageAttachment*> orphans = context->fetchAs<ImageAttachment>(request, &error);
    if (!error.isEmpty()) {
        ConsoleLog::write(QStringLiteral("fetch error ") + error);
        return;
    }
    for (ImageAttachment* orphan : orphans) {
        const std::optional<QString> base = PictureFolders::attachmentPicturesFolderURL();
        if (!base)
            continue;
        const std::optional<QString> folder = PictureFolders::pictureFolderPath(*base, orphan->folderUUID());
        if (!folder)
            continue;
        QString removalError;
        if (removePictureFolder(*folder, &removalError)) {
            context->deleteObject(orphan);
            ConsoleLog::write(QStringLiteral("Deleted image at: ") + *folder);
        } else {
            ConsoleLog::write(QStringLiteral("Error deleting image folder ") + removalError);
        }
    }
}
