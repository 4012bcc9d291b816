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
#include <QSet>
#include <QVarLengthArray>
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
QString textRefusal(const AttributeDescription& attribute, const QString& text)
{
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
        return value.isString() ? textRefusal(attribute, value.toString()) : QStringLiteral(" is not a text");
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

// A value that passed attributeRefusal, as the object keeps it.
QVariant converted(const AttributeDescription& attribute, const QJsonValue& value)
{
    using Type = AttributeDescription::Type;
    switch (attribute.type) {
    case Type::Integer16:
    case Type::Integer32:
    case Type::Integer64:
        return integerOf(value);
    case Type::Double:
        return value.isBool() ? (value.toBool() ? 1.0 : 0.0) : value.toDouble();
    case Type::Boolean:
        return NodeNumbers::booleanOf(value);
    case Type::String:
        return value.toString();
    case Type::Date:
        return *NodeDate::date(value.toString());
    case Type::StringList:
        return value.toVariant().toStringList();
    case Type::Binary:
        break;
    }
    return {};
}

} // namespace

// Turns the events of one JSON value (a payload) into the plan. Containers nest through an
// explicit stack, so hostile nesting costs memory in proportion to the text, never the call
// stack. Keys and texts arrive as UTF-8 and become QStrings only where they are kept; values
// that are no nodes, notes or lists are gathered into QJsonValues, and each run of notes is
// written down as JSON text without its range, so that equal runs are told apart by that text
// and only a new one is made into a dictionary.
class NodePlan::Reader
{
public:
    Reader(NodePlan& plan, const ManagedObjectModel& model, qsizetype textSize)
        : m_plan(plan)
        , m_model(model)
    {
        // About what the reference archives hold per byte, to spare most regrowing.
        m_plan.m_nodes.reserve(size_t(textSize / 400));
        m_plan.m_items.reserve(size_t(textSize / 128));
    }

    bool notAnArray() const { return m_notAnArray; }

    bool scalar(const QJsonValue& value)
    {
        if (value.isString())
            return string(value.toString());
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

    // A text of JSON text, turned into a QString only where it is kept.
    bool text(QByteArrayView utf8)
    {
        if (m_frames.empty())
            return string(QString::fromUtf8(utf8));
        const Frame& frame = m_frames.back();
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
        case Role::Wrapper:
        case Role::Body:
        case Role::Notes:
            if (frame.target == Target::Ignore)
                return true;
            if (frame.target == Target::Attribute && frame.attribute->type == AttributeDescription::Type::Date) {
                attributeDate(frame, NodeDate::date(utf8));
                return true;
            }
            break;
        default:
            break;
        }
        return string(QString::fromUtf8(utf8));
    }

    // Texts are kept as QStrings, never as QJsonValues, which would copy them twice more.
    bool string(const QString& text)
    {
        if (m_frames.empty()) {
            m_notAnArray = true;
            return false;
        }
        Frame& frame = m_frames.back();
        switch (frame.role) {
        case Role::Run:
        case Role::RunValue:
            if (frame.target == Target::RunRange)
                return true;
            separate();
            JSONTextWriter::appendEscaped(m_run, text);
            return true;
        case Role::Collect:
            gather(QJsonValue(text));
            return true;
        case Role::Wrapper:
        case Role::Body:
        case Role::Notes:
            keyedString(frame, text);
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
        QHash<QByteArray, Property>& properties = m_properties[entity];
        if (properties.isEmpty())
            properties = propertiesOf(entity);
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
        case Target::URI: {
            Node& node = m_plan.m_nodes[size_t(frame.node)];
            node.uriIsText = value.isString();
            node.uri = value.toString();
            return;
        }
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
            m_notes.textIsText = value.isString();
            m_notes.notes.text = value.toString();
            return;
        case Target::Skipped:
            skipped(frame);
            return;
        default:
            return;
        }
    }

    void keyedString(Frame& frame, const QString& text)
    {
        switch (frame.target) {
        case Target::URI: {
            Node& node = m_plan.m_nodes[size_t(frame.node)];
            node.uriIsText = true;
            node.uri = text;
            return;
        }
        case Target::Attribute:
            attributeText(frame, text);
            return;
        case Target::NotesText:
            m_notes.textIsText = true;
            m_notes.notes.text = text;
            return;
        default:
            // Anything but a text where a text is not wanted: as for any such value.
            keyedScalar(frame, QJsonValue(QJsonValue::Undefined));
            return;
        }
    }

    void attributeText(const Frame& frame, const QString& text)
    {
        const AttributeDescription& attribute = *frame.attribute;
        QString refusal;
        QVariant value;
        if (attribute.type == AttributeDescription::Type::String) {
            refusal = textRefusal(attribute, text);
            value = text;
        } else if (attribute.type == AttributeDescription::Type::Date) {
            attributeDate(frame, NodeDate::date(text));
            return;
        } else {
            attributeValue(frame, QJsonValue(text));
            return;
        }
        if (!refusal.isEmpty()) {
            refuse(where(frame, entityOf(frame)) + refusal);
            return;
        }
        Item item;
        item.kind = Item::Kind::Value;
        item.attribute = &attribute;
        item.value = std::move(value);
        m_itemStack.push_back(std::move(item));
    }

    void attributeDate(const Frame& frame, const std::optional<QDateTime>& date)
    {
        if (!date) {
            refuse(where(frame, entityOf(frame)) + QStringLiteral(" is not a date"));
            return;
        }
        Item item;
        item.kind = Item::Kind::Value;
        item.attribute = frame.attribute;
        item.value = *date;
        m_itemStack.push_back(std::move(item));
    }

    void skipped(const Frame& frame)
    {
        Item item;
        item.kind = Item::Kind::Skipped;
        item.relationship = frame.relationship;
        m_itemStack.push_back(std::move(item));
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
            return push(Role::Notes);
        case Target::ToMany: {
            if (isObject) {
                refuse(where(frame, entityOf(frame)) + QStringLiteral(" is not an array of nodes"));
                return push(Role::Skip);
            }
            Item item;
            item.kind = Item::Kind::Members;
            item.relationship = frame.relationship;
            m_itemStack.push_back(std::move(item));
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
            m_itemStack.push_back(std::move(item));
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
        m_itemStack.push_back(std::move(item));
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
        item.value = converted(attribute, value);
        m_itemStack.push_back(std::move(item));
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
        m_notes.notes.runs.push_back(run);
    }

    void endNotes()
    {
        const Frame& frame = m_frames.back();
        const QString place = where(frame, entityOf(frame));
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
            m_plan.m_notes.push_back(std::move(m_notes.notes));
            m_itemStack.push_back(std::move(item));
        }
        m_notes = NotesReading();
    }

    void endMembers(const Frame& frame)
    {
        Item& item = m_itemStack[size_t(frame.item)];
        item.first = qsizetype(m_plan.m_members.size());
        item.count = qsizetype(m_memberStack.size()) - frame.start;
        m_plan.m_members.insert(m_plan.m_members.end(), m_memberStack.begin() + frame.start, m_memberStack.end());
        m_memberStack.resize(size_t(frame.start));
    }

    void endBody(const Frame& frame)
    {
        Node& node = m_plan.m_nodes[size_t(frame.node)];
        node.firstItem = qsizetype(m_plan.m_items.size());
        node.itemCount = qsizetype(m_itemStack.size()) - frame.start;
        std::move(m_itemStack.begin() + frame.start, m_itemStack.end(), std::back_inserter(m_plan.m_items));
        m_itemStack.resize(size_t(frame.start));
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
    bool m_notAnArray = false;
};

namespace {

// RapidJSON's events for the plan's reader. It also stops where the text would read differently
// through QJsonDocument: keys out of the order QJsonDocument gives a parsed object's keys (that of
// their code points, so of their UTF-8 bytes) or repeated (QJsonDocument keeps the last), and
// escapes of lone surrogates (RapidJSON turns a low one into bytes that are no UTF-8).
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
    // A surrogate encoded as UTF-8 (0xED 0xA0..0xBF) comes only from an escape.
    static bool readable(const char* text, rapidjson::SizeType length)
    {
        const char* end = text + length;
        for (const char* at = text; (at = static_cast<const char*>(std::memchr(at, '\xED', size_t(end - at)))); ++at) {
            if (at + 1 < end && (uchar(at[1]) & 0xE0) == 0xA0)
                return false;
        }
        return true;
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

} // namespace

std::optional<NodePlan> NodePlan::fromText(
    const QByteArray& text, const ManagedObjectModel& model, QString* error, bool* needsDocument)
{
    *needsDocument = false;
    NodePlan plan;
    Reader reader(plan, model, text.size());
    TextEvents<Reader> events(reader);
    rapidjson::Reader parser;
    rapidjson::MemoryStream stream(text.constData(), size_t(text.size()));
    constexpr unsigned flags
        = rapidjson::kParseIterativeFlag | rapidjson::kParseValidateEncodingFlag | rapidjson::kParseFullPrecisionFlag;
    if (parser.Parse<flags>(stream, events))
        return plan;
    if (reader.notAnArray()) {
        *error = QStringLiteral("the archive is no array of JSON nodes: not an array");
        return std::nullopt;
    }
    // Whatever else stops RapidJSON or the reader (text out of order, nesting beyond
    // QJsonDocument's limit, a lone surrogate, no JSON at all) is QJsonDocument's to read or to
    // refuse with its reason.
    *needsDocument = true;
    return std::nullopt;
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
        const QString& uri = node.uri;
        if (!uri.isEmpty()) {
            if (const ManagedObject* existing = m_importedObjects.value(uri)) {
                if (existing->entity() != entity)
                    return fail(QStringLiteral("\"%1\" names a \"%2\" and a \"%3\"")
                                    .arg(uri, existing->entity()->name(), node.className));
                return true;
            }
            if (const auto seen = m_seen.constFind(uri); seen != m_seen.cend()) {
                if (m_open.contains(uri))
                    return fail(QStringLiteral("\"%1\" would contain itself").arg(uri));
                if (*seen != entity)
                    return fail(
                        QStringLiteral("\"%1\" names a \"%2\" and a \"%3\"").arg(uri, (*seen)->name(), node.className));
                return true;
            }
            m_seen.insert(uri, entity);
            m_open.insert(uri);
        }
        const bool ok = body(node, depth) && complete(node, via) && columnsInOneRole(node);
        m_open.remove(uri);
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
        QString doneColumn;
        for (qsizetype i = node.firstItem; i < node.firstItem + node.itemCount; ++i) {
            const Item& item = m_plan.item(i);
            if (item.kind == Item::Kind::Member && item.relationship->name == mainColumnKey)
                doneColumn = m_plan.node(item.first).uri;
        }
        if (doneColumn.isEmpty())
            return true;
        for (qsizetype i = node.firstItem; i < node.firstItem + node.itemCount; ++i) {
            const Item& item = m_plan.item(i);
            if (item.kind != Item::Kind::Members || item.relationship->name != stageColumnsKey)
                continue;
            for (qsizetype m = item.first; m < item.first + item.count; ++m)
                if (m_plan.node(m_plan.m_members[size_t(m)]).uri == doneColumn)
                    return fail(
                        QStringLiteral("\"%1\" is both the done column and a stage column of a board").arg(doneColumn));
        }
        return true;
    }

    const NodePlan& m_plan;
    const ManagedObjectModel& m_model;
    const QHash<QString, ManagedObject*>& m_importedObjects;
    QHash<QString, const EntityDescription*> m_seen;
    QSet<QString> m_open;
    QString m_error;
};

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
