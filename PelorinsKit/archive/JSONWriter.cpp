#include "PelorinsKit/archive/JSONWriter.h"

#include "PelorinsKit/archive/ArchiveNotesText.h"
#include "PelorinsKit/archive/AttributedStringDictionary.h"
#include "PelorinsKit/archive/JSONTextWriter.h"
#include "PelorinsKit/archive/NodeDate.h"
#include "PelorinsKit/model/DisplayItem.h"
#include "PelorinsKit/model/Folder.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/model/Tag.h"
#include "PelorinsKit/notes/RichTextCodec.h"

#include "Platform/core/ConsoleLog.h"

#include <QHash>
#include <QIODevice>
#include <QSet>
#include <QThread>
#include <QUrl>
#include <thread>
#include <vector>

namespace {

const QString objectIDURIKey = QStringLiteral("objectIDURI");
const QString mainColumnKey = QStringLiteral("mainColumn");

// Whether the export marks choose what is written; a snapshot takes everything.
enum class Selection { exportMarks, everything };

// A folder or board the user left out of the export is written as nothing; a folder whose
// children disagree is still written so that its chosen children travel with it.
bool passesExportTest(ManagedObject* node)
{
    auto* item = dynamic_cast<DisplayItem*>(node);
    if (!item || !(dynamic_cast<Folder*>(item) || dynamic_cast<Kanban*>(item)))
        return true;
    if (item->isExport())
        return true;
    auto* folder = dynamic_cast<Folder*>(item);
    return folder && folder->childrenHasMixedStates();
}

QJsonValue attributeValue(const AttributeDescription& attribute, const QVariant& value)
{
    if (attribute.type == AttributeDescription::Type::Binary) {
        // The only bytes of the model are notes in their stored encoding.
        const std::optional<AttributedString> notes = RichTextCodec::decode(value.toByteArray());
        return notes ? QJsonValue(AttributedStringDictionary::dictionaryRepresentation(*notes))
                     : QJsonValue(QJsonValue::Undefined);
    }
    return JSONWriter::convertObjectToJSONCompliantValue(value);
}

QJsonObject wrappedNode(ManagedObject* node, Selection selection);

QJsonArray wrappedNodes(const QList<ManagedObject*>& members, Selection selection)
{
    QJsonArray nodes;
    for (ManagedObject* member : members) {
        QJsonObject node = wrappedNode(member, selection);
        if (!node.isEmpty())
            nodes.append(node);
    }
    return nodes;
}

QJsonObject nodeBody(ManagedObject* node, Selection selection)
{
    QJsonObject body;
    if (selection == Selection::exportMarks && !passesExportTest(node))
        return body;
    const EntityDescription* entity = node->entity();
    for (const AttributeDescription& attribute : entity->attributes()) {
        const QVariant value = node->value(attribute.name);
        if (!value.isValid())
            continue;
        const QJsonValue converted = attributeValue(attribute, value);
        if (!converted.isUndefined())
            body.insert(attribute.name, converted);
    }
    const bool isTag = dynamic_cast<Tag*>(node) != nullptr;
    for (const RelationshipDescription& relationship : entity->relationships()) {
        if (relationship.isToMany) {
            // A tag never has children; unordered relationships are not part of the format.
            if (!relationship.isOrdered || (isTag && relationship.name == DisplayItem::childrenKey))
                continue;
            body.insert(relationship.name, wrappedNodes(node->objects(relationship.name), selection));
        } else if (relationship.name == mainColumnKey) {
            if (auto* column = dynamic_cast<KanbanColumn*>(node->object(relationship.name)))
                body.insert(relationship.name, wrappedNode(column, selection));
        }
    }
    return body;
}

QJsonObject wrappedNode(ManagedObject* node, Selection selection)
{
    if (!node)
        return {};
    QJsonObject body = nodeBody(node, selection);
    if (body.isEmpty())
        return body;
    body.insert(objectIDURIKey, node->objectIDURI().toString(QUrl::FullyEncoded));
    return QJsonObject {{node->entity()->name(), body}};
}

void logUnreadableNotes(const QString& reason)
{
    ConsoleLog::write(QStringLiteral("Stored notes are unreadable (%1); they read as no notes").arg(reason));
}

// The archive written piece by piece: the same nodes as wrappedNode() in the export selection,
// with each body's keys in the order a QJsonObject sorts them.
class ArchiveStream
{
public:
    explicit ArchiveStream(QIODevice& device)
        : m_out(&device)
    {
    }

    bool write(const QList<DisplayItem*>& items)
    {
        prepareNotes(items);
        m_out.beginArray();
        for (DisplayItem* item : items)
            writeNode(item);
        m_out.endArray();
        return m_out.flush();
    }

private:
    struct BodyKey
    {
        enum class Kind { attribute, toMany, mainColumn, objectIDURI };
        QString name;
        Kind kind = Kind::attribute;
        const AttributeDescription* attribute = nullptr;
    };

    // Notes converted ahead, on several threads, from their stored bytes.
    struct Notes
    {
        QByteArray stored;
        std::optional<QByteArray> text;
        QString reason;
        QStringList pictureFolders;
    };

    const QList<BodyKey>& keysOf(ManagedObject* node)
    {
        const EntityDescription* entity = node->entity();
        auto found = m_keys.constFind(entity);
        if (found != m_keys.cend())
            return *found;
        QList<BodyKey> keys;
        for (const AttributeDescription& attribute : entity->attributes())
            keys.append(BodyKey {attribute.name, BodyKey::Kind::attribute, &attribute});
        const bool isTag = dynamic_cast<Tag*>(node) != nullptr;
        for (const RelationshipDescription& relationship : entity->relationships()) {
            if (relationship.isToMany) {
                if (relationship.isOrdered && !(isTag && relationship.name == DisplayItem::childrenKey))
                    keys.append(BodyKey {relationship.name, BodyKey::Kind::toMany});
            } else if (relationship.name == mainColumnKey) {
                keys.append(BodyKey {relationship.name, BodyKey::Kind::mainColumn});
            }
        }
        keys.append(BodyKey {objectIDURIKey, BodyKey::Kind::objectIDURI});
        std::sort(keys.begin(), keys.end(), [](const BodyKey& a, const BodyKey& b) { return a.name < b.name; });
        return *m_keys.insert(entity, keys);
    }

    // The members written under `node` in the export selection.
    template <typename Visit> void forEachMember(ManagedObject* node, Visit visit)
    {
        for (const BodyKey& key : keysOf(node)) {
            if (key.kind == BodyKey::Kind::toMany) {
                for (ManagedObject* member : node->objects(key.name))
                    visit(member);
            } else if (key.kind == BodyKey::Kind::mainColumn) {
                if (auto* column = dynamic_cast<KanbanColumn*>(node->object(key.name)))
                    visit(column);
            }
        }
    }

    // The export test answered once per node: asking a folder whether its children's marks are
    // mixed also sets its own mark, so a second answer could let in a folder whose notes were
    // never prepared.
    bool passes(ManagedObject* node)
    {
        const auto known = m_passes.constFind(node);
        if (known != m_passes.cend())
            return *known;
        const bool passed = passesExportTest(node);
        m_passes.insert(node, passed);
        return passed;
    }

    void collectNotes(ManagedObject* node, QSet<const ManagedObject*>& visited)
    {
        if (!node || visited.contains(node) || !passes(node))
            return;
        visited.insert(node);
        for (const BodyKey& key : keysOf(node)) {
            if (key.kind != BodyKey::Kind::attribute || key.attribute->type != AttributeDescription::Type::Binary)
                continue;
            const QVariant value = node->value(key.name);
            if (!value.isValid())
                continue;
            m_noteIndex.insert({node, key.attribute}, m_notes.size());
            m_notes.push_back(Notes {value.toByteArray(), std::nullopt, {}, {}});
        }
        forEachMember(node, [&](ManagedObject* member) { collectNotes(member, visited); });
    }

    void prepareNotes(const QList<DisplayItem*>& items)
    {
        QSet<const ManagedObject*> visited;
        for (DisplayItem* item : items)
            collectNotes(item, visited);
        const qsizetype count = qsizetype(m_notes.size());
        const qsizetype threads = std::clamp<qsizetype>(QThread::idealThreadCount(), 1, 8);
        const qsizetype chunk = (count + threads - 1) / threads;
        const auto convert = [this, count](qsizetype from, qsizetype to) {
            ArchiveNotesText converter;
            for (qsizetype i = from; i < std::min(to, count); ++i)
                m_notes[i].text
                    = converter.dictionaryText(m_notes[i].stored, &m_notes[i].reason, &m_notes[i].pictureFolders);
        };
        std::vector<std::thread> workers;
        for (qsizetype from = chunk; from < count; from += chunk)
            workers.emplace_back(convert, from, from + chunk);
        convert(0, chunk);
        for (std::thread& worker : workers)
            worker.join();
    }

    // Writes what wrappedNode() gives for `node`; nothing, and false, where it gives an empty object.
    bool writeNode(ManagedObject* node)
    {
        if (!node || !passes(node))
            return false;
        // Whether the body holds anything is known at its first key other than "objectIDURI".
        const JSONTextWriter::Mark mark = m_out.mark();
        bool pending = true;
        const auto hasBody = [&] {
            if (pending)
                m_out.release();
            pending = false;
        };
        m_out.beginObject();
        m_out.key(node->entity()->name());
        m_out.beginObject();
        for (const BodyKey& key : keysOf(node)) {
            switch (key.kind) {
            case BodyKey::Kind::attribute:
                if (writeAttribute(node, key))
                    hasBody();
                break;
            case BodyKey::Kind::toMany:
                m_out.key(key.name);
                hasBody();
                m_out.beginArray();
                for (ManagedObject* member : node->objects(key.name))
                    writeNode(member);
                m_out.endArray();
                break;
            case BodyKey::Kind::mainColumn:
                if (auto* column = dynamic_cast<KanbanColumn*>(node->object(key.name))) {
                    m_out.key(key.name);
                    hasBody();
                    if (!writeNode(column))
                        m_out.raw("{}");
                }
                break;
            case BodyKey::Kind::objectIDURI:
                m_out.key(key.name);
                m_out.string(node->objectIDURI().toString(QUrl::FullyEncoded));
                break;
            }
        }
        if (pending) {
            m_out.rollback(mark);
            return false;
        }
        m_out.endObject();
        m_out.endObject();
        return true;
    }

    bool writeAttribute(ManagedObject* node, const BodyKey& key)
    {
        const QVariant value = node->value(key.name);
        if (!value.isValid())
            return false;
        if (key.attribute->type == AttributeDescription::Type::Binary) {
            const Notes& notes = m_notes.at(m_noteIndex.value({node, key.attribute}));
            if (!notes.text) {
                logUnreadableNotes(notes.reason);
                return false;
            }
            m_out.key(key.name);
            m_out.raw(*notes.text);
            for (const QString& folder : notes.pictureFolders) {
                if (!m_pictureFolderSet.contains(folder)) {
                    m_pictureFolderSet.insert(folder);
                    m_pictureFolders.append(folder);
                }
            }
            return true;
        }
        switch (value.typeId()) {
        case QMetaType::QString:
            m_out.key(key.name);
            m_out.string(value.toString());
            return true;
        case QMetaType::Bool:
            m_out.key(key.name);
            m_out.boolean(value.toBool());
            return true;
        case QMetaType::Int:
        case QMetaType::LongLong:
            m_out.key(key.name);
            m_out.integer(value.toLongLong());
            return true;
        case QMetaType::Double:
            m_out.key(key.name);
            m_out.number(value.toDouble());
            return true;
        case QMetaType::QDateTime:
            m_out.key(key.name);
            m_out.string(NodeDate::string(value.toDateTime()));
            return true;
        default: {
            const QJsonValue converted = JSONWriter::convertObjectToJSONCompliantValue(value);
            if (converted.isUndefined())
                return false;
            m_out.key(key.name);
            m_out.value(converted);
            return true;
        }
        }
    }

public:
    const QStringList& pictureFolders() const { return m_pictureFolders; }

private:
    JSONTextWriter m_out;
    QStringList m_pictureFolders;
    QSet<QString> m_pictureFolderSet;
    QHash<const EntityDescription*, QList<BodyKey>> m_keys;
    std::vector<Notes> m_notes;
    QHash<std::pair<const ManagedObject*, const AttributeDescription*>, qsizetype> m_noteIndex;
    QHash<const ManagedObject*, bool> m_passes;
};

} // namespace

QJsonObject JSONWriter::genericTraversingNode(ManagedObject* node, bool includeClassName)
{
    Q_UNUSED(includeClassName);
    return wrappedNode(node, Selection::exportMarks);
}

QJsonObject JSONWriter::snapshotNode(ManagedObject* node)
{
    return wrappedNode(node, Selection::everything);
}

QJsonValue JSONWriter::convertObjectToJSONCompliantValue(const QVariant& object)
{
    return AttributedStringDictionary::jsonValue(object);
}

QJsonArray JSONWriter::archiveArray(const QList<DisplayItem*>& items)
{
    QJsonArray archive;
    for (DisplayItem* item : items) {
        QJsonObject node = genericTraversingNode(item, true);
        if (!node.isEmpty())
            archive.append(node);
    }
    return archive;
}

bool JSONWriter::writeArchive(const QList<DisplayItem*>& items, QIODevice& device, QStringList* pictureFolders)
{
    ArchiveStream stream(device);
    const bool written = stream.write(items);
    if (pictureFolders)
        *pictureFolders = stream.pictureFolders();
    return written;
}
