#include "PelorinsKit/archive/JSONReader.h"

#include "PelorinsKit/archive/AttributedStringDictionary.h"
#include "PelorinsKit/archive/NodeDate.h"
#include "PelorinsKit/model/ImageAttachment.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/model/ListItemHistory.h"
#include "PelorinsKit/model/PictureFolders.h"
#include "PelorinsKit/model/UniqueIdentifier.h"
#include "PelorinsKit/notes/AttributeKey.h"
#include "PelorinsKit/notes/NoteStyleName.h"
#include "PelorinsKit/notes/NoteTextConventions.h"
#include "PelorinsKit/notes/RichTextCodec.h"
#include "PelorinsKit/store/ImageWriting.h"
#include "Platform/core/ConsoleLog.h"
#include "Platform/core/objectgraph/ManagedObjectContext.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QSet>
#include <QStringDecoder>
#include <QThread>
#include <cmath>
#include <limits>
#include <thread>
#include <vector>

using AttributedStringDictionary::isNotesDictionary;
using AttributedStringDictionary::lengthKey;
using AttributedStringDictionary::locationKey;
using AttributedStringDictionary::rangeKey;
using AttributedStringDictionary::runsKey;
using AttributedStringDictionary::stringKey;

namespace {

const QString objectIDURIKey = QStringLiteral("objectIDURI");
const QString mainColumnKey = QStringLiteral("mainColumn");
const QString stageColumnsKey = QStringLiteral("column");
const QString bgImageKey = QStringLiteral("bgImage");
const QString folderUUIDKey = QStringLiteral("folderUUID");
const QString rootClassName = QStringLiteral("Root");
const QString tagClassName = QStringLiteral("Tag");
const QString importedPictureName = QStringLiteral("imported.png");

bool isIntegral(const QJsonValue& value)
{
    if (value.isBool())
        return true;
    if (!value.isDouble())
        return false;
    const double number = value.toDouble();
    return std::isfinite(number) && std::trunc(number) == number;
}

// Integers may come as true/false and Booleans as numbers: both are numbers to older writers.
qint64 integerOf(const QJsonValue& value)
{
    if (value.isBool())
        return value.toBool() ? 1 : 0;
    const double number = value.toDouble();
    if (number >= 9.2e18)
        return std::numeric_limits<qint64>::max();
    if (number <= -9.2e18)
        return std::numeric_limits<qint64>::min();
    return qint64(number);
}

bool booleanOf(const QJsonValue& value)
{
    return value.isBool() ? value.toBool() : value.toDouble() != 0;
}

QString printedForm(const QJsonValue& value)
{
    switch (value.type()) {
    case QJsonValue::Object:
        return QString::fromUtf8(QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact));
    case QJsonValue::Array:
        return QString::fromUtf8(QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact));
    case QJsonValue::Bool:
        return value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    case QJsonValue::Double:
        return QString::number(value.toDouble(), 'g', 17);
    case QJsonValue::String:
        return value.toString();
    default:
        return QStringLiteral("<null>");
    }
}

// The line styles, each built once per notes text: building one looks up the system font.
class StyleSets
{
public:
    const QVariantMap& forName(const QString& styleName)
    {
        if (styleName == rawValue(NoteStyleName::title))
            return get(m_title, titleAttributes);
        if (styleName == rawValue(NoteStyleName::header))
            return get(m_header, headerAttributes);
        return get(m_normal, normalAttributes);
    }
    const QVariantMap& checkList() { return get(m_checkList, checkListAttributes); }

private:
    static const QVariantMap& get(std::optional<QVariantMap>& set, QVariantMap (*make)())
    {
        if (!set)
            set = make();
        return *set;
    }

    std::optional<QVariantMap> m_title;
    std::optional<QVariantMap> m_header;
    std::optional<QVariantMap> m_normal;
    std::optional<QVariantMap> m_checkList;
};

void merge(QVariantMap& attributes, const QVariantMap& set)
{
    for (auto it = set.cbegin(); it != set.cend(); ++it)
        attributes.insert(it.key(), it.value());
}

// Upper bound of the Base64 text of a picture of `maximumPictureBytes`.
constexpr qsizetype maximumPictureText = (JSONReader::maximumPictureBytes + 2) / 3 * 4 + 4;

// A picture carried as Base64: written as "imported.png" into a new picture folder, which the run
// then names. Nothing when the text is no picture.
std::optional<QVariantMap> importPicture(const QJsonValue& value)
{
    if (!value.isString() || value.toString().size() > maximumPictureText)
        return std::nullopt;
    const auto data
        = QByteArray::fromBase64Encoding(value.toString().toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!data)
        return std::nullopt;
    const QImage image = QImage::fromData(*data);
    if (image.isNull()) {
        ConsoleLog::write(QStringLiteral("img from data not ok"));
        return std::nullopt;
    }
    const QString folderName = UniqueIdentifier::make();
    if (const std::optional<QString> pictures = PictureFolders::attachmentPicturesFolderURL()) {
        const QDir folder(*pictures);
        if (!folder.mkpath(folderName))
            ConsoleLog::write(QStringLiteral("error creating image folder"));
        else
            writePNG(image, QDir(folder.filePath(folderName)).filePath(importedPictureName));
    }
    return QVariantMap {{AttributeKey::fileFolderUUID, folderName}, {AttributeKey::filename, importedPictureName}};
}

// Why a picture reference in a run cannot become a path; empty when it can.
QString unsafePictureName(const QString& key, const QJsonValue& value)
{
    if (!value.isString())
        return {};
    const QString name = value.toString();
    if (key == AttributeKey::fileFolderUUID && !PictureFolders::isPictureFolderName(name))
        return name;
    if (key == AttributeKey::filename && !PictureFolders::isFileName(name))
        return name;
    return {};
}

// The whole payload is checked before anything is made, so that a refused payload changes
// nothing in the store or in the picture folders.
class PayloadCheck
{
public:
    PayloadCheck(const ManagedObjectModel& model, const QHash<QString, ManagedObject*>& importedObjects)
        : m_model(model)
        , m_importedObjects(importedObjects)
    {
    }

    const QString& error() const { return m_error; }

    bool entries(const QJsonArray& dictionaryObjects)
    {
        for (const QJsonValue& entry : dictionaryObjects) {
            if (!entry.isObject())
                return fail(QStringLiteral("the payload holds something other than nodes"));
            if (!node(entry.toObject(), nullptr, 1))
                return false;
        }
        return true;
    }

    // The notes dictionary of a card, as far as reading it could go wrong.
    bool notes(const QJsonObject& dict, const QString& where)
    {
        if (!dict.value(stringKey).isString() || !dict.value(runsKey).isArray())
            return fail(where + QStringLiteral(": notes without a text or runs"));
        for (const QJsonValue& run : dict.value(runsKey).toArray()) {
            if (!run.isObject())
                return fail(where + QStringLiteral(": a run of the notes is not an object"));
            const QJsonObject attributes = run.toObject();
            for (const QString& key : {AttributeKey::fileFolderUUID, AttributeKey::filename}) {
                const QString unsafe = unsafePictureName(key, attributes.value(key));
                if (!unsafe.isEmpty())
                    return fail(where + QStringLiteral(": unsafe picture name \"%1\"").arg(unsafe));
            }
            const QJsonValue picture = attributes.value(AttributeKey::attachment);
            if (picture.isString() && picture.toString().size() > maximumPictureText)
                return fail(
                    where + QStringLiteral(": a picture larger than %1 bytes").arg(JSONReader::maximumPictureBytes));
        }
        return true;
    }

private:
    bool fail(const QString& error)
    {
        m_error = error;
        return false;
    }

    // `via` is the relationship whose value holds the node; none at the top.
    bool node(const QJsonObject& wrapped, const RelationshipDescription* via, int depth)
    {
        if (wrapped.isEmpty())
            return true;
        if (wrapped.size() != 1)
            return fail(QStringLiteral("a node has %1 class names instead of one").arg(wrapped.size()));
        if (depth > JSONReader::maximumNodeDepth)
            return fail(QStringLiteral("nodes nested deeper than %1").arg(JSONReader::maximumNodeDepth));
        const QString className = wrapped.constBegin().key();
        const EntityDescription* entity = m_model.entity(className);
        if (!entity || entity->isAbstract())
            return fail(QStringLiteral("unknown class \"%1\"").arg(className));
        if (const EntityDescription* root = m_model.entity(rootClassName); root && entity->isKindOfEntity(root))
            return fail(QStringLiteral("a \"Root\" node"));
        if (via && !entity->isKindOfEntity(via->destinationEntity))
            return fail(
                QStringLiteral("a \"%1\" node where a \"%2\" belongs").arg(className, via->destinationEntity->name()));
        const QJsonValue bodyValue = wrapped.constBegin().value();
        if (!bodyValue.isObject())
            return fail(QStringLiteral("the body of a \"%1\" node is not an object").arg(className));
        const QJsonObject body = bodyValue.toObject();

        const QJsonValue uriValue = body.value(objectIDURIKey);
        QString uri;
        if (!uriValue.isUndefined() && !uriValue.isNull()) {
            if (!uriValue.isString())
                return fail(QStringLiteral("an \"objectIDURI\" that is not a text"));
            uri = uriValue.toString();
        }
        // A node met before is not read again, but must name the same kind of object.
        // An empty URI names no object, so it is never met again (as when the objects are made).
        if (!uri.isEmpty()) {
            if (const ManagedObject* existing = m_importedObjects.value(uri)) {
                if (existing->entity() != entity)
                    return fail(QStringLiteral("\"%1\" names a \"%2\" and a \"%3\"")
                                    .arg(uri, existing->entity()->name(), className));
                return true;
            }
            if (const auto seen = m_seen.constFind(uri); seen != m_seen.cend()) {
                if (m_open.contains(uri))
                    return fail(QStringLiteral("\"%1\" would contain itself").arg(uri));
                if (*seen != entity)
                    return fail(
                        QStringLiteral("\"%1\" names a \"%2\" and a \"%3\"").arg(uri, (*seen)->name(), className));
                return true;
            }
            m_seen.insert(uri, entity);
            m_open.insert(uri);
        }
        const bool ok = this->body(entity, body, depth) && complete(entity, body, via) && columnsInOneRole(body);
        m_open.remove(uri);
        return ok;
    }

    // A board's done column is never one of its stage columns. An object is made once per URI,
    // so a URI named in both places would give one column both roles.
    bool columnsInOneRole(const QJsonObject& body)
    {
        const QString doneColumn = uriOf(body.value(mainColumnKey));
        if (doneColumn.isEmpty())
            return true;
        for (const QJsonValue& stage : body.value(stageColumnsKey).toArray())
            if (uriOf(stage) == doneColumn)
                return fail(
                    QStringLiteral("\"%1\" is both the done column and a stage column of a board").arg(doneColumn));
        return true;
    }

    // The "objectIDURI" of a wrapped node that has passed the check; empty when it has none.
    static QString uriOf(const QJsonValue& wrapped)
    {
        const QJsonObject node = wrapped.toObject();
        return node.isEmpty() ? QString() : node.constBegin().value().toObject().value(objectIDURIKey).toString();
    }

    // What the store requires of every object: the values that have no default, and the owner of
    // an object that cannot stand alone (a day group belongs to its board's "doneDates").
    bool complete(const EntityDescription* entity, const QJsonObject& body, const RelationshipDescription* via)
    {
        for (const AttributeDescription& attribute : entity->attributes()) {
            const QJsonValue value = body.value(attribute.name);
            if (!attribute.isOptional && !attribute.defaultValue.isValid() && (value.isUndefined() || value.isNull()))
                return fail(QStringLiteral("a \"%1\" without \"%2\"").arg(entity->name(), attribute.name));
        }
        for (const RelationshipDescription& relationship : entity->relationships()) {
            if (relationship.isToMany || relationship.isOptional)
                continue;
            if (!via || !via->inverseRelationship || via->inverseRelationship->name != relationship.name)
                return fail(QStringLiteral("a \"%1\" outside its \"%2\"").arg(entity->name(), relationship.name));
        }
        return true;
    }

    bool body(const EntityDescription* entity, const QJsonObject& body, int depth)
    {
        for (auto it = body.constBegin(); it != body.constEnd(); ++it) {
            const QString& key = it.key();
            const QJsonValue value = it.value();
            if (value.isNull() || key == objectIDURIKey)
                continue;
            const QString where = QStringLiteral("\"%1\" of a \"%2\"").arg(key, entity->name());
            if (const AttributeDescription* attribute = entity->attribute(key)) {
                if (!attributeValue(*attribute, value, where))
                    return false;
            } else if (const RelationshipDescription* relationship = entity->relationship(key)) {
                if (!relationshipValue(entity, *relationship, value, depth, where))
                    return false;
            }
        }
        return true;
    }

    bool attributeValue(const AttributeDescription& attribute, const QJsonValue& value, const QString& where)
    {
        using Type = AttributeDescription::Type;
        switch (attribute.type) {
        case Type::Integer16:
        case Type::Integer32:
        case Type::Integer64: {
            if (!isIntegral(value))
                return fail(where + QStringLiteral(" is not an integer"));
            const qint64 limit = attribute.type == Type::Integer16 ? std::numeric_limits<qint16>::max()
                : attribute.type == Type::Integer32                ? std::numeric_limits<qint32>::max()
                                                                   : std::numeric_limits<qint64>::max();
            const qint64 number = integerOf(value);
            if (number > limit || number < -limit - 1)
                return fail(where + QStringLiteral(" is out of range"));
            return true;
        }
        case Type::Double:
        case Type::Boolean:
            return value.isDouble() || value.isBool() || fail(where + QStringLiteral(" is not a number"));
        case Type::String:
            if (!value.isString())
                return fail(where + QStringLiteral(" is not a text"));
            if (attribute.name == folderUUIDKey && !PictureFolders::isPictureFolderName(value.toString()))
                return fail(where + QStringLiteral(": unsafe picture folder \"%1\"").arg(value.toString()));
            // A background is a built-in picture's name or a file of the backgrounds folder; an
            // empty name shows the board's colour.
            if (attribute.name == bgImageKey && !value.toString().isEmpty()
                && !PictureFolders::isFileName(value.toString()))
                return fail(where + QStringLiteral(": unsafe background picture name \"%1\"").arg(value.toString()));
            return true;
        case Type::Date:
            return NodeDate::date(value.toString()).has_value() || fail(where + QStringLiteral(" is not a date"));
        case Type::StringList:
            if (value.isArray()) {
                const QJsonArray array = value.toArray();
                if (std::all_of(array.begin(), array.end(), [](const QJsonValue& v) { return v.isString(); }))
                    return true;
            }
            return fail(where + QStringLiteral(" is not a list of texts"));
        case Type::Binary:
            if (!isNotesDictionary(value))
                return fail(where + QStringLiteral(" is not notes"));
            return notes(value.toObject(), where);
        }
        return fail(where + QStringLiteral(" has an unknown type"));
    }

    bool relationshipValue(const EntityDescription* entity, const RelationshipDescription& relationship,
        const QJsonValue& value, int depth, const QString& where)
    {
        if (relationship.isToMany) {
            if (!isReadToMany(entity, relationship))
                return true;
            if (!value.isArray())
                return fail(where + QStringLiteral(" is not an array of nodes"));
            for (const QJsonValue& member : value.toArray()) {
                if (!member.isObject())
                    return fail(where + QStringLiteral(" holds something other than nodes"));
                if (!node(member.toObject(), &relationship, depth + 1))
                    return false;
            }
            return true;
        }
        if (relationship.name != mainColumnKey)
            return true;
        if (!value.isObject())
            return fail(where + QStringLiteral(" is not a node"));
        return node(value.toObject(), &relationship, depth + 1);
    }

public:
    // Only ordered to-many relationships travel; a tag never has children.
    static bool isReadToMany(const EntityDescription* entity, const RelationshipDescription& relationship)
    {
        return relationship.isToMany && relationship.isOrdered
            && !(relationship.name == QLatin1String("children") && entity->name() == tagClassName);
    }

private:
    const ManagedObjectModel& m_model;
    const QHash<QString, ManagedObject*>& m_importedObjects;
    QHash<QString, const EntityDescription*> m_seen;
    QSet<QString> m_open;
    QString m_error;
};

// JSONReader::attributedStringFrom with the line styles of a whole payload.
std::optional<AttributedString> notesFrom(const QJsonObject& dict, StyleSets& styles)
{
    const QJsonValue string = dict.value(stringKey);
    const QJsonValue runsValue = dict.value(runsKey);
    if (!string.isString() || !runsValue.isArray())
        return std::nullopt;
    const QJsonArray runs = runsValue.toArray();
    if (!std::all_of(runs.begin(), runs.end(), [](const QJsonValue& run) { return run.isObject(); }))
        return std::nullopt;

    AttributedString text(string.toString());
    const qint64 textLength = text.length();
    for (const QJsonValue& runValue : runs) {
        const QJsonObject run = runValue.toObject();
        const QJsonValue rangeValue = run.value(rangeKey);
        const QJsonObject range = rangeValue.toObject();
        const QJsonValue location = range.value(locationKey);
        const QJsonValue length = range.value(lengthKey);
        if (!rangeValue.isObject() || !isIntegral(location) || !isIntegral(length))
            continue;

        QVariantMap attributes;
        for (auto it = run.constBegin(); it != run.constEnd(); ++it) {
            const QString& key = it.key();
            const QJsonValue value = it.value();
            // The range was read above.
            if (key == rangeKey)
                continue;
            if (key == AttributeKey::noteStyleName) {
                if (value.isString())
                    merge(attributes, styles.forName(value.toString()));
            } else if (key == AttributeKey::fileFolderUUID || key == AttributeKey::filename) {
                if (!unsafePictureName(key, value).isEmpty())
                    PictureFolders::refuseName(value.toString());
                else if (value.isString())
                    attributes.insert(key, value.toString());
            } else if (key == AttributeKey::isChecklistChecked) {
                if (value.isBool() || value.isDouble()) {
                    merge(attributes, styles.checkList());
                    attributes.insert(key, booleanOf(value));
                }
            } else if (key == AttributeKey::strikethroughStyle) {
                if (isIntegral(value))
                    attributes.insert(key, int(std::clamp<qint64>(integerOf(value), 0, 0xFFFF)));
            } else if (key == AttributeKey::attachment) {
                if (const auto picture = importPicture(value))
                    merge(attributes, *picture);
            } else if (key == AttributeKey::link || key == AttributeKey::attachmentLinkData) {
                if (value.isObject())
                    attributes.insert(AttributeKey::attachmentLinkData,
                        AttributedStringDictionary::linkDictionaryFromJson(value.toObject()));
            } else {
                ConsoleLog::write(QStringLiteral("Unknown attribute %1 : %2").arg(key, printedForm(value)));
            }
        }
        // A run reaching outside the text is clipped to it.
        constexpr qint64 far = qint64(1) << 40;
        const qint64 first = std::clamp<qint64>(integerOf(location), -far, far);
        const qint64 start = std::clamp<qint64>(first, 0, textLength);
        const qint64 end = std::clamp<qint64>(first + std::clamp<qint64>(integerOf(length), 0, far), start, textLength);
        if (end > start && !attributes.isEmpty())
            text.addAttributes(attributes, TextRange {int(start), int(end - start)});
    }
    return text;
}

// Only folders and boards stand at the top of an archive: anything else would be read into the
// store and then left in no folder, column or day group. Entries of another shape are the
// payload check's to refuse.
QString misplacedTopLevelNode(const QJsonArray& nodes)
{
    for (const QJsonValue& entry : nodes) {
        const QJsonObject node = entry.toObject();
        if (node.size() != 1)
            continue;
        const QString className = node.constBegin().key();
        if (className != QLatin1String("Folder") && className != QLatin1String("Kanban"))
            return QStringLiteral("a \"%1\" node at the top, where only folders and boards belong").arg(className);
    }
    return {};
}

} // namespace

// Makes the objects of one checked payload.
class JSONReader::Builder
{
public:
    Builder(JSONReader& reader, ManagedObjectContext& context)
        : m_reader(reader)
        , m_context(context)
    {
        indexIdentifiers();
        indexPictureRecords();
    }

    QList<ManagedObject*> objects(const QJsonArray& nodes)
    {
        QList<ManagedObject*> made;
        for (const QJsonValue& entry : nodes)
            if (ManagedObject* object = node(entry.toObject()))
                made.append(object);
        storeNotes();
        return made;
    }

    // A history entry names its column by identifier; the column may be read after the entry, so
    // the entries follow replaced identifiers only once the whole payload is in.
    void remapHistory()
    {
        const QHash<QString, QString>& mappings = m_reader.m_oldToNewUUIDMappings;
        for (ListItemHistory* entry : std::as_const(m_history)) {
            const QString old = entry->kanbanColumnUniqueIdentifier();
            const auto mapped = mappings.constFind(old);
            if (old.isEmpty() || mapped == mappings.cend())
                continue;
            ConsoleLog::write(QStringLiteral("Mapped UUID %1 -> %2").arg(old, *mapped));
            entry->setKanbanColumnUniqueIdentifier(*mapped);
        }
    }

private:
    ManagedObject* node(const QJsonObject& wrapped)
    {
        if (wrapped.isEmpty())
            return nullptr;
        const QString className = wrapped.constBegin().key();
        const QJsonObject body = wrapped.constBegin().value().toObject();
        const QString uri = body.value(objectIDURIKey).toString();
        if (!uri.isEmpty()) {
            if (ManagedObject* existing = m_reader.m_importedObjects.value(uri))
                return existing;
        }
        ManagedObject* object = m_context.insertNewObject(className);
        if (!uri.isEmpty())
            m_reader.m_importedObjects.insert(uri, object);
        const EntityDescription* entity = object->entity();
        std::optional<AttributedString> notes;
        for (auto it = body.constBegin(); it != body.constEnd(); ++it) {
            const QJsonValue value = it.value();
            if (value.isNull() || it.key() == objectIDURIKey)
                continue;
            if (const AttributeDescription* attribute = entity->attribute(it.key())) {
                if (attribute->type == AttributeDescription::Type::Binary) {
                    // Stored once the whole payload is read, encoded on several threads.
                    notes = notesFrom(value.toObject(), m_styles);
                    if (notes)
                        m_notes.push_back(PendingNotes {object, attribute->name, *notes, {}});
                } else {
                    setAttribute(object, *attribute, value);
                }
            } else if (const RelationshipDescription* relationship = entity->relationship(it.key())) {
                setRelationship(object, *relationship, value);
            }
        }
        // The notes in hand name the pictures; the stored bytes need no decoding.
        if (auto* card = dynamic_cast<ListItem*>(object))
            card->syncImageAttachments(notes, m_pictureRecords);
        if (auto* entry = dynamic_cast<ListItemHistory*>(object))
            m_history.append(entry);
        return object;
    }

    void setRelationship(ManagedObject* object, const RelationshipDescription& relationship, const QJsonValue& value)
    {
        if (relationship.isToMany) {
            if (!PayloadCheck::isReadToMany(object->entity(), relationship)) {
                ConsoleLog::write(QStringLiteral("Skipped \"%1\" of a \"%2\": it is not read from JSON nodes")
                                      .arg(relationship.name, object->entity()->name()));
                return;
            }
            QList<ManagedObject*> members;
            QSet<ManagedObject*> present;
            for (const QJsonValue& member : value.toArray()) {
                ManagedObject* made = node(member.toObject());
                if (made && !present.contains(made)) {
                    present.insert(made);
                    members.append(made);
                }
            }
            object->setObjects(relationship.name, members);
        } else if (relationship.name == mainColumnKey) {
            if (ManagedObject* column = node(value.toObject()))
                object->setObject(relationship.name, column);
        }
    }

    void setAttribute(ManagedObject* object, const AttributeDescription& attribute, const QJsonValue& value)
    {
        using Type = AttributeDescription::Type;
        switch (attribute.type) {
        case Type::Integer16:
        case Type::Integer32:
        case Type::Integer64:
            object->setValue(attribute.name, integerOf(value));
            return;
        case Type::Double:
            object->setValue(attribute.name, value.isBool() ? (value.toBool() ? 1.0 : 0.0) : value.toDouble());
            return;
        case Type::Boolean:
            object->setValue(attribute.name, booleanOf(value));
            return;
        case Type::String:
            if (attribute.name == UniqueIdentifier::key) {
                // An empty identifier names nothing; the one given at insertion stays.
                if (!value.toString().isEmpty())
                    object->setValue(attribute.name, identifierFor(object->entity(), value.toString()));
            } else if (attribute.name != bgImageKey || !value.toString().isEmpty()) {
                // An empty background name is kept as none, which it means, so that it is never
                // taken for a file of the backgrounds folder.
                object->setValue(attribute.name, value.toString());
            }
            return;
        case Type::Date:
            if (const auto date = NodeDate::date(value.toString()))
                object->setValue(attribute.name, *date);
            return;
        case Type::StringList:
            object->setValue(attribute.name, value.toVariant().toStringList());
            return;
        case Type::Binary:
            return;
        }
    }

    void storeNotes()
    {
        // Few notes (a paste) are not worth a thread.
        constexpr qsizetype perThread = 64;
        const qsizetype count = qsizetype(m_notes.size());
        const qsizetype threads = std::clamp<qsizetype>(count / perThread, 1, QThread::idealThreadCount());
        const qsizetype chunk = (count + threads - 1) / std::max<qsizetype>(threads, 1);
        const auto encode = [this, count](qsizetype from, qsizetype to) {
            for (qsizetype i = from; i < std::min(to, count); ++i)
                m_notes[i].stored = RichTextCodec::encode(m_notes[i].notes);
        };
        std::vector<std::thread> workers;
        for (qsizetype from = chunk; from < count; from += chunk)
            workers.emplace_back(encode, from, from + chunk);
        encode(0, chunk);
        for (std::thread& worker : workers)
            worker.join();
        for (const PendingNotes& pending : m_notes)
            pending.object->setValue(pending.attribute, pending.stored);
        m_notes.clear();
    }

    // A copy of objects that are still in the store gets new identifiers, so that links and
    // history entries keep naming one object; an archive read into a store without its objects
    // keeps them.
    QString identifierFor(const EntityDescription* entity, const QString& identifier)
    {
        QString result = identifier;
        const QList<const EntityDescription*> holders = m_identifiers.value(identifier);
        const bool inUse = std::any_of(holders.cbegin(), holders.cend(),
            [entity](const EntityDescription* holder) { return holder->isKindOfEntity(entity); });
        if (inUse) {
            result = UniqueIdentifier::make();
            m_reader.m_oldToNewUUIDMappings.insert(identifier, result);
            ConsoleLog::write(QStringLiteral("UUID %1 -> %2").arg(identifier, result));
        }
        m_identifiers[result].append(entity);
        return result;
    }

    // Every identifier of the context once, instead of a scan per object read.
    void indexIdentifiers()
    {
        for (const EntityDescription* entity : m_context.model().entities()) {
            const bool holdsIdentifier = entity->attribute(UniqueIdentifier::key) != nullptr;
            const EntityDescription* parent = entity->parentEntity();
            if (!holdsIdentifier || (parent && parent->attribute(UniqueIdentifier::key)))
                continue;
            for (const ManagedObject* object : m_context.fetch(FetchRequest(entity->name()))) {
                const QString identifier = object->stringValue(UniqueIdentifier::key);
                if (!identifier.isEmpty())
                    m_identifiers[identifier].append(object->entity());
            }
        }
    }

    struct PendingNotes
    {
        ManagedObject* object;
        QString attribute;
        AttributedString notes;
        QByteArray stored;
    };

    // Every picture record of the context by folder name, instead of a fetch per picture.
    void indexPictureRecords()
    {
        for (ImageAttachment* record : m_context.fetchAs<ImageAttachment>(ImageAttachment::fetchRequest()))
            if (!m_pictureRecords.contains(record->folderUUID()))
                m_pictureRecords.insert(record->folderUUID(), record);
    }

    JSONReader& m_reader;
    ManagedObjectContext& m_context;
    QHash<QString, QList<const EntityDescription*>> m_identifiers;
    QHash<QString, ImageAttachment*> m_pictureRecords;
    QList<ListItemHistory*> m_history;
    StyleSets m_styles;
    std::vector<PendingNotes> m_notes;
};

JSONReader::JSONReader(ManagedObjectContext* managedObjectContext)
    : m_managedObjectContext(managedObjectContext)
{
    ConsoleLog::write(QStringLiteral("JSONReader date formatter set"));
}

QList<ManagedObject*> JSONReader::makeObjectsFromArrayOf(const QJsonArray& dictionaryObjects, QString* error)
{
    ManagedObjectContext* context = m_managedObjectContext;
    QString refusal;
    if (!context) {
        refusal = QStringLiteral("no store is loaded");
    } else {
        PayloadCheck check(context->model(), m_importedObjects);
        if (!check.entries(dictionaryObjects))
            refusal = check.error();
    }
    if (!refusal.isEmpty()) {
        ConsoleLog::write(QStringLiteral("Refused JSON nodes: ") + refusal);
        if (error)
            *error = refusal;
        return {};
    }
    return build(dictionaryObjects);
}

QList<ManagedObject*> JSONReader::build(const QJsonArray& dictionaryObjects)
{
    Builder builder(*this, *m_managedObjectContext);
    QList<ManagedObject*> made = builder.objects(dictionaryObjects);
    builder.remapHistory();
    return made;
}

std::optional<QByteArray> JSONReader::readArchiveFile(const QString& path, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return std::nullopt;
    }
    const QString tooLarge = QStringLiteral("the archive is larger than %1 bytes").arg(maximumArchiveBytes);
    if (file.size() > maximumArchiveBytes) {
        *error = tooLarge;
        return std::nullopt;
    }
    // A file that grows while it is read is cut off just past the limit.
    QByteArray data = file.read(maximumArchiveBytes + 1);
    if (data.size() > maximumArchiveBytes) {
        *error = tooLarge;
        return std::nullopt;
    }
    return data;
}

std::optional<QJsonArray> JSONReader::checkedArchive(
    const QByteArray& data, const ManagedObjectModel& model, QString* error)
{
    QByteArray text = data;
    const std::optional<QStringConverter::Encoding> encoding = QStringConverter::encodingForData(data);
    if (encoding && *encoding != QStringConverter::Utf8) {
        QStringDecoder decode(*encoding);
        const QString decoded = decode(data);
        if (decode.hasError()) {
            *error = QStringLiteral("the archive is not readable text");
            return std::nullopt;
        }
        text = decoded.toUtf8();
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(text, &parseError);
    if (document.isNull()) {
        *error = QStringLiteral("the archive is no array of JSON nodes: %1 at byte %2")
                     .arg(parseError.errorString())
                     .arg(parseError.offset);
        return std::nullopt;
    }
    if (!document.isArray()) {
        *error = QStringLiteral("the archive is no array of JSON nodes: not an array");
        return std::nullopt;
    }
    const QJsonArray nodes = document.array();
    *error = misplacedTopLevelNode(nodes);
    if (error->isEmpty()) {
        const QHash<QString, ManagedObject*> noneMadeYet;
        PayloadCheck check(model, noneMadeYet);
        if (!check.entries(nodes))
            *error = check.error();
    }
    if (!error->isEmpty())
        return std::nullopt;
    return nodes;
}

QList<ManagedObject*> JSONReader::makeObjectsFromArchiveData(const QByteArray& data, QString* error)
{
    QString refusal;
    std::optional<QJsonArray> nodes;
    if (!m_managedObjectContext)
        refusal = QStringLiteral("no store is loaded");
    else
        nodes = checkedArchive(data, m_managedObjectContext->model(), &refusal);
    if (!nodes) {
        ConsoleLog::write(QStringLiteral("Refused JSON nodes: ") + refusal);
        if (error)
            *error = refusal;
        return {};
    }
    // Checked already, unless nodes read before are given again, which the check must see.
    return m_importedObjects.isEmpty() ? build(*nodes) : makeObjectsFromArrayOf(*nodes, error);
}

std::optional<AttributedString> JSONReader::attributedStringFrom(const QJsonObject& dict)
{
    StyleSets styles;
    return notesFrom(dict, styles);
}
