#include "PelorinsKit/model/ImageAttachment.h"

#include "PelorinsKit/model/ListItem.h"
#include "Platform/core/objectgraph/ManagedObjectContext.h"

namespace {
constexpr QLatin1String entityName("ImageAttachment");
const ManagedObject::PropertyKey folderUUIDKey(QStringLiteral("folderUUID"));
const ManagedObject::PropertyKey listItemsKey(QStringLiteral("listItems"));
}

ImageAttachment::ImageAttachment(const Init& init)
    : ManagedObject(init)
{
}

ImageAttachment* ImageAttachment::create(
    const QString& parentFolderName, ManagedObjectContext* insertIntoManagedObjectContext)
{
    if (!insertIntoManagedObjectContext)
        return nullptr;
    auto* attachment = insertIntoManagedObjectContext->insertNewObject<ImageAttachment>(entityName);
    if (!attachment)
        return nullptr;
    attachment->setFolderUUID(parentFolderName);
    return attachment;
}

FetchRequest ImageAttachment::fetchRequest()
{
    return FetchRequest(entityName);
}

QString ImageAttachment::folderUUID() const
{
    return stringValue(folderUUIDKey);
}

void ImageAttachment::setFolderUUID(const QString& folderUUID)
{
    setValue(folderUUIDKey, folderUUID);
}

QList<ListItem*> ImageAttachment::listItems() const
{
    return objectsAs<ListItem>(listItemsKey);
}

void ImageAttachment::setListItems(const QList<ListItem*>& listItems)
{
    setObjects(listItemsKey.name(), QList<ManagedObject*>(listItems.cbegin(), listItems.cend()));
}
