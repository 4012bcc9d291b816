#pragma once

#include "PelorinsKit/archive/NodePlan.h"
#include "PelorinsKit/archive/NodePlanNodesByURI.h"

#include <QByteArray>
#include <QHash>
#include <QJsonValue>
#include <QString>

#include <optional>
#include <vector>

// Turns the events of one JSON value (a payload) into the plan. Containers nest through an
// explicit stack, so hostile nesting costs memory in proportion to the text, never the call
// stack. Keys and texts arrive as UTF-8; the texts kept are copied into the plan's one array of
// texts, and no QString is made of them. Values that are no nodes, notes or lists are gathered into
// QJsonValues, and each run of notes is written down as JSON text without its range, so that equal
// runs are told apart by that text and only a new one is made into a dictionary.
class NodePlan::Reader
{
public:
    Reader(NodePlan& plan, const ManagedObjectModel& model, qsizetype textSize);

    bool notAnArray() const { return m_notAnArray; }

    bool scalar(const QJsonValue& value);
    // A text, in UTF-8 (in the generalised form when it holds a lone surrogate).
    bool text(QByteArrayView utf8);
    bool beginContainer(bool isObject);
    bool key(QByteArrayView name);
    bool endContainer();

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

    bool push(Role role);
    bool skipAfter(std::vector<qsizetype>& list, qsizetype entry);
    qsizetype beginNode();
    QString className(QByteArrayView name);
    const EntityDescription* entityOf(const Frame& frame) const { return m_plan.m_nodes[size_t(frame.node)].entity; }
    void bodyKey(Frame& frame, QByteArrayView name);
    static QHash<QByteArray, Property> propertiesOf(const EntityDescription* entity);
    void refuseAt(const Frame& frame, const QString& reason);
    void keyedScalar(Frame& frame, const QJsonValue& value);
    void keyedText(Frame& frame, QByteArrayView utf8);
    void attributeText(const Frame& frame, QByteArrayView utf8);
    void attributeDate(const Frame& frame, std::optional<qint64> milliseconds);
    void skipped(const Frame& frame);
    bool keyedContainer(Frame& frame, bool isObject);
    void refuse(const QString& reason);
    void attributeValue(const Frame& frame, const QJsonValue& value);
    void keepValue(const AttributeDescription& attribute, qint64 first, qint32 count = 0);
    qint64 encoded(const AttributeDescription& attribute, const QJsonValue& value);
    bool beginGathering(bool isObject);
    void gather(const QJsonValue& value);
    void separate();
    void runKey(QByteArrayView name);
    void appendEscaped(QByteArrayView utf8);
    void writeScalar(const QJsonValue& value);
    void runIsNoObject();
    void endRun();
    void endNotes();
    void endMembers(const Frame& frame);
    void endBody(const Frame& frame);
    void forget(const Frame& frame, const BodyMark& mark);

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
