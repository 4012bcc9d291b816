#pragma once

#include "PelorinsKit/archive/LargePageAllocator.h"
#include <QByteArray>
#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QVariant>

#include <functional>
#include <optional>
#include <span>
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
// URI is not judged twice, as it is not made twice. Such a node's body is not kept either (it
// shares the items of the node first read whole under its URI), which spares most of the shared
// cards and tags of an archive.
//
// Everything is kept in a few flat arrays (texts as UTF-8 in one of them), not in an object per
// value, since a large archive holds millions of values and fresh memory is costly to touch.
//
// The same rules read both forms of a payload: JSON text, streamed without a document, and a
// QJsonArray already parsed (paste, duplicate, undo). Keys are taken in a QJsonObject's order,
// so both forms give the same plan; text whose keys are not in that order, repeat a key, or that
// holds what the streaming parser reads differently from QJsonDocument (a lone surrogate, say)
// is left to the document form.
class NodePlan
{
public:
    // A text kept by the plan, in UTF-8 (a lone surrogate of a QString in the generalised form,
    // which string() gives back as it was).
    struct Text
    {
        qsizetype offset = 0;
        qsizetype size = 0;
        bool isEmpty() const { return size == 0; }
    };

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
        Text uri;
        qsizetype firstItem = 0;
        qint32 itemCount = 0;
        // Nodes of one URI share one of them (the first read whole) here; -1 without a URI.
        qint32 uriNode = -1;
        qint32 classCount = 0;
        bool bodyIsObject = false;
        bool uriIsText = true;
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
        Text text;
        qsizetype firstRun = 0;
        qsizetype runCount = 0;
    };

    // One key of a node's body that matters, in the order of the body.
    struct Item
    {
        // Skipped: a relationship the format does not carry (a card's picture records).
        enum class Kind : quint8 { Value, Notes, Members, Member, Refusal, Skipped };
        Kind kind = Kind::Value;
        // Members: how many; a text Value: its size.
        qint32 count = 0;
        const AttributeDescription* attribute = nullptr;
        const RelationshipDescription* relationship = nullptr;
        // Notes: index into notes(); Members: first index into members(); Member: the node;
        // Refusal: index into refusals(); Value: the value, read through value() and its kin.
        qsizetype first = 0;
    };

    // Reads JSON text in UTF-8 (no byte order mark). Nothing, with `needsDocument` set, when
    // the text must be read through QJsonDocument instead (see above); nothing with `error`
    // when it is no JSON or no array.
    static std::optional<NodePlan> fromText(
        const QByteArray& text, const ManagedObjectModel& model, QString* error, bool* needsDocument);
    // Fills `buffer` with at most `size` further bytes of the text; 0 at its end, -1 to stop.
    using Source = std::function<qsizetype(char* buffer, qsizetype size)>;
    // The same from text read a block at a time, about `textSize` bytes. Nothing, and neither
    // `error` nor `needsDocument` set, when the source stops.
    static std::optional<NodePlan> fromSource(
        const Source& source, qsizetype textSize, const ManagedObjectModel& model, QString* error, bool* needsDocument);
    static NodePlan fromArray(const QJsonArray& dictionaryObjects, const ManagedObjectModel& model);

    // The whole payload against the model's rules (see JSONReader.h). Nodes whose URIs are in
    // `importedObjects` were made by an earlier payload: they are given again, not judged.
    bool check(
        const ManagedObjectModel& model, const QHash<QString, ManagedObject*>& importedObjects, QString* error) const;
    // Why the plan cannot be an archive: a node other than a folder or a board at the top.
    QString misplacedTopLevelNode() const;
    // Why a picture reference of a run of notes cannot become a path; empty when it can.
    static QString unsafePictureName(const QString& key, const QJsonValue& value);

    std::span<const qsizetype> entries() const { return m_entries; }
    const Node& node(qsizetype index) const { return m_nodes[size_t(index)]; }
    const Item& item(qsizetype index) const { return m_items[size_t(index)]; }
    std::span<const qsizetype> members() const { return m_members; }
    const Notes& notes(qsizetype index) const { return m_notes[size_t(index)]; }
    std::span<const Run> runs(const Notes& notes) const
    {
        return std::span<const Run>(m_runs).subspan(size_t(notes.firstRun), size_t(notes.runCount));
    }
    QByteArrayView utf8(Text text) const { return QByteArrayView(m_texts.data() + text.offset, text.size); }
    QString string(Text text) const;

    // A Value item's value as the object keeps it: qint64, double, bool, QString, QDateTime in
    // UTC or QStringList, by the type of its attribute.
    QVariant value(const Item& item) const;
    // The same without a QVariant: of an integer attribute; the text of a text attribute; the
    // moment of a date attribute in milliseconds since 1970 (UTC).
    qint64 integer(const Item& item) const { return item.first; }
    Text text(const Item& item) const { return Text {item.first, item.count}; }
    qint64 dateMSecs(const Item& item) const { return item.first; }
    const QJsonObject& runDictionary(qsizetype index) const { return m_runDictionaries[size_t(index)]; }
    qsizetype runDictionaryCount() const { return qsizetype(m_runDictionaries.size()); }
    qsizetype nodeCount() const { return qsizetype(m_nodes.size()); }

private:
    template <typename T> using Array = std::vector<T, LargePageAllocator<T>>;
    class NodesByURI;
    class Reader;
    class Check;
    class TextScanner;

    Text keep(QByteArrayView utf8);

    std::vector<qsizetype> m_entries;
    Array<Node> m_nodes;
    Array<Item> m_items;
    Array<qsizetype> m_members;
    Array<Notes> m_notes;
    Array<Run> m_runs;
    Array<char> m_texts;
    // Values that are no number, text or date (lists of texts).
    std::vector<QVariant> m_otherValues;
    std::vector<QJsonObject> m_runDictionaries;
    QStringList m_refusals;
    // Why the payload could not be read whole.
    QString m_refusal;
};
