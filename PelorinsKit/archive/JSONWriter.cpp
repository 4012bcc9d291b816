#include "PelorinsKit/archive/JSONWriter.h"

#include "PelorinsKit/archive/AttributedStringDictionary.h"
#include "PelorinsKit/archive/NodeDate.h"
#include "PelorinsKit/model/DisplayItem.h"
#include "PelorinsKit/model/Folder.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/model/Tag.h"
#include "PelorinsKit/notes/RichTextCodec.h"

#include <QUrl>

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
