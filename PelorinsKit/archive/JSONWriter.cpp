#include "PelorinsKit/archive/JSONWriter.h"

#include "PelorinsKit/archive/ArchiveNotesPool.h"
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
#include <charconv>
#include <deque>
#include <memory>
#include <unordered_map>
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

// The archive written piece by piece in one walk of the graph: the same nodes as wrappedNode() in
// the export selection, with each body's keys in the order a QJsonObject sorts them.
//
// Notes are the costly part, so the walk leaves a place for each and hands its stored bytes to a
// pool of threads. The text goes out in blocks, each once the walk is a few blocks further on,
// with the converted notes put in their places; unreadable ones are left out there, with their
// console line.
class ArchiveStream
{
public:
    explicit ArchiveStream(QIODevice& device)
        : m_device(device)
        , m_pool(std::clamp(QThread::idealThreadCount() - 1, 1, 7))
    {
    }

    bool write(const QList<DisplayItem*>& items)
    {
        m_out.beginArray();
        for (DisplayItem* item : items) {
            if (m_failed)
                return false;
            writeNode(item);
        }
        m_out.endArray();
        cutBlock();
        while (!m_blocks.empty())
            writeOldestBlock();
        return !m_failed;
    }

    const QStringList& pictureFolders() const { return m_pictureFolders; }

private:
    // The text is handed on in blocks of about this size: large enough that the device is
    // written in few calls, small enough that the blocks waiting for their notes never matter in
    // memory.
    static constexpr qsizetype blockSize = 256 * 1024;
    // Blocks that wait for their notes while the walk goes on, so that the threads have work.
    static constexpr size_t blocksAhead = 3;

    struct BodyKey
    {
        enum class Kind { attribute, toMany, mainColumn, objectIDURI };
        QString name;
        QByteArray keyText;
        Kind kind = Kind::attribute;
        const AttributeDescription* attribute = nullptr;
        std::unique_ptr<ManagedObject::PropertyKey> property;
    };

    struct EntityKeys
    {
        std::vector<BodyKey> keys;
        QByteArray nameKey;
        // Folders and boards, which the export marks may leave out.
        bool exportTested = false;
        // The text every URI of this entity in `uriContext` starts with, up to its number;
        // empty when the URIs do not have that form.
        const ManagedObjectContext* uriContext = nullptr;
        QByteArray uriPrefix;
    };

    // The place of a note in the text: filled with `key` and the note's text when it is readable.
    struct Hole
    {
        qsizetype offset = 0;
        ArchiveNotesPool::Job* job = nullptr;
        const QByteArray* key = nullptr;
        bool commaDue = false;
        // In a node taken back: only its console line is left to write.
        bool dropped = false;
    };

    struct Block
    {
        QByteArray text;
        std::vector<Hole> holes;
    };

    EntityKeys& keysOf(ManagedObject* node)
    {
        const EntityDescription* entity = node->entity();
        auto found = m_keys.find(entity);
        if (found != m_keys.end())
            return found->second;
        EntityKeys made;
        made.nameKey = JSONTextWriter::keyText(entity->name());
        made.exportTested = dynamic_cast<Folder*>(node) || dynamic_cast<Kanban*>(node);
        const auto add = [&made](const QString& name, BodyKey::Kind kind, const AttributeDescription* attribute) {
            made.keys.push_back(BodyKey {name, JSONTextWriter::keyText(name), kind, attribute,
                std::make_unique<ManagedObject::PropertyKey>(name)});
        };
        for (const AttributeDescription& attribute : entity->attributes())
            add(attribute.name, BodyKey::Kind::attribute, &attribute);
        const bool isTag = dynamic_cast<Tag*>(node) != nullptr;
        for (const RelationshipDescription& relationship : entity->relationships()) {
            if (relationship.isToMany) {
                if (relationship.isOrdered && !(isTag && relationship.name == DisplayItem::childrenKey))
                    add(relationship.name, BodyKey::Kind::toMany, nullptr);
            } else if (relationship.name == mainColumnKey) {
                add(relationship.name, BodyKey::Kind::mainColumn, nullptr);
            }
        }
        add(objectIDURIKey, BodyKey::Kind::objectIDURI, nullptr);
        std::sort(
            made.keys.begin(), made.keys.end(), [](const BodyKey& a, const BodyKey& b) { return a.name < b.name; });
        return m_keys.emplace(entity, std::move(made)).first->second;
    }

    // The export test answered once per node: asking a folder whether its children's marks are
    // mixed also sets its own mark, so a second answer could differ from the first.
    bool passes(ManagedObject* node)
    {
        const auto known = m_passes.constFind(node);
        if (known != m_passes.cend())
            return *known;
        const bool passed = passesExportTest(node);
        m_passes.insert(node, passed);
        return passed;
    }

    // Writes what wrappedNode() gives for `node`; nothing, and false, where it gives an empty object.
    bool writeNode(ManagedObject* node)
    {
        if (!node)
            return false;
        EntityKeys& entity = keysOf(node);
        if (entity.exportTested && !passes(node))
            return false;
        // Whether the body holds anything is known at its first key other than "objectIDURI",
        // or from its notes, at the latest when the body ends.
        const JSONTextWriter::Mark mark = m_out.mark();
        const size_t holesBefore = m_holes.size();
        bool pending = true;
        const auto hasBody = [&] {
            if (pending)
                m_out.release();
            pending = false;
        };
        m_out.beginObject();
        m_out.escapedKey(entity.nameKey);
        m_out.beginObject();
        for (const BodyKey& key : entity.keys) {
            switch (key.kind) {
            case BodyKey::Kind::attribute:
                if (key.attribute->type == AttributeDescription::Type::Binary)
                    holdNotes(node, key);
                else if (writeAttribute(node, key))
                    hasBody();
                break;
            case BodyKey::Kind::toMany:
                m_out.escapedKey(key.keyText);
                hasBody();
                m_out.beginArray();
                for (ManagedObject* member : node->objects(*key.property))
                    writeNode(member);
                m_out.endArray();
                break;
            case BodyKey::Kind::mainColumn:
                if (auto* column = dynamic_cast<KanbanColumn*>(node->object(*key.property))) {
                    m_out.escapedKey(key.keyText);
                    hasBody();
                    if (!writeNode(column))
                        m_out.raw("{}");
                }
                break;
            case BodyKey::Kind::objectIDURI:
                m_out.escapedKey(key.keyText);
                writeURI(node, entity);
                break;
            }
        }
        for (size_t i = holesBefore; pending && i < m_holes.size(); ++i) {
            if (m_pool.finished(m_holes[i].job).text)
                hasBody();
        }
        if (pending) {
            m_out.rollback(mark);
            for (size_t i = holesBefore; i < m_holes.size(); ++i)
                m_holes[i] = Hole {mark.size, m_holes[i].job, m_holes[i].key, false, true};
            return false;
        }
        m_out.endObject();
        m_out.endObject();
        if (!m_out.isMarked() && m_out.text().size() >= blockSize)
            cutBlock();
        return true;
    }

    void holdNotes(ManagedObject* node, const BodyKey& key)
    {
        const QVariant& value = node->value(*key.property);
        if (!value.isValid())
            return;
        ArchiveNotesPool::Job* job = m_pool.submit(value.toByteArray());
        const qsizetype offset = m_out.text().size();
        m_holes.push_back(Hole {offset, job, &key.keyText, m_out.deferredValue(), false});
    }

    void writeURI(ManagedObject* node, EntityKeys& entity)
    {
        if (entity.uriContext != node->managedObjectContext()) {
            entity.uriContext = node->managedObjectContext();
            entity.uriPrefix = uriPrefix(node);
        }
        if (entity.uriPrefix.isEmpty()) {
            m_out.string(node->objectIDURI().toString(QUrl::FullyEncoded));
            return;
        }
        char digits[24];
        const auto end = std::to_chars(std::begin(digits), std::end(digits), node->objectIDNumber()).ptr;
        m_uri.resize(0);
        m_uri.append(entity.uriPrefix).append(digits, end - digits).append('"');
        m_out.raw(m_uri);
    }

    // The opening quote and escaped text of `node`'s URI up to its number, when it ends so.
    static QByteArray uriPrefix(ManagedObject* node)
    {
        const QString uri = node->objectIDURI().toString(QUrl::FullyEncoded);
        const QString number = QStringLiteral("/p") + QString::number(node->objectIDNumber());
        if (!uri.endsWith(number))
            return {};
        QByteArray prefix;
        JSONTextWriter::appendEscaped(prefix, QStringView(uri).chopped(number.size() - 2));
        prefix.chop(1);
        return prefix;
    }

    bool writeAttribute(ManagedObject* node, const BodyKey& key)
    {
        const QVariant& value = node->value(*key.property);
        if (!value.isValid())
            return false;
        switch (value.typeId()) {
        case QMetaType::QString:
            m_out.escapedKey(key.keyText);
            m_out.string(value.toString());
            return true;
        case QMetaType::Bool:
            m_out.escapedKey(key.keyText);
            m_out.boolean(value.toBool());
            return true;
        case QMetaType::Int:
        case QMetaType::LongLong:
            m_out.escapedKey(key.keyText);
            m_out.integer(value.toLongLong());
            return true;
        case QMetaType::Double:
            m_out.escapedKey(key.keyText);
            m_out.number(value.toDouble());
            return true;
        case QMetaType::QDateTime:
            m_out.escapedKey(key.keyText);
            m_out.string(NodeDate::string(value.toDateTime()));
            return true;
        default: {
            const QJsonValue converted = JSONWriter::convertObjectToJSONCompliantValue(value);
            if (converted.isUndefined())
                return false;
            m_out.escapedKey(key.keyText);
            m_out.value(converted);
            return true;
        }
        }
    }

    void cutBlock()
    {
        Block block;
        if (!m_spareTexts.empty()) {
            block.text = std::move(m_spareTexts.back());
            m_spareTexts.pop_back();
        }
        m_out.exchangeText(block.text);
        block.holes = std::move(m_holes);
        m_holes.clear();
        m_blocks.push_back(std::move(block));
        m_pool.publish();
        if (m_blocks.size() > blocksAhead)
            writeOldestBlock();
    }

    void writeOldestBlock()
    {
        Block& block = m_blocks.front();
        m_written.resize(0);
        qsizetype from = 0;
        for (const Hole& hole : block.holes) {
            appendText(block.text, from, hole.offset);
            from = hole.offset;
            ArchiveNotesPool::Job& job = m_pool.finished(hole.job);
            if (!job.text) {
                logUnreadableNotes(job.reason);
                // Left out: the comma it was to be separated by goes with it.
                if (!hole.dropped && !hole.commaDue)
                    m_dropComma = true;
            } else if (!hole.dropped) {
                if (hole.commaDue && !m_dropComma)
                    m_written.append(',');
                m_dropComma = false;
                m_written.append(*hole.key).append(*job.text);
                for (const QString& folder : std::as_const(job.pictureFolders)) {
                    if (!m_pictureFolderSet.contains(folder)) {
                        m_pictureFolderSet.insert(folder);
                        m_pictureFolders.append(folder);
                    }
                }
            }
            m_pool.release(job);
        }
        appendText(block.text, from, block.text.size());
        if (!m_failed && m_device.write(m_written) != m_written.size())
            m_failed = true;
        block.text.resize(0);
        m_spareTexts.push_back(std::move(block.text));
        m_blocks.pop_front();
    }

    // Text the walk wrote, but for a comma a left-out note took with it.
    void appendText(const QByteArray& text, qsizetype from, qsizetype to)
    {
        if (from == to)
            return;
        if (m_dropComma && text.at(from) == ',')
            ++from;
        m_dropComma = false;
        m_written.append(text.constData() + from, to - from);
    }

    QIODevice& m_device;
    JSONTextWriter m_out;
    ArchiveNotesPool m_pool;
    std::vector<Hole> m_holes;
    std::deque<Block> m_blocks;
    std::vector<QByteArray> m_spareTexts;
    QByteArray m_written;
    QByteArray m_uri;
    bool m_dropComma = false;
    bool m_failed = false;
    QStringList m_pictureFolders;
    QSet<QString> m_pictureFolderSet;
    std::unordered_map<const EntityDescription*, EntityKeys> m_keys;
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
