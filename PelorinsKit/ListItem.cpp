#include "PelorinsKit/ListItem.h"

#include "PelorinsKit/DoneDate.h"
#include "PelorinsKit/ImageAttachment.h"
#include "PelorinsKit/KanbanColumn.h"
#include "PelorinsKit/ListItemHistory.h"
#include "PelorinsKit/Tag.h"
#include "PelorinsKit/UniqueIdentifier.h"

namespace {
constexpr QLatin1String doneKey("done");
constexpr QLatin1String toBeDeletedKey("toBeDeleted");
constexpr QLatin1String attributedNotesKey("attributedNotes");
constexpr QLatin1String eventsArrayKey("eventsArray");
constexpr QLatin1String dateAddedKey("dateAdded");
constexpr QLatin1String dueDateKey("dueDate");
constexpr QLatin1String doneDateKey("doneDate");
constexpr QLatin1String priorityKey("priority");
constexpr QLatin1String notesExpandedKey("notesExpanded");
constexpr QLatin1String timeWorkedKey("timeWorked");
constexpr QLatin1String columnKey("column");
constexpr QLatin1String tagsKey("tags");
constexpr QLatin1String historyKey("history");
constexpr QLatin1String parentDoneGroupKey("parentDoneGroup");
constexpr QLatin1String imageAttachmentsKey("imageAttachments");

template <typename T> std::optional<T> optionalValue(const ManagedObject& object, QLatin1String key)
{
    const QVariant value = object.value(key);
    if (!value.isValid())
        return std::nullopt;
    return value.value<T>();
}

template <typename T> QVariant variantOf(const std::optional<T>& value)
{
    return value ? QVariant::fromValue(*value) : QVariant();
}
}

ListItem::ListItem(const Init& init)
    : ManagedObject(init)
{
}

bool ListItem::done() const
{
    return boolValue(doneKey);
}

void ListItem::setDone(bool done)
{
    setValue(doneKey, done);
}

bool ListItem::toBeDeleted() const
{
    return boolValue(toBeDeletedKey);
}

void ListItem::setToBeDeleted(bool toBeDeleted)
{
    setValue(toBeDeletedKey, toBeDeleted);
}

QByteArray ListItem::attributedNotesData() const
{
    return dataValue(attributedNotesKey);
}

void ListItem::setAttributedNotesData(const QByteArray& data)
{
    setValue(attributedNotesKey, data);
}

std::optional<QStringList> ListItem::eventsArray() const
{
    return optionalValue<QStringList>(*this, eventsArrayKey);
}

void ListItem::setEventsArray(const std::optional<QStringList>& eventsArray)
{
    setValue(eventsArrayKey, variantOf(eventsArray));
}

std::optional<QDateTime> ListItem::dateAdded() const
{
    return optionalValue<QDateTime>(*this, dateAddedKey);
}

void ListItem::setDateAdded(const std::optional<QDateTime>& dateAdded)
{
    setValue(dateAddedKey, variantOf(dateAdded));
}

std::optional<QDateTime> ListItem::dueDate() const
{
    return optionalValue<QDateTime>(*this, dueDateKey);
}

void ListItem::setDueDate(const std::optional<QDateTime>& dueDate)
{
    setValue(dueDateKey, variantOf(dueDate));
}

std::optional<QDateTime> ListItem::doneDate() const
{
    return optionalValue<QDateTime>(*this, doneDateKey);
}

void ListItem::setDoneDate(const std::optional<QDateTime>& doneDate)
{
    setValue(doneDateKey, variantOf(doneDate));
}

std::optional<bool> ListItem::priority() const
{
    return optionalValue<bool>(*this, priorityKey);
}

void ListItem::setPriority(std::optional<bool> priority)
{
    setValue(priorityKey, variantOf(priority));
}

std::optional<bool> ListItem::notesExpanded() const
{
    return optionalValue<bool>(*this, notesExpandedKey);
}

void ListItem::setNotesExpanded(std::optional<bool> notesExpanded)
{
    setValue(notesExpandedKey, variantOf(notesExpanded));
}

std::optional<double> ListItem::timeWorked() const
{
    return optionalValue<double>(*this, timeWorkedKey);
}

void ListItem::setTimeWorked(std::optional<double> timeWorked)
{
    setValue(timeWorkedKey, variantOf(timeWorked));
}

QString ListItem::uniqueIdentifier() const
{
    return stringValue(UniqueIdentifier::key);
}

void ListItem::setUniqueIdentifier(const QString& uniqueIdentifier)
{
    setValue(UniqueIdentifier::key, uniqueIdentifier);
}

KanbanColumn* ListItem::column() const
{
    return objectAs<KanbanColumn>(columnKey);
}

void ListItem::setColumn(KanbanColumn* column)
{
    setObject(columnKey, column);
}

QList<Tag*> ListItem::tags() const
{
    return objectsAs<Tag>(tagsKey);
}

void ListItem::setTags(const QList<Tag*>& tags)
{
    setObjects(tagsKey, QList<ManagedObject*>(tags.cbegin(), tags.cend()));
}

QList<ListItemHistory*> ListItem::history() const
{
    return objectsAs<ListItemHistory>(historyKey);
}

void ListItem::setHistory(const QList<ListItemHistory*>& history)
{
    setObjects(historyKey, QList<ManagedObject*>(history.cbegin(), history.cend()));
}

DoneDate* ListItem::parentDoneGroup() const
{
    return objectAs<DoneDate>(parentDoneGroupKey);
}

void ListItem::setParentDoneGroup(DoneDate* parentDoneGroup)
{
    setObject(parentDoneGroupKey, parentDoneGroup);
}

QList<ImageAttachment*> ListItem::imageAttachments() const
{
    return objectsAs<ImageAttachment>(imageAttachmentsKey);
}

void ListItem::setImageAttachments(const QList<ImageAttachment*>& imageAttachments)
{
    setObjects(imageAttachmentsKey, QList<ManagedObject*>(imageAttachments.cbegin(), imageAttachments.cend()));
}

void ListItem::setup()
{
    UniqueIdentifier::assignIfMissing(*this);
}

void ListItem::awakeFromInsert()
{
    setup();
}

void ListItem::awakeFromFetch()
{
    setup();
}
