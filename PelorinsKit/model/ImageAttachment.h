#pragma once

#include "Platform/core/objectgraph/FetchRequest.h"
#include "Platform/core/objectgraph/ManagedObject.h"

class ListItem;

// The record of one picture folder that card notes refer to.
class ImageAttachment : public ManagedObject
{
public:
    explicit ImageAttachment(const Init& init);

    // A new record of the folder `parentFolderName`. Null without a context or with a model that
    // lacks the entity.
    static ImageAttachment* create(
        const QString& parentFolderName, ManagedObjectContext* insertIntoManagedObjectContext);
    static FetchRequest fetchRequest();

    // Name of the folder under the picture-attachment directory.
    QString folderUUID() const;
    void setFolderUUID(const QString& folderUUID);

    // The cards whose notes refer to the folder, in no particular order.
    QList<ListItem*> listItems() const;
    void setListItems(const QList<ListItem*>& listItems);
};
