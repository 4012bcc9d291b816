#include "PelorinsKit/model/DisplayItem.h"

#include "PelorinsKit/model/UniqueIdentifier.h"

namespace {
const ManagedObject::PropertyKey uniqueIdentifierKey(UniqueIdentifier::key);
const ManagedObject::PropertyKey colourKey(QStringLiteral("colour"));
const ManagedObject::PropertyKey bgImageKey(QStringLiteral("bgImage"));
const ManagedObject::PropertyKey exportKey(QStringLiteral("export"));
const ManagedObject::PropertyKey parentKey(QStringLiteral("parent"));
}

DisplayItem::DisplayItem(const Init& init)
    : ManagedObject(init)
{
}

int DisplayItem::colour() const
{
    return int(integerValue(colourKey));
}

void DisplayItem::setColour(int colour)
{
    setValue(colourKey, qint64(colour));
}

QString DisplayItem::bgImage() const
{
    return stringValue(bgImageKey);
}

void DisplayItem::setBgImage(const QString& bgImage)
{
    setValue(bgImageKey, bgImage);
}

bool DisplayItem::isExport() const
{
    return boolValue(exportKey);
}

void DisplayItem::setExport(bool exportMark)
{
    setValue(exportKey, exportMark);
}

QString DisplayItem::uniqueIdentifier() const
{
    return stringValue(uniqueIdentifierKey);
}

void DisplayItem::setUniqueIdentifier(const QString& uniqueIdentifier)
{
    setValue(uniqueIdentifierKey, uniqueIdentifier);
}

QList<DisplayItem*> DisplayItem::children() const
{
    return objectsAs<DisplayItem>(childrenKey);
}

void DisplayItem::setChildren(const QList<DisplayItem*>& children)
{
    setObjects(childrenKey, QList<ManagedObject*>(children.cbegin(), children.cend()));
}

DisplayItem* DisplayItem::parent() const
{
    return objectAs<DisplayItem>(parentKey);
}

void DisplayItem::setParent(DisplayItem* parent)
{
    setObject(parentKey.name(), parent);
}

bool DisplayItem::isItemExpandable() const
{
    return !children().isEmpty();
}

void DisplayItem::setup()
{
    UniqueIdentifier::assignIfMissing(*this);
}

void DisplayItem::awakeFromInsert()
{
    setup();
}

void DisplayItem::awakeFromFetch()
{
    setup();
}

void DisplayItem::willChange(const KeyChange& change)
{
    if (change.key == childrenKey) {
        ManagedObject::willChange(change.withKey(childrenArrayKey));
        ManagedObject::willChange(KeyChange::setting(isLeafKey));
    }
    ManagedObject::willChange(change);
}

void DisplayItem::didChange(const KeyChange& change)
{
    if (change.key == childrenKey) {
        ManagedObject::didChange(change.withKey(childrenArrayKey));
        ManagedObject::didChange(KeyChange::setting(isLeafKey));
    }
    ManagedObject::didChange(change);
}
