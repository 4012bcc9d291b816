#pragma once

#include <QByteArray>
#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QVariant>
#include <optional>
#include <vector>

class EntityDescription;
class ManagedObject;
class ManagedObjectModel;
struct AttributeDescription;
struct RelationshipDescription;

// A payload of JSON nodes (see JSONWriter) read once into a compact form the reader builds
// objects from: each node's entity and URI, its attribute values already converted, its member
// lists as node indexes, and its notes as text with runs whose attribute dictionaries are kept
// once per distinct dictionary. Values that break a rule are kept as the reason, so that check()
// judges a node exactly when and where the payload's order reaches it: a node named again by its
// URI is not judged twice, as it is not made twice.
//
// The same rules read both forms of a payload: JSON text, streamed without a document, and a
// QJsonArray already parsed (paste, duplicate, undo). Keys are taken in a QJsonObject's order,
// so both forms give the same plan; text whose keys are not in that order, repeat a key, or that
// holds what the streaming parser reads differently from QJsonDocument (a lone surrogate, say)
// is left to the document form.
class NodePlan
{
public:
    // An entry of a member list that is no object. An empty object ("{}") is a node without a
    // class, which makes nothing.
    static constexpr qsizetype notANode = -1;
    // Beyond QJsonDocument's own limit, so that both forms refuse the same text.
    static constexpr int maximumJSONDepth = 1024;

    struct Node
    {
        // Null for a class the model does not have (or an abstract one).
        const EntityDescription* entity = nullptr;
        QString className;
        int classCount = 0;
        bool bodyIsObject = false;
        bool uriIsText = true;
        QString uri;
        qsizetype firstItem = 0;
        qsizetype itemCount = 0;
    };

    // A run of the notes: its range as given (unclipped) and its attributes, an index into
    // runDictionaries(). A run without a readable range adds nothing.
    struct Run
    {
        qint64 location = 0;
        qint64 length = 0;
        bool hasRange = false;
        qsizetype dictionary = 0;
    };
    struct Notes
    {
        QString text;
        std::vector<Run> runs;
    };

    // One key of a node's body that matters, in the order of the body.
    struct Item
    {
        // Skipped: a relationship the format does not carry (a card's picture records).
        enum class Kind { Value, Notes, Members, Member, Refusal, Skipped };
        Kind kind = Kind::Value;
        const AttributeDescription* attribute = nullptr;
        const RelationshipDescription* relationship = nullptr;
        // The converted value (Value).
        QVariant value;
        // Notes: index into notes(); Members: first index into members(); Member: the node;
        // Refusal: index into refusals().
        qsizetype first = 0;
        qsizetype count = 0;
    };

    // Reads JSON text in UTF-8 (no byte order mark). Nothing, with `needsDocument` set, when
    // the text must be read through QJsonDocument instead (see above); nothing with `error`
    // when it is no JSON or no array.
    static std::optional<NodePlan> fromText(
        const QByteArray& text, const ManagedObjectModel& model, QString* error, bool* needsDocument);
    static NodePlan fromArray(const QJsonArray& dictionaryObjects, const ManagedObjectModel& model);

    // The whole payload against the model's rules (see JSONReader.h). Nodes whose URIs are in
    // `importedObjects` were made by an earlier payload: they are given again, not judged.
    bool check(
        const ManagedObjectModel& model, const QHash<QString, ManagedObject*>& importedObjects, QString* error) const;
    // Why the plan cannot be an archive: a node other than a folder or a board at the top.
    QString misplacedTopLevelNode() const;
    // Why a picture reference of a run of notes cannot become a path; empty when it can.
    static QString unsafePictureName(const QString& key, const QJsonValue& value);

    const std::vector<qsizetype>& entries() const { return m_entries; }
    const Node& node(qsizetype index) const { return m_nodes[size_t(index)]; }
    const Item& item(qsizetype index) const { return m_items[size_t(index)]; }
    const std::vector<qsizetype>& members() const { return m_members; }
    const Notes& notes(qsizetype index) const { return m_notes[size_t(index)]; }
    const QJsonObject& runDictionary(qsizetype index) const { return m_runDictionaries[size_t(index)]; }
    qsizetype runDictionaryCount() const { return qsizetype(m_runDictionaries.size()); }
    qsizetype nodeCount() const { return qsizetype(m_nodes.size()); }

private:
    class Reader;
    class Check;

    std::vector<qsizetype> m_entries;
    std::vector<Node> m_nodes;
    std::vector<Item> m_items;
    std::vector<qsizetype> m_members;
    std::vector<Notes> m_notes;
    std::vector<QJsonObject> m_runDictionaries;
    QStringList m_refusals;
    // Why the payload could not be read whole.
    QString m_refusal;
};
