#pragma once

#include <QString>

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
    // Deletes the picture records that no card refers to, with their folders. A record whose
    // folder cannot be removed stays, to be tried again next time. The context is not saved.
    virtual void cleanUpImageAttachments();

private:
    CoreDataManager& m_coreDataManager;
};
