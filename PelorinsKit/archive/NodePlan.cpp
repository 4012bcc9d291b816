#include "PelorinsKit/archive/NodePlan.h"

#include "PelorinsKit/archive/AttributedStringDictionary.h"
#include "PelorinsKit/archive/JSONReader.h"
#include "PelorinsKit/archive/JSONTextWriter.h"
#include "PelorinsKit/archive/NodeDate.h"
#include "PelorinsKit/archive/NodeNumbers.h"
#include "PelorinsKit/model/PictureFolders.h"
#include "PelorinsKit/notes/AttributeKey.h"
#include "Platform/core/objectgraph/ManagedObject.h"
#include "Platform/core/objectgraph/ManagedObjectModel.h"

#include <QJsonDocument>
#include <QVarLengthArray>
#include <bit>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <rapidjson/reader.h>
#include <string>

using NodeNumbers::integerOf;
using NodeNumbers::isIntegral;

namespace {

const QString objectIDURIKey = QStringLiteral("objectIDURI");
const QString mainColumnKey = QStringLiteral("mainColumn");
const QString stageColumnsKey = QStringLiteral("column");
const QString bgImageKey = QStringLiteral("bgImage");
const QString folderUUIDKey = QStringLiteral("folderUUID");
const QString rootClassName = QStringLiteral("Root");
const QString tagClassName = QStringLiteral("Tag");

// Whether UTF-8 text holds a surrogate in the generalised form (0xED 0xA0..0xBF), which only a
// lone surrogate of a QString gives.
const char* surrogateIn(QByteArrayView utf8)
{
    // An empty text of a plan without texts has no data at all, which memchr must not be given.
    if (utf8.isEmpty())
        return nullptr;
    const char* const end = utf8.data() + utf8.size();
    for (const char* at = utf8.data(); (at = static_cast<const char*>(std::memchr(at, '\xED', size_t(end - at))));
         ++at) {
        if (at + 1 < end && (uchar(at[1]) & 0xE0) == 0xA0)
            return at;
    }
    return nullptr;
}

// Whether text is well-formed UTF-8 (no surrogates, no overlong forms, nothing past U+10FFFF).
// Texts are mostly ASCII, which is passed over eight bytes at a time.
bool isWellFormedUtf8(QByteArrayView text)
{
    const auto* at = reinterpret_cast<const uchar*>(text.data());
    const uchar* const end = at + text.size();
    const auto continuation = [](uchar c) { return (c & 0xC0) == 0x80; };
    while (at < end) {
        if (end - at >= 8) {
            quint64 word;
            std::memcpy(&word, at, sizeof word);
            if (!(word & 0x8080808080808080ULL)) {
                at += 8;
                continue;
            }
        }
        const uchar lead = *at;
        if (lead < 0x80) {
            ++at;
            continue;
        }
        // The second byte's range depends on the lead (Unicode, table 3-7); the rest are any
        // continuation bytes.
        int length = 0;
        uchar low = 0x80;
        uchar high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        } else {
            return false;
        }
        if (end - at < length || at[1] < low || at[1] > high)
            return false;
        for (int i = 2; i < length; ++i)
            if (!continuation(at[i]))
                return false;
        at += length;
    }
    return true;
}

// UTF-8 of a QString; a lone surrogate, which UTF-8 cannot hold, is written in the generalised
// form (as if it were a code point of its own), so that it comes back as it was.
QByteArray generalisedUtf8(QStringView text)
{
    QByteArray utf8;
    qsizetype from = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i].unicode();
        if (!QChar::isSurrogate(unit))
            continue;
        if (QChar::isHighSurrogate(unit) && i + 1 < text.size() && QChar::isLowSurrogate(text[i + 1].unicode())) {
            ++i;
            continue;
        }
        utf8.append(text.mid(from, i - from).toUtf8());
        utf8.append(char(0xE0 | (unit >> 12)));
        utf8.append(char(0x80 | ((unit >> 6) & 0x3F)));
        utf8.append(char(0x80 | (unit & 0x3F)));
        from = i + 1;
    }
    if (from == 0)
        return text.toUtf8();
    utf8.append(text.mid(from).toUtf8());
    return utf8;
}

// The QString of generalisedUtf8's text.
QString fromGeneralisedUtf8(QByteArrayView utf8)
{
    const char* surrogate = surrogateIn(utf8);
    if (!surrogate)
        return QString::fromUtf8(utf8);
    QString text;
    while (surrogate) {
        text.append(QString::fromUtf8(QByteArrayView(utf8.data(), surrogate)));
        text.append(QChar(char16_t(((uchar(surrogate[0]) & 0x0F) << 12) | ((uchar(surrogate[1]) & 0x3F) << 6)
            | (uchar(surrogate[2]) & 0x3F))));
        utf8 = QByteArrayView(surrogate + 3, utf8.data() + utf8.size());
        surrogate = surrogateIn(utf8);
    }
    text.append(QString::fromUtf8(utf8));
    return text;
}

QString where(const QString& key, const EntityDescription* entity)
{
    return QStringLiteral("\"%1\" of a \"%2\"").arg(key, entity->name());
}

// Only ordered to-many relationships travel; a tag never has children.
bool isReadToMany(const EntityDescription* entity, const RelationshipDescription& relationship)
{
    return relationship.isToMany && relationship.isOrdered
        && !(relationship.name == QLatin1String("children") && entity->name() == tagClassName);
}

// Why a run of notes is refused; empty when it is not.
QString runRefusal(const QJsonObject& run)
{
    for (const QString& key : {AttributeKey::fileFolderUUID, AttributeKey::filename}) {
        const QString unsafe = NodePlan::unsafePictureName(key, run.value(key));
        if (!unsafe.isEmpty())
            return QStringLiteral(": unsafe picture name \"%1\"").arg(unsafe);
    }
    const QJsonValue picture = run.value(AttributeKey::attachment);
    if (picture.isString() && picture.toString().size() > JSONReader::maximumPictureText)
        return QStringLiteral(": a picture larger than %1 bytes").arg(JSONReader::maximumPictureBytes);
    return {};
}

// Why a text cannot be the value of a text attribute; empty when it can.
QString textRefusal(const AttributeDescription& attribute, QByteArrayView utf8)
{
    if (attribute.name != folderUUIDKey && attribute.name != bgImageKey)
        return {};
    const QString text = fromGeneralisedUtf8(utf8);
    if (attribute.name == folderUUIDKey && !PictureFolders::isPictureFolderName(text))
        return QStringLiteral(": unsafe picture folder \"%1\"").arg(text);
    // A background is a built-in picture's name or a file of the backgrounds folder; an empty
    // name shows the board's colour.
    if (attribute.name == bgImageKey && !text.isEmpty() && !PictureFolders::isFileName(text))
        return QStringLiteral(": unsafe background picture name \"%1\"").arg(text);
    return {};
}

// Why a value cannot be the attribute's; empty when it can.
QString attributeRefusal(const AttributeDescription& attribute, const QJsonValue& value)
{
    using Type = AttributeDescription::Type;
    switch (attribute.type) {
    case Type::Integer16:
    case Type::Integer32:
    case Type::Integer64: {
        if (!isIntegral(value))
            return QStringLiteral(" is not an integer");
        const qint64 limit = attribute.type == Type::Integer16 ? std::numeric_limits<qint16>::max()
            : attribute.type == Type::Integer32                ? std::numeric_limits<qint32>::max()
                                                               : std::numeric_limits<qint64>::max();
        const qint64 number = integerOf(value);
        if (number > limit || number < -limit - 1)
            return QStringLiteral(" is out of range");
        return {};
    }
    case Type::Double:
    case Type::Boolean:
        return value.isDouble() || value.isBool() ? QString() : QStringLiteral(" is not a number");
    case Type::String:
        return value.isString() ? textRefusal(attribute, generalisedUtf8(value.toString()))
                                : QStringLiteral(" is not a text");
    case Type::Date:
        return NodeDate::date(value.toString()) ? QString() : QStringLiteral(" is not a date");
    case Type::StringList:
        if (value.isArray()) {
            const QJsonArray array = value.toArray();
            if (std::all_of(array.begin(), array.end(), [](const QJsonValue& v) { return v.isString(); }))
                return {};
        }
        return QStringLiteral(" is not a list of texts");
    case Type::Binary:
        return QStringLiteral(" is not notes");
    }
    return QStringLiteral(" has an unknown type");
}

} // namespace

// Nodes by their URIs: open addressing over node indexes, a node's URI being its key. It holds no
// view of the texts, which may move while they grow.
class NodePlan::NodesByURI
{
public:
    void reserve(size_t count) { grow(std::bit_ceil(std::max<size_t>(count * 2, 16))); }

    // The node held for the URI of `node`, or `node`, now held, when there is none.
    qsizetype findOrInsert(const NodePlan& plan, qsizetype node)
    {
        const QByteArrayView uri = plan.utf8(plan.node(node).uri);
        const size_t hash = qHash(uri, QHashSeed::globalSeed());
        if ((m_count + 1) * 2 > m_slots.size())
            grow(std::max<size_t>(m_slots.size() * 2, 16));
        const size_t mask = m_slots.size() - 1;
        for (size_t at = hash & mask;; at = (at + 1) & mask) {
            Slot& slot = m_slots[at];
            if (slot.node < 0) {
                slot = Slot {hash, node};
                ++m_count;
                return node;
            }
            if (slot.hash == hash && plan.utf8(plan.node(slot.node).uri) == uri)
                return slot.node;
        }
    }

    // Holds `node` no longer.
    void erase(const NodePlan& plan, qsizetype node)
    {
        const size_t hash = qHash(plan.utf8(plan.node(node).uri), QHashSeed::globalSeed());
        const size_t mask = m_slots.size() - 1;
        size_t at = hash & mask;
        while (m_slots[at].node != node) {
            if (m_slots[at].node < 0)
                return;
            at = (at + 1) & mask;
        }
        // Later slots of the same probe move back into the gap, so no probe meets a hole.
        for (size_t next = (at + 1) & mask; m_slots[next].node >= 0; next = (next + 1) & mask) {
            const size_t home = m_slots[next].hash & mask;
            const bool stays = at <= next ? (at < home && home <= next) : (at < home || home <= next);
            if (!stays) {
                m_slots[at] = m_slots[next];
                at = next;
            }
        }
        m_slots[at] = Slot();
        --m_count;
    }

private:
    struct Slot
    {
        size_t hash = 0;
        qsizetype node = -1;
    };

    void grow(size_t size)
    {
        if (size <= m_slots.size())
            return;
        Array<Slot> grown(size);
        const size_t mask = size - 1;
        for (const Slot& slot : m_slots) {
            if (slot.node < 0)
                continue;
            size_t at = slot.hash & mask;
            while (grown[at].node >= 0)
                at = (at + 1) & mask;
            grown[at] = slot;
        }
        m_slots = std::move(grown);
    }

    Array<Slot> m_slots;
    size_t m_count = 0;
};

// Turns the events of one JSON value (a payload) into the plan. Containers nest through an
// explicit stack, so hostile nesting costs memory in proportion to the text, never the call
// stack. Keys and texts arrive as UTF-8; the texts kept are copied into the plan's one array of
// texts, and no QString is made of them. Values that are no nodes, notes or lists are gathered into
// QJsonValues, and each run of notes is written down as JSON text without its range, so that equal
// runs are told apart by that text and only a new one is made into a dictionary.
class NodePlan::Reader
{
public:
    Reader(NodePlan& plan, const ManagedObjectModel& model, qsizetype textSize)
        : m_plan(plan)
        , m_model(model)
    {
        // About what the reference archives hold per byte, to spare most regrowing; the texts
        // decoded are never longer than the text they come from. Pages are only used once touched.
        m_plan.m_nodes.reserve(size_t(textSize / 400));
        m_plan.m_items.reserve(size_t(textSize / 64));
        m_plan.m_members.reserve(size_t(textSize / 400));
        m_plan.m_notes.reserve(size_t(textSize / 2000));
        m_plan.m_runs.reserve(size_t(textSize / 400));
        m_plan.m_texts.reserve(size_t(textSize));
        m_firstNodes.reserve(size_t(textSize / 500));
    }

    bool notAnArray() const { return m_notAnArray; }

    bool scalar(const QJsonValue& value)
    {
        if (value.isString())
            return text(generalisedUtf8(value.toString()));
        if (m_frames.empty()) {
            m_notAnArray = true;
            return false;
        }
        Frame& frame = m_frames.back();
        switch (frame.role) {
        case Role::Top:
            m_plan.m_entries.push_back(notANode);
            return true;
        case Role::Members:
            m_memberStack.push_back(notANode);
            return true;
        case Role::Runs:
            runIsNoObject();
            return true;
        case Role::Run:
        case Role::RunValue:
            if (frame.target == Target::RunRange)
                return true;
            separate();
            writeScalar(value);
            return true;
        case Role::Range:
            if (frame.target == Target::Location)
                m_location = value;
            else if (frame.target == Target::Length)
                m_length = value;
            return true;
        case Role::Collect:
            gather(value);
            return true;
        case Role::Skip:
            return true;
        case Role::Wrapper:
        case Role::Body:
        case Role::Notes:
            keyedScalar(frame, value);
            return true;
        }
        return true;
    }

    // A text, in UTF-8 (in the generalised form when it holds a lone surrogate).
    bool text(QByteArrayView utf8)
    {
        if (m_frames.empty()) {
            m_notAnArray = true;
            return false;
        }
        Frame& frame = m_frames.back();
        switch (frame.role) {
        case Role::Skip:
        case Role::Range:
            return true;
        case Role::Run:
        case Role::RunValue:
            if (frame.target == Target::RunRange)
                return true;
            separate();
            appendEscaped(utf8);
            return true;
        case Role::Collect:
            gather(QJsonValue(fromGeneralisedUtf8(utf8)));
            return true;
        case Role::Wrapper:
        case Role::Body:
        case Role::Notes:
            keyedText(frame, utf8);
            return true;
        default:
            return scalar(QJsonValue(QJsonValue::Undefined));
        }
    }

    bool beginContainer(bool isObject)
    {
        if (int(m_frames.size()) >= maximumJSONDepth)
            return false;
        if (m_frames.empty()) {
            if (!isObject)
                return push(Role::Top);
            m_notAnArray = true;
            return false;
        }
        Frame& frame = m_frames.back();
        switch (frame.role) {
        case Role::Top:
            if (!isObject)
                return skipAfter(m_plan.m_entries, notANode);
            m_plan.m_entries.push_back(beginNode());
            return true;
        case Role::Members:
            if (!isObject)
                return skipAfter(m_memberStack, notANode);
            m_memberStack.push_back(beginNode());
            return true;
        case Role::Runs:
            if (!isObject) {
                runIsNoObject();
                return push(Role::Skip);
            }
            m_run.resize(0);
            m_run.append('{');
            m_runCounts.assign(1, 0);
            m_location = QJsonValue();
            m_length = QJsonValue();
            m_rangeIsObject = false;
            return push(Role::Run);
        case Role::Run:
        case Role::RunValue:
            if (frame.target == Target::RunRange) {
                m_rangeIsObject = isObject;
                return push(isObject ? Role::Range : Role::Skip);
            }
            separate();
            m_run.append(isObject ? '{' : '[');
            m_runCounts.push_back(0);
            push(Role::RunValue);
            m_frames.back().isObject = isObject;
            return true;
        case Role::Range:
            return push(Role::Skip);
        case Role::Collect:
            m_gathering.push_back(Gathering(isObject ? QJsonValue(QJsonObject()) : QJsonValue(QJsonArray())));
            return push(Role::Collect);
        case Role::Skip:
            return push(Role::Skip);
        case Role::Wrapper:
        case Role::Body:
        case Role::Notes:
            return keyedContainer(frame, isObject);
        }
        return true;
    }

    bool key(QByteArrayView name)
    {
        Frame& frame = m_frames.back();
        switch (frame.role) {
        case Role::Wrapper: {
            Node& node = m_plan.m_nodes[size_t(frame.node)];
            if (node.classCount++ == 0) {
                node.className = className(name);
                const EntityDescription* entity = m_model.entity(node.className);
                node.entity = entity && !entity->isAbstract() ? entity : nullptr;
                frame.target = Target::WrapperBody;
            } else {
                frame.target = Target::Ignore;
            }
            return true;
        }
        case Role::Body:
            bodyKey(frame, name);
            return true;
        case Role::Notes:
            if (name == QByteArrayView("string")) {
                m_notes.hasText = true;
                frame.target = Target::NotesText;
            } else if (name == QByteArrayView("runs")) {
                m_notes.hasRuns = true;
                frame.target = Target::NotesRuns;
            } else {
                frame.target = Target::Ignore;
            }
            return true;
        case Role::Run:
            if (name == QByteArrayView("range")) {
                frame.target = Target::RunRange;
                return true;
            }
            frame.target = Target::Ignore;
            runKey(name);
            return true;
        case Role::RunValue:
            runKey(name);
            return true;
        case Role::Range:
            frame.target = name == QByteArrayView("location") ? Target::Location
                : name == QByteArrayView("length")            ? Target::Length
                                                              : Target::Ignore;
            return true;
        case Role::Collect:
            m_gathering.back().key = QString::fromUtf8(name);
            return true;
        default:
            return true;
        }
    }

    bool endContainer()
    {
        const Frame frame = m_frames.back();
        m_frames.pop_back();
        switch (frame.role) {
        case Role::Top:
        case Role::Skip:
        case Role::Wrapper:
        case Role::Runs:
        case Role::Range:
            return true;
        case Role::Body:
            endBody(frame);
            return true;
        case Role::Members:
            endMembers(frame);
            return true;
        case Role::Notes:
            endNotes();
            return true;
        case Role::Run:
            m_run.append('}');
            endRun();
            return true;
        case Role::RunValue:
            m_run.append(frame.isObject ? '}' : ']');
            m_runCounts.pop_back();
            return true;
        case Role::Collect: {
            QJsonValue value = std::move(m_gathering.back().value);
            m_gathering.pop_back();
            if (!m_gathering.empty())
                gather(value);
            else
                attributeValue(m_frames.back(), value);
            return true;
        }
        }
        return true;
    }

private:
    enum class Role { Top, Wrapper, Body, Members, Notes, Runs, Run, RunValue, Range, Collect, Skip };
    // What the value after the current key of an object is read as.
    enum class Target {
        Ignore,
        WrapperBody,
        URI,
        Attribute,
        Notes,
        ToMany,
        ToOne,
        NotesText,
        NotesRuns,
        // A relationship the format does not carry: said so when the objects are made.
        Skipped,
        RunRange,
        Location,
        Length
    };

    struct Frame
    {
        Role role = Role::Skip;
        Target target = Target::Ignore;
        bool isObject = false;
        // Wrapper and Body: the node.
        qsizetype node = -1;
        // Body: its first item on the item stack; Members: its first member on the member stack.
        qsizetype start = 0;
        // Members: its item on the item stack.
        qsizetype item = -1;
        const AttributeDescription* attribute = nullptr;
        const RelationshipDescription* relationship = nullptr;
    };

    struct Gathering
    {
        explicit Gathering(QJsonValue value)
            : value(std::move(value))
        {
        }
        QJsonValue value;
        QString key;
    };

    // The notes dictionary being read; notes never nest.
    struct NotesReading
    {
        bool hasText = false;
        bool hasRuns = false;
        bool textIsText = false;
        bool runsIsArray = false;
        QString refusal;
        Notes notes;
    };

    // What a key of a body names.
    struct Property
    {
        Target target = Target::Ignore;
        const AttributeDescription* attribute = nullptr;
        const RelationshipDescription* relationship = nullptr;
    };

    // A run dictionary known by its text.
    struct RunDictionary
    {
        qsizetype index = 0;
        QString refusal;
    };

    bool push(Role role)
    {
        Frame frame;
        frame.role = role;
        m_frames.push_back(frame);
        return true;
    }

    bool skipAfter(std::vector<qsizetype>& list, qsizetype entry)
    {
        list.push_back(entry);
        return push(Role::Skip);
    }

    qsizetype beginNode()
    {
        const qsizetype index = qsizetype(m_plan.m_nodes.size());
        m_plan.m_nodes.emplace_back();
        Frame frame;
        frame.role = Role::Wrapper;
        frame.node = index;
        m_frames.push_back(frame);
        return index;
    }

    // Class names are few; each is made a QString once.
    QString className(QByteArrayView name)
    {
        const QByteArray raw = QByteArray::fromRawData(name.data(), name.size());
        const auto known = m_classNames.constFind(raw);
        if (known != m_classNames.cend())
            return *known;
        const QString made = QString::fromUtf8(name);
        m_classNames.insert(QByteArray(name.data(), name.size()), made);
        return made;
    }

    const EntityDescription* entityOf(const Frame& frame) const { return m_plan.m_nodes[size_t(frame.node)].entity; }

    void bodyKey(Frame& frame, QByteArrayView name)
    {
        const EntityDescription* entity = entityOf(frame);
        // Bodies of one class mostly follow each other.
        if (entity != m_lastEntity) {
            m_lastEntity = entity;
            m_lastProperties = &m_properties[entity];
            if (m_lastProperties->isEmpty())
                *m_lastProperties = propertiesOf(entity);
        }
        const QHash<QByteArray, Property>& properties = *m_lastProperties;
        const auto found = properties.constFind(QByteArray::fromRawData(name.data(), name.size()));
        const Property property = found == properties.cend() ? Property() : *found;
        frame.target = property.target;
        frame.attribute = property.attribute;
        frame.relationship = property.relationship;
    }

    static QHash<QByteArray, Property> propertiesOf(const EntityDescription* entity)
    {
        QHash<QByteArray, Property> properties;
        properties.insert(objectIDURIKey.toUtf8(), Property {Target::URI, nullptr, nullptr});
        for (const AttributeDescription& attribute : entity->attributes()) {
            const bool isNotes = attribute.type == AttributeDescription::Type::Binary;
            properties.insert(
                attribute.name.toUtf8(), Property {isNotes ? Target::Notes : Target::Attribute, &attribute, nullptr});
        }
        for (const RelationshipDescription& relationship : entity->relationships()) {
            Target target = Target::Ignore;
            if (relationship.isToMany)
                target = isReadToMany(entity, relationship) ? Target::ToMany : Target::Skipped;
            else if (relationship.name == mainColumnKey)
                target = Target::ToOne;
            properties.insert(relationship.name.toUtf8(), Property {target, nullptr, &relationship});
        }
        return properties;
    }

    static QString where(const Frame& frame, const EntityDescription* entity)
    {
        const QString& key = frame.attribute ? frame.attribute->name : frame.relationship->name;
        return QStringLiteral("\"%1\" of a \"%2\"").arg(key, entity->name());
    }

    void keyedScalar(Frame& frame, const QJsonValue& value)
    {
        // A null body is no object; a null value in a body is no value at all.
        if (value.isNull())
            return;
        switch (frame.target) {
        case Target::URI:
            m_plan.m_nodes[size_t(frame.node)].uriIsText = false;
            return;
        case Target::Attribute:
            attributeValue(frame, value);
            return;
        case Target::Notes:
            refuse(where(frame, entityOf(frame)) + QStringLiteral(" is not notes"));
            return;
        case Target::ToMany:
            refuse(where(frame, entityOf(frame)) + QStringLiteral(" is not an array of nodes"));
            return;
        case Target::ToOne:
            refuse(where(frame, entityOf(frame)) + QStringLiteral(" is not a node"));
            return;
        case Target::NotesText:
            m_notes.textIsText = false;
            return;
        case Target::Skipped:
            skipped(frame);
            return;
        default:
            return;
        }
    }

    void keyedText(Frame& frame, QByteArrayView utf8)
    {
        switch (frame.target) {
        case Target::URI: {
            Node& node = m_plan.m_nodes[size_t(frame.node)];
            node.uriIsText = true;
            node.uri = m_plan.keep(utf8);
            return;
        }
        case Target::Attribute:
            attributeText(frame, utf8);
            return;
        case Target::NotesText:
            m_notes.textIsText = true;
            m_notes.notes.text = m_plan.keep(utf8);
            return;
        default:
            // Anything but a text where a text is not wanted: as for any such value.
            keyedScalar(frame, QJsonValue(QJsonValue::Undefined));
            return;
        }
    }

    void attributeText(const Frame& frame, QByteArrayView utf8)
    {
        const AttributeDescription& attribute = *frame.attribute;
        if (attribute.type == AttributeDescription::Type::Date) {
            attributeDate(frame, NodeDate::milliseconds(utf8));
            return;
        }
        if (attribute.type != AttributeDescription::Type::String) {
            attributeValue(frame, QJsonValue(fromGeneralisedUtf8(utf8)));
            return;
        }
        const QString refusal = textRefusal(attribute, utf8);
        if (!refusal.isEmpty()) {
            refuse(where(frame, entityOf(frame)) + refusal);
            return;
        }
        const Text text = m_plan.keep(utf8);
        Item item;
        item.kind = Item::Kind::Value;
        item.attribute = &attribute;
        item.first = text.offset;
        item.count = qint32(text.size);
        m_itemStack.push_back(item);
    }

    void attributeDate(const Frame& frame, std::optional<qint64> milliseconds)
    {
        if (!milliseconds) {
            refuse(where(frame, entityOf(frame)) + QStringLiteral(" is not a date"));
            return;
        }
        Item item;
        item.kind = Item::Kind::Value;
        item.attribute = frame.attribute;
        item.first = *milliseconds;
        m_itemStack.push_back(item);
    }

    void skipped(const Frame& frame)
    {
        Item item;
        item.kind = Item::Kind::Skipped;
        item.relationship = frame.relationship;
        m_itemStack.push_back(item);
    }

    bool keyedContainer(Frame& frame, bool isObject)
    {
        switch (frame.target) {
        case Target::WrapperBody: {
            Node& node = m_plan.m_nodes[size_t(frame.node)];
            node.bodyIsObject = isObject;
            // A body of an unknown class is refused unread.
            if (!isObject || !node.entity)
                return push(Role::Skip);
            Frame body;
            body.role = Role::Body;
            body.node = frame.node;
            body.start = qsizetype(m_itemStack.size());
            m_frames.push_back(body);
            m_bodyMarks.push_back(BodyMark {m_plan.m_texts.size(), m_plan.m_items.size(), m_plan.m_members.size(),
                m_plan.m_notes.size(), m_plan.m_runs.size(), m_plan.m_otherValues.size(), m_plan.m_refusals.size()});
            return true;
        }
        case Target::URI:
            m_plan.m_nodes[size_t(frame.node)].uriIsText = false;
            return push(Role::Skip);
        case Target::Attribute:
            m_gathering.push_back(Gathering(isObject ? QJsonValue(QJsonObject()) : QJsonValue(QJsonArray())));
            return push(Role::Collect);
        case Target::Notes:
            if (!isObject) {
                refuse(where(frame, entityOf(frame)) + QStringLiteral(" is not notes"));
                return push(Role::Skip);
            }
            m_notes = NotesReading();
            m_notes.notes.firstRun = qsizetype(m_plan.m_runs.size());
            return push(Role::Notes);
        case Target::ToMany: {
            if (isObject) {
                refuse(where(frame, entityOf(frame)) + QStringLiteral(" is not an array of nodes"));
                return push(Role::Skip);
            }
            Item item;
            item.kind = Item::Kind::Members;
            item.relationship = frame.relationship;
            m_itemStack.push_back(item);
            Frame members;
            members.role = Role::Members;
            members.item = qsizetype(m_itemStack.size()) - 1;
            members.start = qsizetype(m_memberStack.size());
            m_frames.push_back(members);
            return true;
        }
        case Target::ToOne: {
            if (!isObject) {
                refuse(where(frame, entityOf(frame)) + QStringLiteral(" is not a node"));
                return push(Role::Skip);
            }
            Item item;
            item.kind = Item::Kind::Member;
            item.relationship = frame.relationship;
            m_itemStack.push_back(item);
            const qsizetype index = qsizetype(m_itemStack.size()) - 1;
            // Pushing the node's frame may move `frame`; the item is reached by index.
            m_itemStack[size_t(index)].first = beginNode();
            return true;
        }
        case Target::NotesRuns:
            if (isObject)
                return push(Role::Skip);
            m_notes.runsIsArray = true;
            return push(Role::Runs);
        case Target::Skipped:
            skipped(frame);
            return push(Role::Skip);
        default:
            return push(Role::Skip);
        }
    }

    // The body's value for the current key is refused for `reason`.
    void refuse(const QString& reason)
    {
        Item item;
        item.kind = Item::Kind::Refusal;
        item.first = m_plan.m_refusals.size();
        m_plan.m_refusals.append(reason);
        m_itemStack.push_back(item);
    }

    void attributeValue(const Frame& frame, const QJsonValue& value)
    {
        const AttributeDescription& attribute = *frame.attribute;
        const QString refusal = attributeRefusal(attribute, value);
        if (!refusal.isEmpty()) {
            refuse(where(frame, entityOf(frame)) + refusal);
            return;
        }
        Item item;
        item.kind = Item::Kind::Value;
        item.attribute = &attribute;
        item.first = encoded(attribute, value);
        m_itemStack.push_back(item);
    }

    // A value that passed attributeRefusal, in the form value() reads.
    qint64 encoded(const AttributeDescription& attribute, const QJsonValue& value)
    {
        using Type = AttributeDescription::Type;
        switch (attribute.type) {
        case Type::Integer16:
        case Type::Integer32:
        case Type::Integer64:
            return integerOf(value);
        case Type::Double:
            return std::bit_cast<qint64>(value.isBool() ? (value.toBool() ? 1.0 : 0.0) : value.toDouble());
        case Type::Boolean:
            return NodeNumbers::booleanOf(value);
        case Type::String:
        case Type::Date:
        case Type::Binary:
            break;
        case Type::StringList:
            m_plan.m_otherValues.push_back(value.toVariant().toStringList());
            return qint64(m_plan.m_otherValues.size()) - 1;
        }
        return 0;
    }

    void gather(const QJsonValue& value)
    {
        Gathering& into = m_gathering.back();
        if (into.value.isArray()) {
            QJsonArray array = into.value.toArray();
            into.value = QJsonValue();
            array.append(value);
            into.value = std::move(array);
        } else {
            QJsonObject object = into.value.toObject();
            into.value = QJsonValue();
            object.insert(into.key, value);
            into.value = std::move(object);
        }
    }

    // The run's JSON text: a separator before each key, and before each value of an array.
    void separate()
    {
        const Frame& frame = m_frames.back();
        if (frame.role == Role::RunValue && !frame.isObject && m_runCounts.back()++ > 0)
            m_run.append(',');
    }

    void runKey(QByteArrayView name)
    {
        if (m_runCounts.back()++ > 0)
            m_run.append(',');
        appendEscaped(name);
        m_run.append(':');
    }

    void appendEscaped(QByteArrayView utf8)
    {
        if (surrogateIn(utf8)) {
            JSONTextWriter::appendEscaped(m_run, fromGeneralisedUtf8(utf8));
            return;
        }
        m_run.append('"');
        for (const char c : utf8) {
            if (c == '"' || c == '\\') {
                m_run.append('\\');
                m_run.append(c);
            } else if (uchar(c) < 0x20) {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\u%04x", unsigned(uchar(c)));
                m_run.append(escape);
            } else {
                m_run.append(c);
            }
        }
        m_run.append('"');
    }

    void writeScalar(const QJsonValue& value)
    {
        if (value.isBool()) {
            m_run.append(value.toBool() ? "true" : "false");
        } else if (value.isDouble()) {
            char number[32];
            const auto written = std::to_chars(number, number + sizeof number, value.toDouble());
            m_run.append(number, written.ptr - number);
        } else {
            m_run.append("null");
        }
    }

    void runIsNoObject()
    {
        if (m_notes.refusal.isEmpty())
            m_notes.refusal = QStringLiteral(": a run of the notes is not an object");
    }

    void endRun()
    {
        const auto known = m_runDictionaries.constFind(m_run);
        const RunDictionary* dictionary = nullptr;
        if (known != m_runDictionaries.cend()) {
            dictionary = &*known;
        } else {
            const QJsonObject attributes = QJsonDocument::fromJson(m_run).object();
            RunDictionary made {qsizetype(m_plan.m_runDictionaries.size()), runRefusal(attributes)};
            m_plan.m_runDictionaries.push_back(attributes);
            dictionary = &*m_runDictionaries.insert(m_run, made);
        }
        if (m_notes.refusal.isEmpty())
            m_notes.refusal = dictionary->refusal;
        Run run;
        run.hasRange = m_rangeIsObject && isIntegral(m_location) && isIntegral(m_length);
        run.location = integerOf(m_location);
        run.length = integerOf(m_length);
        run.dictionary = dictionary->index;
        m_plan.m_runs.push_back(run);
    }

    void endNotes()
    {
        const Frame& frame = m_frames.back();
        const QString place = where(frame, entityOf(frame));
        m_notes.notes.runCount = qsizetype(m_plan.m_runs.size()) - m_notes.notes.firstRun;
        if (!m_notes.hasText || !m_notes.hasRuns) {
            refuse(place + QStringLiteral(" is not notes"));
        } else if (!m_notes.textIsText || !m_notes.runsIsArray) {
            refuse(place + QStringLiteral(": notes without a text or runs"));
        } else if (!m_notes.refusal.isEmpty()) {
            refuse(place + m_notes.refusal);
        } else {
            Item item;
            item.kind = Item::Kind::Notes;
            item.attribute = frame.attribute;
            item.first = qsizetype(m_plan.m_notes.size());
            m_plan.m_notes.push_back(m_notes.notes);
            m_itemStack.push_back(item);
            m_notes = NotesReading();
            return;
        }
        // Refused notes keep no runs.
        m_plan.m_runs.resize(size_t(m_notes.notes.firstRun));
        m_notes = NotesReading();
    }

    void endMembers(const Frame& frame)
    {
        Item& item = m_itemStack[size_t(frame.item)];
        item.first = qsizetype(m_plan.m_members.size());
        item.count = qint32(qsizetype(m_memberStack.size()) - frame.start);
        m_plan.m_members.insert(m_plan.m_members.end(), m_memberStack.begin() + frame.start, m_memberStack.end());
        m_memberStack.resize(size_t(frame.start));
    }

    void endBody(const Frame& frame)
    {
        const BodyMark mark = m_bodyMarks.back();
        m_bodyMarks.pop_back();
        Node& node = m_plan.m_nodes[size_t(frame.node)];
        if (!node.uri.isEmpty()) {
            const qsizetype first = m_firstNodes.findOrInsert(m_plan, frame.node);
            // A node met before by its URI, and wholly before this one (not inside it), is given
            // again when the plan is checked or built: this body is never read. It keeps the
            // first's items, and what it added goes.
            node.uriNode = qint32(first);
            if (first < frame.node) {
                forget(frame, mark);
                const Node& earlier = m_plan.m_nodes[size_t(first)];
                node.uri = earlier.uri;
                node.firstItem = earlier.firstItem;
                node.itemCount = earlier.itemCount;
                return;
            }
        }
        node.firstItem = qsizetype(m_plan.m_items.size());
        node.itemCount = qint32(qsizetype(m_itemStack.size()) - frame.start);
        m_plan.m_items.insert(m_plan.m_items.end(), m_itemStack.begin() + frame.start, m_itemStack.end());
        m_itemStack.resize(size_t(frame.start));
    }

    // What the plan held when a body began.
    struct BodyMark
    {
        size_t texts = 0;
        size_t items = 0;
        size_t members = 0;
        size_t notes = 0;
        size_t runs = 0;
        size_t otherValues = 0;
        qsizetype refusals = 0;
    };

    // Drops all that the body of `frame` and the nodes inside it added to the plan.
    void forget(const Frame& frame, const BodyMark& mark)
    {
        for (size_t inner = size_t(frame.node) + 1; inner < m_plan.m_nodes.size(); ++inner) {
            if (m_plan.m_nodes[inner].uriNode == qint32(inner))
                m_firstNodes.erase(m_plan, qsizetype(inner));
        }
        m_plan.m_nodes.resize(size_t(frame.node) + 1);
        m_itemStack.resize(size_t(frame.start));
        m_plan.m_texts.resize(mark.texts);
        m_plan.m_items.resize(mark.items);
        m_plan.m_members.resize(mark.members);
        m_plan.m_notes.resize(mark.notes);
        m_plan.m_runs.resize(mark.runs);
        m_plan.m_otherValues.resize(mark.otherValues);
        m_plan.m_refusals.resize(mark.refusals);
    }

    NodePlan& m_plan;
    const ManagedObjectModel& m_model;
    std::vector<Frame> m_frames;
    // The items of the bodies still open, innermost last, and the members of open lists.
    std::vector<Item> m_itemStack;
    std::vector<qsizetype> m_memberStack;
    std::vector<Gathering> m_gathering;
    NotesReading m_notes;
    QByteArray m_run;
    // Per open container of the run: the members written so far.
    std::vector<int> m_runCounts;
    QJsonValue m_location;
    QJsonValue m_length;
    bool m_rangeIsObject = false;
    QHash<QByteArray, RunDictionary> m_runDictionaries;
    QHash<QByteArray, QString> m_classNames;
    QHash<const EntityDescription*, QHash<QByteArray, Property>> m_properties;
    const EntityDescription* m_lastEntity = nullptr;
    QHash<QByteArray, Property>* m_lastProperties = nullptr;
    std::vector<BodyMark> m_bodyMarks;
    // The first node read whole of each URI.
    NodesByURI m_firstNodes;
    bool m_notAnArray = false;
};

namespace {

// RapidJSON's events for the plan's reader. It also stops where the text would read differently
// through QJsonDocument: keys out of the order QJsonDocument gives a parsed object's keys (that of
// their code points, so of their UTF-8 bytes) or repeated (QJsonDocument keeps the last), and
// escapes of lone surrogates (RapidJSON turns a low one into bytes that are no UTF-8). Keys and
// texts are checked to be UTF-8 here rather than by RapidJSON, byte by byte: any other byte above
// ASCII outside them is no JSON anyway.
template <typename Reader> class TextEvents
{
public:
    explicit TextEvents(Reader& reader)
        : m_reader(reader)
    {
    }

    bool Null() { return m_reader.scalar(QJsonValue(QJsonValue::Null)); }
    bool Bool(bool value) { return m_reader.scalar(QJsonValue(value)); }
    bool Int(int value) { return m_reader.scalar(QJsonValue(double(value))); }
    bool Uint(unsigned value) { return m_reader.scalar(QJsonValue(double(value))); }
    bool Int64(int64_t value) { return m_reader.scalar(QJsonValue(double(value))); }
    bool Uint64(uint64_t value) { return m_reader.scalar(QJsonValue(double(value))); }
    bool Double(double value) { return m_reader.scalar(QJsonValue(value)); }
    bool RawNumber(const char*, rapidjson::SizeType, bool) { return false; }
    bool String(const char* text, rapidjson::SizeType length, bool)
    {
        return readable(text, length) && m_reader.text(QByteArrayView(text, length));
    }
    bool StartObject()
    {
        m_lastKeys.emplace_back();
        m_hasKey.push_back(false);
        return m_reader.beginContainer(true);
    }
    bool Key(const char* text, rapidjson::SizeType length, bool)
    {
        return readable(text, length) && follows(text, length) && m_reader.key(QByteArrayView(text, length));
    }
    bool EndObject(rapidjson::SizeType)
    {
        m_lastKeys.pop_back();
        m_hasKey.pop_back();
        return m_reader.endContainer();
    }
    bool StartArray() { return m_reader.beginContainer(false); }
    bool EndArray(rapidjson::SizeType) { return m_reader.endContainer(); }

private:
    // A surrogate encoded as UTF-8 (0xED 0xA0..0xBF), which isWellFormedUtf8 refuses, comes
    // only from an escape.
    static bool readable(const char* text, rapidjson::SizeType length)
    {
        return isWellFormedUtf8(QByteArrayView(text, length));
    }

    bool follows(const char* text, rapidjson::SizeType length)
    {
        std::string& last = m_lastKeys.back();
        if (m_hasKey.back() && !(std::string_view(last) < std::string_view(text, length)))
            return false;
        last.assign(text, length);
        m_hasKey.back() = true;
        return true;
    }

    Reader& m_reader;
    std::vector<std::string> m_lastKeys;
    std::vector<bool> m_hasKey;
};

// RapidJSON's stream over a NodePlan::Source, read a block at a time.
class SourceStream
{
public:
    using Ch = char;

    explicit SourceStream(const NodePlan::Source& source)
        : m_source(source)
        , m_buffer(blockSize)
        , m_current(m_buffer.data())
        , m_end(m_buffer.data())
    {
        refill();
    }

    bool failed() const { return m_failed; }
    // Every byte of the source has been read.
    bool atEnd() const { return m_current == m_end; }

    Ch Peek() const { return m_current < m_end ? *m_current : '\0'; }
    Ch Take()
    {
        if (m_current == m_end)
            return '\0';
        const Ch c = *m_current++;
        if (m_current == m_end)
            refill();
        return c;
    }
    size_t Tell() const { return m_count + size_t(m_current - m_buffer.data()); }

    // Not used by a reader that copies its texts.
    Ch* PutBegin() { return nullptr; }
    void Put(Ch) { }
    void Flush() { }
    size_t PutEnd(Ch*) { return 0; }

private:
    static constexpr qsizetype blockSize = 256 * 1024;

    void refill()
    {
        m_count += size_t(m_end - m_buffer.data());
        const qsizetype read = m_failed ? 0 : m_source(m_buffer.data(), blockSize);
        m_failed = m_failed || read < 0;
        m_current = m_buffer.data();
        m_end = m_current + std::max<qsizetype>(read, 0);
    }

    const NodePlan::Source& m_source;
    std::vector<char> m_buffer;
    const char* m_current;
    const char* m_end;
    size_t m_count = 0;
    bool m_failed = false;
};

bool atEnd(const rapidjson::MemoryStream& stream)
{
    return stream.src_ == stream.end_;
}

bool atEnd(const SourceStream& stream)
{
    return stream.atEnd();
}

} // namespace

template <typename Stream>
std::optional<NodePlan> NodePlan::fromStream(
    Stream& stream, qsizetype textSize, const ManagedObjectModel& model, QString* error, bool* needsDocument)
{
    *needsDocument = false;
    NodePlan plan;
    Reader reader(plan, model, textSize);
    TextEvents<Reader> events(reader);
    rapidjson::Reader parser;
    constexpr unsigned flags = rapidjson::kParseIterativeFlag | rapidjson::kParseFullPrecisionFlag;
    // RapidJSON takes a NUL byte for the end of the text; what follows one is still the archive's,
    // and the document reader refuses it.
    if (parser.Parse<flags>(stream, events) && atEnd(stream))
        return plan;
    if (!parser.HasParseError()) {
        *needsDocument = true;
        return std::nullopt;
    }
    if (reader.notAnArray()) {
        *error = QStringLiteral("the archive is not a JSON array");
        return std::nullopt;
    }
    // Whatever else stops RapidJSON or the reader (text out of order, nesting beyond
    // QJsonDocument's limit, a lone surrogate, no JSON at all) is QJsonDocument's to read or to
    // refuse with its reason.
    *needsDocument = true;
    return std::nullopt;
}

std::optional<NodePlan> NodePlan::fromText(
    const QByteArray& text, const ManagedObjectModel& model, QString* error, bool* needsDocument)
{
    rapidjson::MemoryStream stream(text.constData(), size_t(text.size()));
    return fromStream(stream, text.size(), model, error, needsDocument);
}

std::optional<NodePlan> NodePlan::fromSource(
    const Source& source, qsizetype textSize, const ManagedObjectModel& model, QString* error, bool* needsDocument)
{
    SourceStream stream(source);
    std::optional<NodePlan> plan = fromStream(stream, textSize, model, error, needsDocument);
    // A source that stops early is its caller's to explain.
    if (stream.failed()) {
        *needsDocument = false;
        return std::nullopt;
    }
    return plan;
}

NodePlan NodePlan::fromArray(const QJsonArray& dictionaryObjects, const ManagedObjectModel& model)
{
    NodePlan plan;
    Reader reader(plan, model, 0);
    // Depth-first over the values, with an explicit stack of the containers being walked.
    struct Level
    {
        QJsonArray array;
        QJsonObject object;
        bool isObject = false;
        qsizetype next = 0;
    };
    std::vector<Level> levels;
    const auto enter = [&](const QJsonValue& value) {
        if (value.isArray() || value.isObject()) {
            if (!reader.beginContainer(value.isObject()))
                return false;
            levels.push_back(Level {value.toArray(), value.toObject(), value.isObject(), 0});
            return true;
        }
        return reader.scalar(value);
    };
    // Only a payload built in memory nests beyond the limit; it reads as refused.
    const QString tooDeep = QStringLiteral("values nested deeper than %1").arg(maximumJSONDepth);
    if (!enter(QJsonValue(dictionaryObjects))) {
        plan.m_refusal = tooDeep;
        return plan;
    }
    while (!levels.empty()) {
        Level& level = levels.back();
        const qsizetype size = level.isObject ? level.object.size() : level.array.size();
        if (level.next == size) {
            levels.pop_back();
            reader.endContainer();
            continue;
        }
        const qsizetype index = level.next++;
        QJsonValue value;
        if (level.isObject) {
            const auto member = level.object.constBegin() + index;
            reader.key(member.key().toUtf8());
            value = member.value();
        } else {
            value = level.array.at(index);
        }
        if (!enter(value)) {
            plan.m_refusal = tooDeep;
            return plan;
        }
    }
    return plan;
}

// The payload's rules, in the payload's order.
class NodePlan::Check
{
public:
    Check(const NodePlan& plan, const ManagedObjectModel& model, const QHash<QString, ManagedObject*>& importedObjects)
        : m_plan(plan)
        , m_model(model)
        , m_importedObjects(importedObjects)
    {
        m_seen.resize(size_t(plan.nodeCount()));
    }

    const QString& error() const { return m_error; }

    bool entries()
    {
        for (const qsizetype entry : m_plan.m_entries) {
            if (entry == notANode)
                return fail(QStringLiteral("the payload holds something other than nodes"));
            if (!node(entry, nullptr, 1))
                return false;
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
    bool node(qsizetype index, const RelationshipDescription* via, int depth)
    {
        const Node& node = m_plan.node(index);
        if (node.classCount == 0)
            return true;
        if (node.classCount != 1)
            return fail(QStringLiteral("a node has %1 class names instead of one").arg(node.classCount));
        if (depth > JSONReader::maximumNodeDepth)
            return fail(QStringLiteral("nodes nested deeper than %1").arg(JSONReader::maximumNodeDepth));
        const EntityDescription* entity = node.entity;
        if (!entity)
            return fail(QStringLiteral("unknown class \"%1\"").arg(node.className));
        if (const EntityDescription* root = m_model.entity(rootClassName); root && entity->isKindOfEntity(root))
            return fail(QStringLiteral("a \"Root\" node"));
        if (via && !entity->isKindOfEntity(via->destinationEntity))
            return fail(QStringLiteral("a \"%1\" node where a \"%2\" belongs")
                            .arg(node.className, via->destinationEntity->name()));
        if (!node.bodyIsObject)
            return fail(QStringLiteral("the body of a \"%1\" node is not an object").arg(node.className));
        if (!node.uriIsText)
            return fail(QStringLiteral("an \"objectIDURI\" that is not a text"));
        // A node met before is not read again, but must name the same kind of object.
        // An empty URI names no object, so it is never met again (as when the objects are made).
        const QByteArrayView uri = m_plan.utf8(node.uri);
        if (!uri.isEmpty()) {
            const ManagedObject* existing
                = m_importedObjects.isEmpty() ? nullptr : m_importedObjects.value(m_plan.string(node.uri));
            if (existing) {
                if (existing->entity() != entity)
                    return fail(QStringLiteral("\"%1\" names a \"%2\" and a \"%3\"")
                                    .arg(m_plan.string(node.uri), existing->entity()->name(), node.className));
                return true;
            }
            Seen& seen = m_seen[size_t(node.uriNode)];
            if (seen.entity) {
                if (seen.open)
                    return fail(QStringLiteral("\"%1\" would contain itself").arg(m_plan.string(node.uri)));
                if (seen.entity != entity)
                    return fail(QStringLiteral("\"%1\" names a \"%2\" and a \"%3\"")
                                    .arg(m_plan.string(node.uri), seen.entity->name(), node.className));
                return true;
            }
            seen = Seen {entity, true};
        }
        const bool ok = body(node, depth) && complete(node, via) && columnsInOneRole(node);
        if (!uri.isEmpty())
            m_seen[size_t(node.uriNode)].open = false;
        return ok;
    }

    bool body(const Node& node, int depth)
    {
        for (qsizetype i = node.firstItem; i < node.firstItem + node.itemCount; ++i) {
            const Item& item = m_plan.item(i);
            switch (item.kind) {
            case Item::Kind::Refusal:
                return fail(m_plan.m_refusals.at(item.first));
            case Item::Kind::Members:
                for (qsizetype m = item.first; m < item.first + item.count; ++m) {
                    const qsizetype member = m_plan.m_members[size_t(m)];
                    if (member == notANode)
                        return fail(where(item.relationship->name, node.entity)
                            + QStringLiteral(" holds something other than nodes"));
                    if (!this->node(member, item.relationship, depth + 1))
                        return false;
                }
                break;
            case Item::Kind::Member:
                if (!this->node(item.first, item.relationship, depth + 1))
                    return false;
                break;
            case Item::Kind::Value:
            case Item::Kind::Notes:
            case Item::Kind::Skipped:
                break;
            }
        }
        return true;
    }

    // What the store requires of every object: the values that have no default, and the owner of
    // an object that cannot stand alone (a day group belongs to its board's "doneDates").
    bool complete(const Node& node, const RelationshipDescription* via)
    {
        const EntityDescription* entity = node.entity;
        QVarLengthArray<bool, 64> present(entity->attributes().size(), false);
        for (qsizetype i = node.firstItem; i < node.firstItem + node.itemCount; ++i)
            if (const AttributeDescription* attribute = m_plan.item(i).attribute)
                present[attribute->index] = true;
        for (const AttributeDescription& attribute : entity->attributes())
            if (!attribute.isOptional && !attribute.defaultValue.isValid() && !present[attribute.index])
                return fail(QStringLiteral("a \"%1\" without \"%2\"").arg(entity->name(), attribute.name));
        for (const RelationshipDescription& relationship : entity->relationships()) {
            if (relationship.isToMany || relationship.isOptional)
                continue;
            if (!via || !via->inverseRelationship || via->inverseRelationship->name != relationship.name)
                return fail(QStringLiteral("a \"%1\" outside its \"%2\"").arg(entity->name(), relationship.name));
        }
        return true;
    }

    // A board's done column is never one of its stage columns. An object is made once per URI,
    // so a URI named in both places would give one column both roles.
    bool columnsInOneRole(const Node& node)
    {
        QByteArrayView doneColumn;
        for (qsizetype i = node.firstItem; i < node.firstItem + node.itemCount; ++i) {
            const Item& item = m_plan.item(i);
            if (item.kind == Item::Kind::Member && item.relationship->name == mainColumnKey)
                doneColumn = m_plan.utf8(m_plan.node(item.first).uri);
        }
        if (doneColumn.isEmpty())
            return true;
        for (qsizetype i = node.firstItem; i < node.firstItem + node.itemCount; ++i) {
            const Item& item = m_plan.item(i);
            if (item.kind != Item::Kind::Members || item.relationship->name != stageColumnsKey)
                continue;
            for (qsizetype m = item.first; m < item.first + item.count; ++m)
                if (m_plan.utf8(m_plan.node(m_plan.m_members[size_t(m)]).uri) == doneColumn)
                    return fail(QStringLiteral("\"%1\" is both the done column and a stage column of a board")
                                    .arg(fromGeneralisedUtf8(doneColumn)));
        }
        return true;
    }

    const NodePlan& m_plan;
    const ManagedObjectModel& m_model;
    const QHash<QString, ManagedObject*>& m_importedObjects;
    // By the node that stands for a URI: the kind of the node met under it (none yet), and
    // whether that node is being checked still.
    struct Seen
    {
        const EntityDescription* entity = nullptr;
        bool open = false;
    };
    std::vector<Seen> m_seen;
    QString m_error;
};

NodePlan::Text NodePlan::keep(QByteArrayView utf8)
{
    const Text text {qsizetype(m_texts.size()), utf8.size()};
    m_texts.insert(m_texts.end(), utf8.begin(), utf8.end());
    return text;
}

QString NodePlan::string(Text text) const
{
    return fromGeneralisedUtf8(utf8(text));
}

QVariant NodePlan::value(const Item& item) const
{
    using Type = AttributeDescription::Type;
    switch (item.attribute->type) {
    case Type::Integer16:
    case Type::Integer32:
    case Type::Integer64:
        return integer(item);
    case Type::Double:
        return std::bit_cast<double>(item.first);
    case Type::Boolean:
        return item.first != 0;
    case Type::String:
        return string(text(item));
    case Type::Date:
        return QDateTime::fromMSecsSinceEpoch(dateMSecs(item), Qt::UTC);
    case Type::StringList:
        return m_otherValues[size_t(item.first)];
    case Type::Binary:
        break;
    }
    return {};
}

QString NodePlan::unsafePictureName(const QString& key, const QJsonValue& value)
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

bool NodePlan::check(
    const ManagedObjectModel& model, const QHash<QString, ManagedObject*>& importedObjects, QString* error) const
{
    if (!m_refusal.isEmpty()) {
        *error = m_refusal;
        return false;
    }
    Check check(*this, model, importedObjects);
    if (check.entries())
        return true;
    *error = check.error();
    return false;
}

QString NodePlan::misplacedTopLevelNode() const
{
    for (const qsizetype entry : m_entries) {
        if (entry == notANode)
            continue;
        const Node& node = m_nodes[size_t(entry)];
        if (node.classCount != 1)
            continue;
        if (node.className != QLatin1String("Folder") && node.className != QLatin1String("Kanban"))
            return QStringLiteral("a \"%1\" node at the top, where only folders and boards belong").arg(node.className);
    }
    return {};
}
