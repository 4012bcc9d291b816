#include "PelorinsKit/archive/NodePlanReader.h"

#include "PelorinsKit/archive/JSONTextWriter.h"
#include "PelorinsKit/archive/NodeDate.h"
#include "PelorinsKit/archive/NodeNumbers.h"
#include "PelorinsKit/archive/NodePlanRules.h"
#include "PelorinsKit/archive/NodePlanUtf8.h"
#include "Platform/core/objectgraph/ManagedObjectModel.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <bit>
#include <charconv>
#include <cstdio>

using NodeNumbers::integerOf;
using NodeNumbers::isIntegral;
using NodePlanRules::attributeRefusal;
using NodePlanRules::isReadToMany;
using NodePlanRules::mainColumnKey;
using NodePlanRules::runRefusal;
using NodePlanRules::textRefusal;
using NodePlanUtf8::fromGeneralisedUtf8;
using NodePlanUtf8::generalisedUtf8;
using NodePlanUtf8::surrogateIn;

namespace {

const QString objectIDURIKey = QStringLiteral("objectIDURI");

} // namespace

NodePlan::Reader::Reader(NodePlan& plan, const ManagedObjectModel& model, qsizetype textSize)
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

bool NodePlan::Reader::scalar(const QJsonValue& value)
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

bool NodePlan::Reader::text(QByteArrayView utf8)
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

bool NodePlan::Reader::beginContainer(bool isObject)
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
        return beginGathering(isObject);
    case Role::Skip:
        return push(Role::Skip);
    case Role::Wrapper:
    case Role::Body:
    case Role::Notes:
        return keyedContainer(frame, isObject);
    }
    return true;
}

bool NodePlan::Reader::key(QByteArrayView name)
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

bool NodePlan::Reader::endContainer()
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

bool NodePlan::Reader::push(Role role)
{
    Frame frame;
    frame.role = role;
    m_frames.push_back(frame);
    return true;
}

bool NodePlan::Reader::skipAfter(std::vector<qsizetype>& list, qsizetype entry)
{
    list.push_back(entry);
    return push(Role::Skip);
}

qsizetype NodePlan::Reader::beginNode()
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
QString NodePlan::Reader::className(QByteArrayView name)
{
    const QByteArray raw = QByteArray::fromRawData(name.data(), name.size());
    const auto known = m_classNames.constFind(raw);
    if (known != m_classNames.cend())
        return *known;
    const QString made = QString::fromUtf8(name);
    m_classNames.insert(QByteArray(name.data(), name.size()), made);
    return made;
}

void NodePlan::Reader::bodyKey(Frame& frame, QByteArrayView name)
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

QHash<QByteArray, NodePlan::Reader::Property> NodePlan::Reader::propertiesOf(const EntityDescription* entity)
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

// The value for the frame's key is refused for `reason`, said after where it stands.
void NodePlan::Reader::refuseAt(const Frame& frame, const QString& reason)
{
    const QString& key = frame.attribute ? frame.attribute->name : frame.relationship->name;
    refuse(NodePlanRules::where(key, entityOf(frame)) + reason);
}

void NodePlan::Reader::keyedScalar(Frame& frame, const QJsonValue& value)
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
        refuseAt(frame, QStringLiteral(" is not notes"));
        return;
    case Target::ToMany:
        refuseAt(frame, QStringLiteral(" is not an array of nodes"));
        return;
    case Target::ToOne:
        refuseAt(frame, QStringLiteral(" is not a node"));
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

void NodePlan::Reader::keyedText(Frame& frame, QByteArrayView utf8)
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

void NodePlan::Reader::attributeText(const Frame& frame, QByteArrayView utf8)
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
        refuseAt(frame, refusal);
        return;
    }
    const Text text = m_plan.keep(utf8);
    keepValue(attribute, text.offset, qint32(text.size));
}

void NodePlan::Reader::attributeDate(const Frame& frame, std::optional<qint64> milliseconds)
{
    if (!milliseconds) {
        refuseAt(frame, QStringLiteral(" is not a date"));
        return;
    }
    keepValue(*frame.attribute, *milliseconds);
}

void NodePlan::Reader::skipped(const Frame& frame)
{
    Item item;
    item.kind = Item::Kind::Skipped;
    item.relationship = frame.relationship;
    m_itemStack.push_back(item);
}

bool NodePlan::Reader::keyedContainer(Frame& frame, bool isObject)
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
        return beginGathering(isObject);
    case Target::Notes:
        if (!isObject) {
            refuseAt(frame, QStringLiteral(" is not notes"));
            return push(Role::Skip);
        }
        m_notes = NotesReading();
        m_notes.notes.firstRun = qsizetype(m_plan.m_runs.size());
        return push(Role::Notes);
    case Target::ToMany: {
        if (isObject) {
            refuseAt(frame, QStringLiteral(" is not an array of nodes"));
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
            refuseAt(frame, QStringLiteral(" is not a node"));
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
void NodePlan::Reader::refuse(const QString& reason)
{
    Item item;
    item.kind = Item::Kind::Refusal;
    item.first = m_plan.m_refusals.size();
    m_plan.m_refusals.append(reason);
    m_itemStack.push_back(item);
}

void NodePlan::Reader::attributeValue(const Frame& frame, const QJsonValue& value)
{
    const AttributeDescription& attribute = *frame.attribute;
    const QString refusal = attributeRefusal(attribute, value);
    if (!refusal.isEmpty()) {
        refuseAt(frame, refusal);
        return;
    }
    keepValue(attribute, encoded(attribute, value));
}

// A value of `attribute` the body keeps, as value() and its kin read it.
void NodePlan::Reader::keepValue(const AttributeDescription& attribute, qint64 first, qint32 count)
{
    Item item;
    item.kind = Item::Kind::Value;
    item.attribute = &attribute;
    item.first = first;
    item.count = count;
    m_itemStack.push_back(item);
}

// A value that passed attributeRefusal, in the form value() reads.
qint64 NodePlan::Reader::encoded(const AttributeDescription& attribute, const QJsonValue& value)
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

// A container inside a value is gathered whole into a QJsonValue.
bool NodePlan::Reader::beginGathering(bool isObject)
{
    m_gathering.push_back(Gathering(isObject ? QJsonValue(QJsonObject()) : QJsonValue(QJsonArray())));
    return push(Role::Collect);
}

void NodePlan::Reader::gather(const QJsonValue& value)
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
void NodePlan::Reader::separate()
{
    const Frame& frame = m_frames.back();
    if (frame.role == Role::RunValue && !frame.isObject && m_runCounts.back()++ > 0)
        m_run.append(',');
}

void NodePlan::Reader::runKey(QByteArrayView name)
{
    if (m_runCounts.back()++ > 0)
        m_run.append(',');
    appendEscaped(name);
    m_run.append(':');
}

void NodePlan::Reader::appendEscaped(QByteArrayView utf8)
{
    if (surrogateIn(utf8)) {
        JSONTextWriter::appendEscaped(m_run, fromGeneralisedUtf8(utf8));
        return;
    }
    m_run.append('"');
    // Plain stretches go in whole; keys and values of runs rarely hold anything to escape.
    qsizetype plain = 0;
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        const char c = utf8[i];
        if (c != '"' && c != '\\' && uchar(c) >= 0x20)
            continue;
        m_run.append(utf8.sliced(plain, i - plain));
        plain = i + 1;
        if (c == '"' || c == '\\') {
            m_run.append('\\');
            m_run.append(c);
        } else {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", unsigned(uchar(c)));
            m_run.append(escape);
        }
    }
    m_run.append(utf8.sliced(plain));
    m_run.append('"');
}

void NodePlan::Reader::writeScalar(const QJsonValue& value)
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

void NodePlan::Reader::runIsNoObject()
{
    if (m_notes.refusal.isEmpty())
        m_notes.refusal = QStringLiteral(": a run of the notes is not an object");
}

void NodePlan::Reader::endRun()
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

void NodePlan::Reader::endNotes()
{
    const Frame& frame = m_frames.back();
    m_notes.notes.runCount = qsizetype(m_plan.m_runs.size()) - m_notes.notes.firstRun;
    if (!m_notes.hasText || !m_notes.hasRuns) {
        refuseAt(frame, QStringLiteral(" is not notes"));
    } else if (!m_notes.textIsText || !m_notes.runsIsArray) {
        refuseAt(frame, QStringLiteral(": notes without a text or runs"));
    } else if (!m_notes.refusal.isEmpty()) {
        refuseAt(frame, m_notes.refusal);
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

void NodePlan::Reader::endMembers(const Frame& frame)
{
    Item& item = m_itemStack[size_t(frame.item)];
    item.first = qsizetype(m_plan.m_members.size());
    item.count = qint32(qsizetype(m_memberStack.size()) - frame.start);
    m_plan.m_members.insert(m_plan.m_members.end(), m_memberStack.begin() + frame.start, m_memberStack.end());
    m_memberStack.resize(size_t(frame.start));
}

void NodePlan::Reader::endBody(const Frame& frame)
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

// Drops all that the body of `frame` and the nodes inside it added to the plan.
void NodePlan::Reader::forget(const Frame& frame, const BodyMark& mark)
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
