#include "PelorinsKit/archive/JSONReader.h"

#include "PelorinsKit/archive/AttributedStringDictionary.h"
#include "PelorinsKit/archive/NodeNumbers.h"
#include "PelorinsKit/archive/NodePlan.h"
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
#include <QFileInfo>
#include <QImage>
#include <QJsonDocument>
#include <QSet>
#include <QStringDecoder>
#include <QThread>
#include <QVarLengthArray>
#include <bit>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <limits>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <vector>

using AttributedStringDictionary::isNotesDictionary;
using AttributedStringDictionary::lengthKey;
using AttributedStringDictionary::locationKey;
using AttributedStringDictionary::rangeKey;
using AttributedStringDictionary::runsKey;
using AttributedStringDictionary::stringKey;
using NodeNumbers::booleanOf;
using NodeNumbers::integerOf;
using NodeNumbers::isIntegral;

namespace {

const QString bgImageKey = QStringLiteral("bgImage");
const QString importedPictureName = QStringLiteral("imported.png");

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

// A picture carried as Base64: written as "imported.png" into a new picture folder, which the run
// then names. Nothing when the text is no picture.
std::optional<QVariantMap> importPicture(const QJsonValue& value)
{
    if (!value.isString() || value.toString().size() > JSONReader::maximumPictureText)
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

// The attributes of one run of notes (its range left out). Pictures carried as Base64 are written
// to new picture folders; unsafe picture names are dropped with a console line.
QVariantMap runAttributes(const QJsonObject& run, StyleSets& styles)
{
    QVariantMap attributes;
    for (auto it = run.constBegin(); it != run.constEnd(); ++it) {
        const QString& key = it.key();
        const QJsonValue value = it.value();
        // The caller reads the range.
        if (key == rangeKey)
            continue;
        if (key == AttributeKey::noteStyleName) {
            if (value.isString())
                merge(attributes, styles.forName(value.toString()));
        } else if (key == AttributeKey::fileFolderUUID || key == AttributeKey::filename) {
            if (!NodePlan::unsafePictureName(key, value).isEmpty())
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
    return attributes;
}

// A hash of the keys and texts of attributes, which equal attributes share: other values are left
// out, since values of two types may compare equal.
size_t textsHash(const QVariantMap& attributes, size_t seed = 0)
{
    for (auto it = attributes.cbegin(); it != attributes.cend(); ++it) {
        seed = qHashMulti(seed, it.key());
        if (it.value().typeId() == QMetaType::QString)
            seed = qHashMulti(seed, *static_cast<const QString*>(it.value().constData()));
        else if (it.value().typeId() == QMetaType::QVariantMap)
            seed = textsHash(*static_cast<const QVariantMap*>(it.value().constData()), seed);
    }
    return seed;
}

// The length in UTF-16 code units of a plan's text: well-formed UTF-8 but for lone surrogates in
// the generalised form, one unit each like any three-byte sequence.
qsizetype utf16Length(QByteArrayView utf8)
{
    // Eight bytes at a time: a unit for each byte but continuation bytes (10xxxxxx), and a second
    // for each lead of four bytes (11110xxx).
    constexpr quint64 highBits = 0x8080808080808080ULL;
    qsizetype length = 0;
    qsizetype at = 0;
    for (; utf8.size() - at >= 8; at += 8) {
        quint64 word;
        std::memcpy(&word, utf8.data() + at, sizeof word);
        const quint64 continuations = word & ~(word << 1) & highBits;
        const quint64 fourByteLeads = word & (word << 1) & (word << 2) & (word << 3) & highBits;
        length += 8 - std::popcount(continuations) + std::popcount(fourByteLeads);
    }
    for (; at < utf8.size(); ++at) {
        const auto byte = uchar(utf8[at]);
        length += ((byte & 0xC0) != 0x80) + (byte >= 0xF0);
    }
    return length;
}

// A run reaching outside the text is clipped to it.
void addRun(AttributedString& text, qint64 location, qint64 length, const QVariantMap& attributes)
{
    constexpr qint64 far = qint64(1) << 40;
    const qint64 textLength = text.length();
    const qint64 first = std::clamp<qint64>(location, -far, far);
    const qint64 start = std::clamp<qint64>(first, 0, textLength);
    const qint64 end = std::clamp<qint64>(first + std::clamp<qint64>(length, 0, far), start, textLength);
    if (end > start && !attributes.isEmpty())
        text.addAttributes(attributes, TextRange {int(start), int(end - start)});
}

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
    for (const QJsonValue& runValue : runs) {
        const QJsonObject run = runValue.toObject();
        const QJsonValue rangeValue = run.value(rangeKey);
        const QJsonObject range = rangeValue.toObject();
        const QJsonValue location = range.value(locationKey);
        const QJsonValue length = range.value(lengthKey);
        if (!rangeValue.isObject() || !isIntegral(location) || !isIntegral(length))
            continue;
        addRun(text, integerOf(location), integerOf(length), runAttributes(run, styles));
    }
    return text;
}

} // namespace

// Makes the objects of one checked plan.
class JSONReader::Builder
{
public:
    Builder(JSONReader& reader, ManagedObjectContext& context, const NodePlan& plan,
        std::function<void(ManagedObject*)> finish = {})
        : m_reader(reader)
        , m_context(context)
        , m_plan(plan)
        , m_finish(std::move(finish))
        , m_dictionaries(size_t(plan.runDictionaryCount()))
    {
        indexIdentifiers();
        indexPictureRecords();
    }
    ~Builder() { finishEncoding(); }
    Builder(const Builder&) = delete;
    Builder& operator=(const Builder&) = delete;

    QList<ManagedObject*> objects()
    {
        m_reader.m_importedObjects.reserve(m_reader.m_importedObjects.size() + m_plan.nodeCount());
        startEncoding();
        QList<ManagedObject*> made;
        for (const qsizetype entry : m_plan.entries())
            if (ManagedObject* object = node(entry))
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
    // Notes to store: their text and parts (in m_noteSets and m_noteRuns), or the notes
    // themselves when they have no parts (see storedParts).
    struct PendingNotes
    {
        ManagedObject* object;
        const AttributeDescription* attribute;
        NodePlan::Text text;
        qsizetype firstSet = 0;
        qsizetype setCount = 0;
        qsizetype firstRun = 0;
        qsizetype runCount = 0;
        std::optional<AttributedString> notes;
        QByteArray stored;
    };

    ManagedObject* node(qsizetype index)
    {
        const NodePlan::Node& node = m_plan.node(index);
        if (node.classCount == 0)
            return nullptr;
        const QString uri = m_plan.string(node.uri);
        if (!uri.isEmpty()) {
            if (ManagedObject* existing = m_reader.m_importedObjects.value(uri))
                return existing;
        }
        ManagedObject* object = m_context.insertNewObject(node.className);
        if (!uri.isEmpty())
            m_reader.m_importedObjects.insert(uri, object);
        QStringList pictureFolders;
        for (qsizetype i = node.firstItem; i < node.firstItem + node.itemCount; ++i) {
            const NodePlan::Item& item = m_plan.item(i);
            switch (item.kind) {
            case NodePlan::Item::Kind::Value:
                setAttribute(object, *item.attribute, m_plan.value(item));
                break;
            case NodePlan::Item::Kind::Notes:
                // Stored once the whole payload is read, encoded on several threads.
                pictureFolders = addNotes(object, *item.attribute, m_plan.notes(item.first));
                break;
            case NodePlan::Item::Kind::Members:
                setMembers(object, *item.relationship, item.first, item.count);
                break;
            case NodePlan::Item::Kind::Member:
                if (ManagedObject* member = this->node(item.first))
                    object->setObject(item.relationship->name, member);
                break;
            case NodePlan::Item::Kind::Skipped:
                ConsoleLog::write(QStringLiteral("Skipped \"%1\" of a \"%2\": it is not read from JSON nodes")
                                      .arg(item.relationship->name, node.className));
                break;
            case NodePlan::Item::Kind::Refusal:
                break;
            }
        }
        // The notes in hand name the pictures; the stored bytes need no decoding.
        if (auto* card = dynamic_cast<ListItem*>(object))
            card->syncImageAttachments(pictureFolders, m_pictureRecords);
        if (auto* entry = dynamic_cast<ListItemHistory*>(object))
            m_history.append(entry);
        if (m_finish)
            m_finish(object);
        return object;
    }

    void setMembers(
        ManagedObject* object, const RelationshipDescription& relationship, qsizetype first, qsizetype count)
    {
        QList<ManagedObject*> members;
        members.reserve(count);
        QSet<ManagedObject*> present;
        for (qsizetype m = first; m < first + count; ++m) {
            ManagedObject* made = node(m_plan.members()[size_t(m)]);
            if (made && !present.contains(made)) {
                present.insert(made);
                members.append(made);
            }
        }
        // Objects made here are new, and fill their lists at once; objects given again from an
        // earlier payload go the announced way.
        if (!m_context.fillNewToMany(object, relationship, members))
            object->setObjects(relationship.name, members);
    }

    // Notes to be stored, and the picture folders they name. Notes whose runs come in order
    // without overlapping, as every export writes them, are stored straight from their parts;
    // others are built as an AttributedString first.
    QStringList addNotes(ManagedObject* object, const AttributeDescription& attribute, const NodePlan::Notes& planned)
    {
        // The arrays are sized for every note of the plan; should one have to grow, the
        // workers stop first and this thread encodes the rest.
        const auto runs = size_t(planned.runCount);
        if (m_notes.size() == m_notes.capacity() || m_noteRuns.capacity() - m_noteRuns.size() < 2 * runs + 1
            || m_noteSets.capacity() - m_noteSets.size() < 2 * runs + 1)
            finishEncoding();
        PendingNotes& pending
            = m_notes.emplace_back(PendingNotes {object, &attribute, planned.text, 0, 0, 0, 0, std::nullopt, {}});
        QStringList pictureFolders;
        if (!storedParts(planned, pending, pictureFolders)) {
            pending.notes = notes(planned, m_plan.string(planned.text));
            pictureFolders = ListItem::pictureFolderNames(pending.notes);
        }
        if (m_notes.size() - m_notesPublishedHere >= notesPerBatch)
            publishNotes(false);
        return pictureFolders;
    }

    // Runs sharing a dictionary share its attributes, made once; a run that carries a picture
    // makes its own picture folder each time.
    AttributedString notes(const NodePlan::Notes& planned, const QString& string)
    {
        AttributedString text(string);
        for (const NodePlan::Run& run : m_plan.runs(planned)) {
            if (!run.hasRange)
                continue;
            const QJsonObject& dictionary = m_plan.runDictionary(run.dictionary);
            if (dictionary.contains(AttributeKey::attachment)) {
                addRun(text, run.location, run.length, runAttributes(dictionary, m_styles));
                continue;
            }
            addRun(text, run.location, run.length, this->dictionary(run.dictionary).attributes);
        }
        return text;
    }

    // The attributes of a run dictionary, made once; those of a picture carried as Base64 are
    // made per run (see notes()), so they are never asked for here.
    struct Dictionary
    {
        QVariantMap attributes;
        // Its attribute set as stored; none when a value has no stored form.
        std::optional<QByteArray> stored;
        // The first dictionary read whose attributes are equal: runs of equal attributes are one.
        qsizetype kind = 0;
    };
    const Dictionary& dictionary(qsizetype index)
    {
        std::optional<Dictionary>& known = m_dictionaries[size_t(index)];
        if (known)
            return *known;
        known = Dictionary {runAttributes(m_plan.runDictionary(index), m_styles), {}, index};
        known->stored = RichTextCodec::encodeAttributeSet(known->attributes);
        const QVariantMap& attributes = known->attributes;
        QList<qsizetype>& alike = m_dictionariesByHash[textsHash(attributes)];
        for (const qsizetype other : std::as_const(alike)) {
            if (m_dictionaries[size_t(other)]->attributes == attributes) {
                known->kind = m_dictionaries[size_t(other)]->kind;
                break;
            }
        }
        alike.append(index);
        return *known;
    }

    // The parts a note is stored as, as RichTextCodec::Encoder::encode(AttributedString) would
    // find them in the notes notes() builds: runs clipped to the text, a gap without attributes
    // between them, neighbours of equal attributes joined, each distinct set once in order of
    // first use. False when the runs overlap or come out of order, carry a picture as Base64 or a
    // value without a stored form.
    bool storedParts(const NodePlan::Notes& planned, PendingNotes& pending, QStringList& pictureFolders)
    {
        constexpr qint64 far = qint64(1) << 40;
        constexpr qsizetype gap = -1;
        const qint64 textLength = utf16Length(m_plan.utf8(planned.text));
        // A length and the dictionary of each stretch of the text, gaps included.
        QVarLengthArray<std::pair<qint64, qsizetype>, 16> stretches;
        qint64 position = 0;
        for (const NodePlan::Run& run : m_plan.runs(planned)) {
            if (!run.hasRange)
                continue;
            if (m_plan.runDictionary(run.dictionary).contains(AttributeKey::attachment))
                return false;
            const Dictionary& dictionary = this->dictionary(run.dictionary);
            if (!dictionary.stored)
                return false;
            // Clipped as addRun clips.
            const qint64 first = std::clamp<qint64>(run.location, -far, far);
            const qint64 start = std::clamp<qint64>(first, 0, textLength);
            const qint64 end = std::clamp<qint64>(first + std::clamp<qint64>(run.length, 0, far), start, textLength);
            if (end <= start || dictionary.attributes.isEmpty())
                continue;
            if (start < position)
                return false;
            if (start > position)
                stretches.append({start - position, gap});
            stretches.append({end - start, run.dictionary});
            position = end;
        }
        if (position < textLength)
            stretches.append({textLength - position, gap});

        // Kinds of this note's sets, in order of first use, and the first stretch of each run.
        QVarLengthArray<qsizetype, 8> kinds;
        QVarLengthArray<qsizetype, 16> runStarts;
        bool namesPictures = false;
        pending.firstSet = qsizetype(m_noteSets.size());
        pending.firstRun = qsizetype(m_noteRuns.size());
        const auto kindOf
            = [this](qsizetype stretch) { return stretch == gap ? gap : m_dictionaries[size_t(stretch)]->kind; };
        for (qsizetype i = 0; i < stretches.size();) {
            // The joined run keeps the attributes of its first stretch.
            const qsizetype first = stretches[i].second;
            const qsizetype kind = kindOf(first);
            qint64 length = 0;
            for (; i < stretches.size() && kindOf(stretches[i].second) == kind; ++i)
                length += stretches[i].first;
            qsizetype set = kinds.indexOf(kind);
            if (set < 0) {
                set = kinds.size();
                kinds.append(kind);
                m_noteSets.push_back(first == gap ? &emptySet() : &*m_dictionaries[size_t(first)]->stored);
            }
            m_noteRuns.push_back(RichTextCodec::StoredRun {qsizetype(length), set});
            runStarts.append(first);
            namesPictures = namesPictures
                || (first != gap && m_dictionaries[size_t(first)]->attributes.contains(AttributeKey::fileFolderUUID));
        }
        pending.setCount = qsizetype(m_noteSets.size()) - pending.firstSet;
        pending.runCount = qsizetype(m_noteRuns.size()) - pending.firstRun;
        if (namesPictures) {
            QVariantList runFolders;
            for (const qsizetype first : runStarts)
                runFolders.append(first == gap
                        ? QVariant()
                        : m_dictionaries[size_t(first)]->attributes.value(AttributeKey::fileFolderUUID));
            pictureFolders = ListItem::pictureFolderNames(runFolders);
        }
        return true;
    }

    static const QByteArray& emptySet()
    {
        static const QByteArray empty = *RichTextCodec::encodeAttributeSet({});
        return empty;
    }

    void setAttribute(ManagedObject* object, const AttributeDescription& attribute, const QVariant& value)
    {
        if (attribute.name == UniqueIdentifier::key) {
            // An empty identifier names nothing; the one given at insertion stays.
            const QString identifier = value.toString();
            if (!identifier.isEmpty())
                set(object, attribute, identifierFor(object->entity(), identifier));
        } else if (attribute.name != bgImageKey || !value.toString().isEmpty()) {
            // An empty background name is kept as none, which it means, so that it is never
            // taken for a file of the backgrounds folder.
            set(object, attribute, value);
        }
    }

    // New objects take their values unannounced: no one can be showing them yet.
    void set(ManagedObject* object, const AttributeDescription& attribute, const QVariant& value)
    {
        if (!m_context.setNewValue(object, attribute, value))
            object->setValue(attribute.name, value);
    }

    // Notes are encoded on worker threads while the objects are made (the graph stays on this
    // thread): notes added are handed over in batches, each worker keeping one encoder. The
    // notes, their parts and their runs go into arrays sized for the whole plan first, so that
    // nothing a worker reads moves.
    static constexpr size_t notesPerBatch = 64;

    void startEncoding()
    {
        size_t notes = 0;
        size_t runs = 0;
        for (qsizetype n = 0; n < m_plan.nodeCount(); ++n) {
            const NodePlan::Node& node = m_plan.node(n);
            for (qsizetype i = node.firstItem; i < node.firstItem + node.itemCount; ++i) {
                const NodePlan::Item& item = m_plan.item(i);
                if (item.kind == NodePlan::Item::Kind::Notes) {
                    ++notes;
                    runs += size_t(m_plan.notes(item.first).runCount);
                }
            }
        }
        m_notes.reserve(notes);
        // At most a gap before each run and one after the last.
        m_noteRuns.reserve(2 * runs + notes);
        m_noteSets.reserve(2 * runs + notes);
        // Few notes (a paste) are not worth a thread; this thread makes the objects.
        const size_t workers = std::min(notes / notesPerBatch, size_t(std::max(QThread::idealThreadCount() - 1, 0)));
        for (size_t i = 0; i < workers; ++i)
            m_encoders.emplace_back([this] { encodeNotes(); });
    }

    void publishNotes(bool all)
    {
        {
            const std::lock_guard lock(m_notesMutex);
            m_notesPublished = m_notes.size();
            m_allNotesAdded = all;
        }
        m_notesPublishedHere = m_notes.size();
        // A batch is published at a time; the last publication ends every worker's wait.
        if (all)
            m_notesReady.notify_all();
        else
            m_notesReady.notify_one();
    }

    // Encodes batches of the notes published until all are added and taken.
    void encodeNotes()
    {
        RichTextCodec::Encoder encoder;
        PendingNotes* const notes = m_notes.data();
        for (;;) {
            size_t from = 0;
            size_t to = 0;
            {
                std::unique_lock lock(m_notesMutex);
                m_notesReady.wait(lock, [this] { return m_notesTaken < m_notesPublished || m_allNotesAdded; });
                if (m_notesTaken == m_notesPublished)
                    return;
                from = m_notesTaken;
                to = std::min(m_notesPublished, from + notesPerBatch);
                m_notesTaken = to;
            }
            for (size_t i = from; i < to; ++i) {
                PendingNotes& pending = notes[i];
                pending.stored = pending.notes
                    ? encoder.encode(*pending.notes)
                    : encoder.encode(m_plan.string(pending.text),
                        // From the data, never the vectors themselves, which the main thread
                        // grows meanwhile (within their reserve, so the data stays put).
                        std::span(m_noteSets.data() + pending.firstSet, size_t(pending.setCount)),
                        std::span(m_noteRuns.data() + pending.firstRun, size_t(pending.runCount)));
            }
        }
    }

    void finishEncoding()
    {
        publishNotes(true);
        for (std::thread& encoder : m_encoders)
            encoder.join();
        m_encoders.clear();
    }

    void storeNotes()
    {
        publishNotes(true);
        encodeNotes();
        finishEncoding();
        for (const PendingNotes& pending : m_notes)
            set(pending.object, *pending.attribute, pending.stored);
        m_notes.clear();
    }

    // A copy of objects that are still in the store gets new identifiers, so that links and
    // history entries keep naming one object; an archive read into a store without its objects
    // keeps them.
    QString identifierFor(const EntityDescription* entity, const QString& identifier)
    {
        QString result = identifier;
        const auto holders = m_identifiers.constFind(identifier);
        const bool inUse = holders != m_identifiers.cend()
            && std::any_of(holders->cbegin(), holders->cend(),
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

    // Every picture record of the context by folder name, instead of a fetch per picture.
    void indexPictureRecords()
    {
        for (ImageAttachment* record : m_context.fetchAs<ImageAttachment>(ImageAttachment::fetchRequest()))
            if (!m_pictureRecords.contains(record->folderUUID()))
                m_pictureRecords.insert(record->folderUUID(), record);
    }

    JSONReader& m_reader;
    ManagedObjectContext& m_context;
    const NodePlan& m_plan;
    std::function<void(ManagedObject*)> m_finish;
    std::vector<std::optional<Dictionary>> m_dictionaries;
    QHash<size_t, QList<qsizetype>> m_dictionariesByHash;
    // An identifier is nearly always held by one object: no list of its own.
    QHash<QString, QVarLengthArray<const EntityDescription*, 1>> m_identifiers;
    QHash<QString, ImageAttachment*> m_pictureRecords;
    QList<ListItemHistory*> m_history;
    StyleSets m_styles;
    std::vector<PendingNotes> m_notes;
    std::vector<const QByteArray*> m_noteSets;
    std::vector<RichTextCodec::StoredRun> m_noteRuns;
    std::vector<std::thread> m_encoders;
    std::mutex m_notesMutex;
    std::condition_variable m_notesReady;
    size_t m_notesPublished = 0;
    size_t m_notesTaken = 0;
    bool m_allNotesAdded = false;
    // What this thread last published.
    size_t m_notesPublishedHere = 0;
};

JSONReader::JSONReader(ManagedObjectContext* managedObjectContext)
    : m_managedObjectContext(managedObjectContext)
{
    ConsoleLog::write(QStringLiteral("JSONReader date formatter set"));
}

QList<ManagedObject*> JSONReader::makeObjectsFromArrayOf(const QJsonArray& dictionaryObjects, QString* error)
{
    if (!m_managedObjectContext)
        return refused(QStringLiteral("no store is loaded"), error);
    const NodePlan plan = NodePlan::fromArray(dictionaryObjects, m_managedObjectContext->model());
    return build(plan, error);
}

QList<ManagedObject*> JSONReader::refused(const QString& refusal, QString* error)
{
    ConsoleLog::write(QStringLiteral("Refused JSON nodes: ") + refusal);
    if (error)
        *error = refusal;
    return {};
}

QList<ManagedObject*> JSONReader::build(const NodePlan& plan, QString* error)
{
    QString refusal;
    if (!plan.check(m_managedObjectContext->model(), m_importedObjects, &refusal))
        return refused(refusal, error);
    Builder builder(*this, *m_managedObjectContext, plan);
    QList<ManagedObject*> made = builder.objects();
    builder.remapHistory();
    return made;
}

namespace {

QString tooLargeArchive()
{
    return QStringLiteral("the archive is larger than %1 bytes").arg(JSONReader::maximumArchiveBytes);
}

bool isRegularFile(int descriptor)
{
    struct stat status
    {
    };
    return fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode);
}

// Opens an archive file for reading, refusing anything but a regular file (a FIFO would block
// the reader for good, a device may never end) and one over the limit.
bool openArchive(QFile& file, QString* error)
{
    const QFileInfo target(file.fileName());
    if (target.exists() && !target.isFile()) {
        *error = QStringLiteral("the archive is not a regular file");
        return false;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return false;
    }
    // Checked again on what was opened, in case the path changed meanwhile. The program's own
    // resources (the example projects) have no descriptor and are regular by nature.
    if (file.handle() >= 0 && !isRegularFile(file.handle())) {
        *error = QStringLiteral("the archive is not a regular file");
        return false;
    }
    if (file.size() > JSONReader::maximumArchiveBytes) {
        *error = tooLargeArchive();
        return false;
    }
    return true;
}

} // namespace

std::optional<QByteArray> JSONReader::readArchiveFile(const QString& path, QString* error)
{
    QFile file(path);
    if (!openArchive(file, error))
        return std::nullopt;
    // A file that grows while it is read is cut off just past the limit.
    QByteArray data = file.read(maximumArchiveBytes + 1);
    if (data.size() > maximumArchiveBytes) {
        *error = tooLargeArchive();
        return std::nullopt;
    }
    return data;
}

namespace {

// Archive text as UTF-8: text in UTF-16 or UTF-32 with a byte order mark is converted, a UTF-8
// byte order mark dropped. Nothing when the text cannot be converted.
std::optional<QByteArray> utf8Text(const QByteArray& data)
{
    const std::optional<QStringConverter::Encoding> encoding = QStringConverter::encodingForData(data);
    if (!encoding)
        return data;
    if (*encoding == QStringConverter::Utf8)
        return data.mid(3);
    QStringDecoder decode(*encoding);
    const QString decoded = decode(data);
    if (decode.hasError())
        return std::nullopt;
    return decoded.toUtf8();
}

std::optional<QJsonArray> archiveDocument(const QByteArray& text, QString* error)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(text, &parseError);
    if (document.isNull()) {
        *error = QStringLiteral("the archive cannot be read as JSON: %1 at byte %2")
                     .arg(parseError.errorString())
                     .arg(parseError.offset);
        return std::nullopt;
    }
    if (!document.isArray()) {
        *error = QStringLiteral("the archive is not a JSON array");
        return std::nullopt;
    }
    return document.array();
}

// The plan of archive text in UTF-8 read through QJsonDocument.
std::optional<NodePlan> documentPlan(const QByteArray& text, const ManagedObjectModel& model, QString* error)
{
    const std::optional<QJsonArray> nodes = archiveDocument(text, error);
    if (!nodes)
        return std::nullopt;
    return NodePlan::fromArray(*nodes, model);
}

// The archive's nodes hold only folders and boards at the top, and pass the reader's check.
bool archiveRules(const NodePlan& plan, const ManagedObjectModel& model,
    const QHash<QString, ManagedObject*>& importedObjects, QString* error)
{
    *error = plan.misplacedTopLevelNode();
    return error->isEmpty() && plan.check(model, importedObjects, error);
}

const QString unreadableText = QStringLiteral("the archive is not readable text");

} // namespace

std::optional<NodePlan> JSONReader::archivePlan(const QByteArray& data, const ManagedObjectModel& model, QString* error)
{
    const std::optional<QByteArray> text = utf8Text(data);
    if (!text) {
        *error = unreadableText;
        return std::nullopt;
    }
    bool needsDocument = false;
    std::optional<NodePlan> plan = NodePlan::fromText(*text, model, error, &needsDocument);
    if (needsDocument)
        return documentPlan(*text, model, error);
    return plan;
}

QList<ManagedObject*> JSONReader::makeObjectsFromArchiveData(const QByteArray& data, QString* error)
{
    if (!m_managedObjectContext)
        return refused(QStringLiteral("no store is loaded"), error);
    QString refusal;
    const std::optional<NodePlan> plan = archivePlan(data, m_managedObjectContext->model(), &refusal);
    if (!plan)
        return refused(refusal, error);
    return makeObjectsFromArchive(*plan, error);
}

std::optional<NodePlan> JSONReader::checkedArchiveFile(
    const QString& path, const ManagedObjectModel& model, QString* error, bool* unreadable)
{
    std::optional<NodePlan> plan = archiveFilePlan(path, model, error, unreadable);
    const QHash<QString, ManagedObject*> noneMadeYet;
    if (!plan || !archiveRules(*plan, model, noneMadeYet, error))
        return std::nullopt;
    return plan;
}

std::optional<NodePlan> JSONReader::archiveFilePlan(
    const QString& path, const ManagedObjectModel& model, QString* error, bool* unreadable)
{
    *unreadable = true;
    QFile file(path);
    if (!openArchive(file, error))
        return std::nullopt;
    char head[4];
    const qint64 peeked = file.peek(head, sizeof head);
    const std::optional<QStringConverter::Encoding> encoding
        = QStringConverter::encodingForData(QByteArrayView(head, std::max<qint64>(peeked, 0)));
    // Text that is not UTF-8 is converted whole, and the document form reads text whole.
    const auto whole = [&](bool asDocument) -> std::optional<NodePlan> {
        file.close();
        const std::optional<QByteArray> data = readArchiveFile(path, error);
        if (!data)
            return std::nullopt;
        *unreadable = false;
        if (!asDocument)
            return archivePlan(*data, model, error);
        const std::optional<QByteArray> text = utf8Text(*data);
        if (!text) {
            *error = unreadableText;
            return std::nullopt;
        }
        return documentPlan(*text, model, error);
    };
    if (encoding && *encoding != QStringConverter::Utf8)
        return whole(false);
    // A UTF-8 byte order mark is dropped; the limit counts it.
    qint64 total = encoding ? file.skip(3) : 0;
    bool failed = false;
    bool tooLarge = false;
    const NodePlan::Source source = [&](char* buffer, qsizetype size) -> qsizetype {
        const qint64 read = file.read(buffer, size);
        total += std::max<qint64>(read, 0);
        // A file that grows while it is read is cut off just past the limit.
        failed = read < 0;
        tooLarge = total > maximumArchiveBytes;
        return failed || tooLarge ? -1 : qsizetype(read);
    };
    bool needsDocument = false;
    std::optional<NodePlan> plan = NodePlan::fromSource(source, file.size(), model, error, &needsDocument);
    if (failed || tooLarge) {
        *error = tooLarge ? tooLargeArchive() : file.errorString();
        return std::nullopt;
    }
    if (needsDocument)
        return whole(true);
    *unreadable = false;
    return plan;
}

QList<ManagedObject*> JSONReader::makeObjectsFromArchiveFile(const QString& path, QString* error, bool* unreadable)
{
    if (!m_managedObjectContext)
        return refused(QStringLiteral("no store is loaded"), error);
    QString refusal;
    bool fileUnreadable = false;
    const std::optional<NodePlan> plan
        = archiveFilePlan(path, m_managedObjectContext->model(), &refusal, &fileUnreadable);
    if (unreadable)
        *unreadable = fileUnreadable;
    if (fileUnreadable) {
        if (error)
            *error = refusal;
        return {};
    }
    if (!plan)
        return refused(refusal, error);
    return makeObjectsFromArchive(*plan, error);
}

QList<ManagedObject*> JSONReader::makeObjectsFromArchive(
    const NodePlan& archive, QString* error, const std::function<void(ManagedObject*)>& finish)
{
    if (!m_managedObjectContext)
        return refused(QStringLiteral("no store is loaded"), error);
    QString refusal;
    if (!archiveRules(archive, m_managedObjectContext->model(), m_importedObjects, &refusal))
        return refused(refusal, error);
    Builder builder(*this, *m_managedObjectContext, archive, finish);
    QList<ManagedObject*> made = builder.objects();
    builder.remapHistory();
    return made;
}

std::optional<AttributedString> JSONReader::attributedStringFrom(const QJsonObject& dict)
{
    StyleSets styles;
    return notesFrom(dict, styles);
}
