#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QVariant>

class DisplayItem;
class QIODevice;
class ManagedObject;

// Writes objects of the store in the JSON node format, the one interchange form of export,
// copy and paste, duplication and undo of deletions. A wrapped node is {"<Class>": body}; the
// body holds every attribute that has a value, every ordered to-many relationship as an array of
// wrapped nodes, a board's done column under "mainColumn" and "objectIDURI". Objects met twice
// in one graph (a done card under its column and its day group, a tag under its board and its
// cards) are written in full each time with the same "objectIDURI"; the reader builds them once.
//
// Nothing is cached and nothing in the store changes, except the export mark that
// Folder::childrenHasMixedStates() sets on a folder the export test asks.
class JSONWriter
{
public:
    JSONWriter() = delete;

    // The wrapped node of `node`, or an empty object when the export test leaves it out: a folder
    // or board whose export mark is off, unless it is a folder whose children's marks are mixed.
    // The result is wrapped in the class name whatever `includeClassName` says.
    static QJsonObject genericTraversingNode(ManagedObject* node, bool includeClassName);
    // The wrapped node of `node` with everything under it, whatever the export marks say: the
    // marks are written as they stand and none is changed. What an undo or a copy remakes.
    static QJsonObject snapshotNode(ManagedObject* node);

    // A value as JSON, as AttributedStringDictionary::jsonValue gives it: dates in the node date
    // form, URLs as their text, notes in their dictionary form, numbers, Booleans, texts and lists
    // of texts as they are. Undefined for a value that has no JSON form.
    static QJsonValue convertObjectToJSONCompliantValue(const QVariant& object);

    // The archive of an export: the wrapped nodes of `items` (the root's children, in order) that
    // pass the export test.
    static QJsonArray archiveArray(const QList<DisplayItem*>& items);
    // The same archive written as compact JSON text straight to `device`, byte for byte what
    // QJsonDocument writes for archiveArray(items), without ever holding the archive whole. Notes
    // are read on several threads; the objects are only touched on the calling thread. False
    // when the device refused the text (its errorString() says why). The picture folders the
    // written notes name are listed in `pictureFolders`, each once, in the order met.
    static bool writeArchive(
        const QList<DisplayItem*>& items, QIODevice& device, QStringList* pictureFolders = nullptr);
};
