#include "PelorinsKit/model/ListItem.h"

#include "PelorinsKit/model/DateHelpers.h"
#include "PelorinsKit/model/DoneDate.h"
#include "PelorinsKit/model/Hashtags.h"
#include "PelorinsKit/model/ImageAttachment.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/model/ListItemHistory.h"
#include "PelorinsKit/model/NoteAttachments.h"
#include "PelorinsKit/model/PictureFolders.h"
#include "PelorinsKit/model/Tag.h"
#include "PelorinsKit/model/UniqueIdentifier.h"
#include "PelorinsKit/notes/AttributeKey.h"
#include "PelorinsKit/notes/RichTextCodec.h"
#include "Platform/core/ConsoleLog.h"
#include "Platform/core/objectgraph/ManagedObjectContext.h"

namespace {
const ManagedObject::PropertyKey uniqueIdentifierKey(UniqueIdentifier::key);
const ManagedObject::PropertyKey doneKey(QStringLiteral("done"));
const ManagedObject::PropertyKey toBeDeletedKey(QStringLiteral("toBeDeleted"));
const ManagedObject::PropertyKey attributedNotesKey(QStringLiteral("attributedNotes"));
const ManagedObject::PropertyKey eventsArrayKey(QStringLiteral("eventsArray"));
const ManagedObject::PropertyKey dateAddedKey(QStringLiteral("dateAdded"));
const ManagedObject::PropertyKey dueDateKey(QStringLiteral("dueDate"));
const ManagedObject::PropertyKey doneDateKey(QStringLiteral("doneDate"));
const ManagedObject::PropertyKey priorityKey(QStringLiteral("priority"));
const ManagedObject::PropertyKey notesExpandedKey(QStringLiteral("notesExpanded"));
const ManagedObject::PropertyKey timeWorkedKey(QStringLiteral("timeWorked"));
const ManagedObject::PropertyKey columnKey(QStringLiteral("column"));
const ManagedObject::PropertyKey tagsKey(QStringLiteral("tags"));
const ManagedObject::PropertyKey historyKey(QStringLiteral("history"));
const ManagedObject::PropertyKey parentDoneGroupKey(QStringLiteral("parentDoneGroup"));
const ManagedObject::PropertyKey imageAttachmentsKey(QStringLiteral("imageAttachments"));

template <typename T> std::optional<T> optionalValue(const ManagedObject& object, const ManagedObject::PropertyKey& key)
{
    const QVariant& value = object.value(key);
    if (!value.isValid())
        return std::nullopt;
    return value.value<T>();
}

template <typename T> QVariant variantOf(const std::optional<T>& value)
{
    return value ? QVariant::fromValue(*value) : QVariant();
}

std::optional<int> firstLineFeed(const std::optional<AttributedString>& notes)
{
    if (!notes)
        return std::nullopt;
    const qsizetype position = notes->string().indexOf(QLatin1Char('\n'));
    return position < 0 ? std::nullopt : std::optional<int>(int(position));
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

ListItem::ReadNotes& ListItem::readNotes() const
{
    if (!m_read)
        m_read = std::make_unique<ReadNotes>();
    return *m_read;
}

bool ListItem::hasDecodedNotesOf(const QByteArray& data) const
{
    return m_read && m_read->hasDecoded && data.constData() == m_read->decodedFrom.constData()
        && data.size() == m_read->decodedFrom.size();
}

std::optional<AttributedString> ListItem::attributedNotes() const
{
    const QByteArray data = attributedNotesData();
    if (data.isNull())
        return std::nullopt;
    if (!hasDecodedNotesOf(data)) {
        ReadNotes& read = readNotes();
        read.decoded = RichTextCodec::decode(data);
        read.decodedFrom = data;
        read.hasDecoded = true;
    }
    return m_read->decoded;
}

std::optional<AttributedString> ListItem::attributedNotesWithoutKeeping() const
{
    const QByteArray data = attributedNotesData();
    if (data.isNull())
        return std::nullopt;
    if (hasDecodedNotesOf(data))
        return m_read->decoded;
    return RichTextCodec::decode(data);
}

void ListItem::releaseDecodedNotes() const
{
    if (!m_read)
        return;
    if (!m_read->hasTagNames) {
        m_read.reset();
        return;
    }
    m_read->decoded.reset();
    m_read->decodedFrom = QByteArray();
    m_read->hasDecoded = false;
    m_read->plainText = CompactText();
    m_read->plainTextFrom = QByteArray();
    m_read->hasPlainText = false;
}

bool ListItem::hasPlainNotesText() const
{
    // The bytes kept are compared in place, as the tag names are: a search asks every card of
    // the board at each keystroke.
    if (!m_read || !m_read->hasPlainText)
        return false;
    const QVariant& stored = value(attributedNotesKey);
    if (stored.metaType() != QMetaType::fromType<QByteArray>())
        return m_read->plainTextFrom.isNull() && !stored.isValid();
    const auto* bytes = static_cast<const QByteArray*>(stored.constData());
    return bytes->constData() == m_read->plainTextFrom.constData() && bytes->size() == m_read->plainTextFrom.size();
}

CompactText ListItem::plainNotesText() const
{
    if (hasPlainNotesText())
        return m_read->plainText;
    const QByteArray data = attributedNotesData();
    RichTextCodec::StoredReader reader;
    setPlainNotesText(data, plainNotesText(data, reader));
    return m_read->plainText;
}

void ListItem::setPlainNotesText(const QByteArray& data, const CompactText& text) const
{
    const QByteArray current = attributedNotesData();
    if (current.constData() != data.constData() || current.size() != data.size())
        return;
    ReadNotes& read = readNotes();
    read.plainTextFrom = data;
    read.plainText = text;
    read.hasPlainText = true;
}

CompactText ListItem::plainNotesText(const QByteArray& data, RichTextCodec::StoredReader& reader)
{
    if (data.isNull())
        return CompactText();
    QString reason;
    const RichTextCodec::StoredReader::Parts* parts = reader.read(data, &reason);
    if (!parts)
        return CompactText();
    // Present notes are never null, also when they are empty.
    return CompactText(parts->text.isNull() ? QString(QLatin1String("")) : parts->text);
}

void ListItem::setAttributedNotes(const std::optional<AttributedString>& attributedNotes)
{
    setAttributedNotesData(attributedNotes ? RichTextCodec::encode(*attributedNotes) : QByteArray());
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
    return stringValue(uniqueIdentifierKey);
}

void ListItem::setUniqueIdentifier(const QString& uniqueIdentifier)
{
    setValue(uniqueIdentifierKey, uniqueIdentifier);
}

KanbanColumn* ListItem::column() const
{
    return objectAs<KanbanColumn>(columnKey);
}

void ListItem::setColumn(KanbanColumn* column)
{
    setObject(columnKey.name(), column);
}

QList<Tag*> ListItem::tags() const
{
    return objectsAs<Tag>(tagsKey);
}

void ListItem::setTags(const QList<Tag*>& tags)
{
    setObjects(tagsKey.name(), QList<ManagedObject*>(tags.cbegin(), tags.cend()));
}

QList<ListItemHistory*> ListItem::history() const
{
    return objectsAs<ListItemHistory>(historyKey);
}

void ListItem::setHistory(const QList<ListItemHistory*>& history)
{
    setObjects(historyKey.name(), QList<ManagedObject*>(history.cbegin(), history.cend()));
}

DoneDate* ListItem::parentDoneGroup() const
{
    return objectAs<DoneDate>(parentDoneGroupKey);
}

void ListItem::setParentDoneGroup(DoneDate* parentDoneGroup)
{
    setObject(parentDoneGroupKey.name(), parentDoneGroup);
}

QList<ImageAttachment*> ListItem::imageAttachments() const
{
    return objectsAs<ImageAttachment>(imageAttachmentsKey);
}

void ListItem::setImageAttachments(const QList<ImageAttachment*>& imageAttachments)
{
    setObjects(imageAttachmentsKey.name(), QList<ManagedObject*>(imageAttachments.cbegin(), imageAttachments.cend()));
}

void ListItem::addHistory(ListItemHistory* history)
{
    addObject(historyKey.name(), history);
}

std::optional<AttributedString> ListItem::getAttributedNotes() const
{
    std::optional<AttributedString> notes = attributedNotes();
    if (notes)
        restoreImageAttachments(*notes);
    return notes;
}

void ListItem::setAttributedNotesNewNote(const AttributedString& newNote)
{
    // The pictures are those of the notes stored, read from them rather than decoded again.
    const AttributedString stored = stripImageAttachments(newNote);
    setAttributedNotes(stored);
    syncImageAttachmentsNamed(pictureFolderNames(stored));
}

void ListItem::syncImageAttachments()
{
    syncImageAttachmentsNamed(pictureFolderNames(attributedNotes()));
}

void ListItem::syncImageAttachmentsNamed(const QStringList& pictureFolders)
{
    ManagedObjectContext* context = managedObjectContext();
    syncImageAttachments(pictureFolders, [context](const QString& name) -> ImageAttachment* {
        FetchRequest request = ImageAttachment::fetchRequest();
        request.predicate = [&name](const ManagedObject* object) {
            return static_cast<const ImageAttachment*>(object)->folderUUID() == name;
        };
        request.fetchLimit = 1;
        QString error;
        const QList<ImageAttachment*> found = context->fetchAs<ImageAttachment>(request, &error);
        if (!error.isEmpty())
            ConsoleLog::write(QStringLiteral("fetch error finding matching attachment ") + error);
        return found.isEmpty() ? ImageAttachment::create(name, context) : found.first();
    });
}

void ListItem::syncImageAttachments(const QStringList& pictureFolders, QHash<QString, ImageAttachment*>& records)
{
    ManagedObjectContext* context = managedObjectContext();
    syncImageAttachments(pictureFolders, [context, &records](const QString& name) {
        ImageAttachment*& record = records[name];
        if (!record)
            record = ImageAttachment::create(name, context);
        return record;
    });
}

QStringList ListItem::pictureFolderNames(const std::optional<AttributedString>& notes)
{
    QVariantList runFolders;
    if (notes)
        notes->enumerateAttribute(AttributeKey::fileFolderUUID, TextRange {0, notes->length()},
            [&runFolders](const QVariant& value, TextRange) { runFolders.append(value); });
    return pictureFolderNames(runFolders);
}

QStringList ListItem::pictureFolderNames(const QVariantList& runFolders)
{
    QStringList names;
    for (qsizetype i = 0; i < runFolders.size(); ++i) {
        const QVariant& value = runFolders.at(i);
        // Neighbouring runs naming one folder name it once.
        if (value.typeId() != QMetaType::QString || (i > 0 && runFolders.at(i - 1) == value))
            continue;
        const QString name = value.toString();
        // A record stands for a folder on disk; a name that cannot be one gets none.
        if (!PictureFolders::isPictureFolderName(name)) {
            PictureFolders::refuseName(name);
            continue;
        }
        ConsoleLog::write(QStringLiteral("Found image in folder ") + name);
        if (!names.contains(name))
            names.append(name);
    }
    return names;
}

void ListItem::syncImageAttachments(
    const QStringList& names, const std::function<ImageAttachment*(const QString&)>& recordFor)
{
    const QList<ImageAttachment*> records = imageAttachments();
    QList<ImageAttachment*> kept;
    QStringList missing = names;
    for (ImageAttachment* record : records) {
        if (names.contains(record->folderUUID()))
            kept.append(record);
        missing.removeAll(record->folderUUID());
    }
    if (kept.size() != records.size())
        setImageAttachments(kept);
    for (const QString& name : std::as_const(missing))
        if (ImageAttachment* record = recordFor(name))
            addObject(imageAttachmentsKey.name(), record);
}

bool ListItem::isOverdue(const QDateTime& now) const
{
    const std::optional<QDateTime> due = dueDate();
    return due && now > *due;
}

bool ListItem::isDueSoon(const QDateTime& now, const UserDefaults& defaults) const
{
    const std::optional<QDateTime> due = dueDate();
    return due && DateHelpers::dueSoon(*due, now, defaults);
}

QStringList ListItem::getAllTagNames() const
{
    // The names kept are checked against the stored bytes in place: the board's tag clean-up asks
    // every card on each hashtag keystroke.
    const QVariant& stored = value(attributedNotesKey);
    if (m_read && m_read->hasTagNames && stored.metaType() == QMetaType::fromType<QByteArray>()) {
        const auto* bytes = static_cast<const QByteArray*>(stored.constData());
        if (bytes->constData() == m_read->tagNamesFrom.constData() && bytes->size() == m_read->tagNamesFrom.size())
            return m_read->tagNames;
    }
    const QByteArray data = stored.toByteArray();
    // Notes nobody shows are read for their names and not kept decoded.
    const std::optional<AttributedString> notes
        = data.isNull() ? std::nullopt : (hasDecodedNotesOf(data) ? m_read->decoded : RichTextCodec::decode(data));
    QStringList names;
    if (notes) {
        for (const QRegularExpressionMatch& match : identifyTags(notes->string())) {
            const QString name = match.captured(2);
            if (!names.contains(name))
                names.append(name);
        }
    }
    ReadNotes& read = readNotes();
    read.tagNamesFrom = data;
    read.tagNames = names;
    read.hasTagNames = true;
    return names;
}

QString ListItem::firstLineOfNotes() const
{
    const std::optional<AttributedString> notes = attributedNotesWithoutKeeping();
    if (!notes)
        return QString();
    const std::optional<int> lineFeed = firstLineFeed(notes);
    return lineFeed ? notes->string().left(*lineFeed) : notes->string();
}

AttributedString ListItem::firstAttributedLine() const
{
    const std::optional<AttributedString> notes = attributedNotesWithoutKeeping();
    const std::optional<int> lineFeed = firstLineFeed(notes);
    return lineFeed ? notes->attributedSubstring(TextRange {0, *lineFeed}) : AttributedString();
}

AttributedString ListItem::firstAttributedLineAndReturn() const
{
    const std::optional<AttributedString> notes = attributedNotes();
    const std::optional<int> lineFeed = firstLineFeed(notes);
    return lineFeed ? notes->attributedSubstring(TextRange {0, *lineFeed + 1}) : AttributedString();
}

void ListItem::applyRemoveStrikeThrough()
{
    std::optional<AttributedString> notes = attributedNotes();
    if (!notes)
        return;
    const TextRange whole {0, notes->length()};
    if (done())
        notes->addAttribute(AttributeKey::strikethroughStyle, 1, whole);
    else
        notes->removeAttribute(AttributeKey::strikethroughStyle, whole);
    setAttributedNotes(notes);
}

QString ListItem::itemURLString() const
{
    return urlScheme + uniqueIdentifier();
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
