// CoreDataManager::importFrom: reading an archive of boards and folders into the sidebar tree.

#include "PelorinsKit/store/CoreDataManager.h"

#include "PelorinsKit/archive/JSONReader.h"
#include "PelorinsKit/model/Folder.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/Root.h"
#include "PelorinsKit/store/SharedMethods.h"
#include "PelorinsKit/store/StoreLoading.h"
#include "Platform/core/ConsoleLog.h"

#include <QDir>
#include <QFileInfo>

namespace {

const QString archiveFileName = QStringLiteral("archive.Pelorins");
const QString couldNotImport = QStringLiteral("could not import introductory tutorial");

} // namespace

JSONReader* CoreDataManager::jsonReader()
{
    if (!m_context)
        return nullptr;
    if (!m_jsonReader)
        m_jsonReader = std::make_shared<JSONReader>(m_context.get());
    return m_jsonReader.get();
}

void CoreDataManager::importFrom(const QUrl& url)
{
    // A package is read before its pictures are copied, so that a refused archive brings in
    // nothing at all.
    bool isPackage = false;
    QString path = url.toLocalFile();
    if (!url.isLocalFile() || !QFileInfo::exists(path))
        ConsoleLog::write(QStringLiteral("error determin if url is a directory"));
    else if (QFileInfo(path).isDir()) {
        isPackage = true;
        path = QDir(path).filePath(archiveFileName);
    }

    Root* root = getRootObject(true);
    if (!root) {
        saveContext();
        return;
    }

    // An empty file is no archive, though it holds nothing that could harm.
    if (const QFileInfo file(path); file.isFile() && file.size() == 0) {
        ConsoleLog::write(couldNotImport);
        saveContext();
        return;
    }
    // The reader gives what it makes identifiers that nothing else in the store holds.
    if (m_loading && !m_loading->loadWholeStore()) {
        ConsoleLog::write(couldNotImport);
        return;
    }
    QString error;
    bool unreadable = false;
    JSONReader* reader = jsonReader();
    reader->setImportedObjects({});
    const QList<ManagedObject*> objects = reader->makeObjectsFromArchiveFile(path, &error, &unreadable);
    if (unreadable) {
        ConsoleLog::write(couldNotImport);
        ConsoleLog::write(QStringLiteral("Reading %1 failed: %2").arg(path, error));
        saveContext();
        return;
    }
    if (!error.isEmpty()) {
        ConsoleLog::write(couldNotImport);
        ConsoleLog::write(QStringLiteral("Refused %1: %2").arg(path, error));
        saveContext();
        return;
    }

    if (isPackage)
        SharedMethods(*this).copyImageAttachmentsToAttachmentsFolder(url.toLocalFile());

    for (ManagedObject* object : objects) {
        if (dynamic_cast<Folder*>(object) || dynamic_cast<Kanban*>(object))
            static_cast<DisplayItem*>(object)->setParent(root);
    }
    saveContext();
}
