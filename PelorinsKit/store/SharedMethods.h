#pragma once

#include <QString>
#include <QStringList>

class CoreDataManager;

// Housekeeping of the picture folders: bringing in the pictures of an imported package, and
// removing the folders and records of pictures that no card uses any more.
class SharedMethods
{
public:
    explicit SharedMethods(CoreDataManager& coreDataManager);
    virtual ~SharedMethods() = default;
    SharedMethods(const SharedMethods&) = delete;
    SharedMethods& operator=(const SharedMethods&) = delete;

    CoreDataManager& coreDataManager() const { return m_coreDataManager; }

    // Copies each picture folder of the package's "pictureAttachments" folder into the picture
    // folder. Only real folders named by a UUID are copied, and of them only regular files: each
    // entry skipped gets a console line, and a folder is made only when a file goes into it. A
    // folder that is already there is left as it is.
    virtual void copyImageAttachmentsToAttachmentsFolder(const QString& urlOfDocumentToImport);
    // Copies the named picture folders into the package's "pictureAttachments" folder, made when
    // missing, each whole: a folder of that name in the package already is replaced. Names that
    // are no picture folder's, and folders missing from the picture folder, are skipped with a
    // console line; links are never followed. False, with the reason, when one cannot be copied.
    virtual bool copyPictureFoldersToPackage(
        const QStringList& folderNames, const QString& packagePath, QString* error);
    // Deletes the picture records that no card refers to, with their folders. A record whose
    // folder cannot be removed stays, to be tried again next time. The context is not saved.
    virtual void cleanUpImageAttachments();

private:
    CoreDataManager& m_coreDataManager;
};
