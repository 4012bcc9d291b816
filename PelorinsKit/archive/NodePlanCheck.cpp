#include "PelorinsKit/archive/NodePlan.h"

#include "PelorinsKit/archive/JSONReader.h"
#include "PelorinsKit/archive/NodePlanRules.h"
#include "PelorinsKit/archive/NodePlanUtf8.h"
#include "Platform/core/objectgraph/ManagedObject.h"
#include "Platform/core/objectgraph/ManagedObjectModel.h"

#include <QVarLengthArray>

using NodePlanRules::mainColumnKey;
using NodePlanRules::where;
using NodePlanUtf8::fromGeneralisedUtf8;

namespace {

const QString stageColumnsKey = QStringLiteral("column");
const QString rootClassName = QStringLiteral("Root");

} // namespace

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
            if (existing)
                return sameKind(node, existing->entity());
            Seen& seen = m_seen[size_t(node.uriNode)];
            if (seen.entity) {
                if (seen.open)
                    return fail(QStringLiteral("\"%1\" would contain itself").arg(m_plan.string(node.uri)));
                return sameKind(node, seen.entity);
            }
            seen = Seen {entity, true};
        }
        const bool ok = body(node, depth) && complete(node, via) && columnsInOneRole(node);
        if (!uri.isEmpty())
            m_seen[size_t(node.uriNode)].open = false;
        return ok;
    }

    // A node whose URI names an object met before must be of that object's kind.
    bool sameKind(const Node& node, const EntityDescription* met)
    {
        if (met != node.entity)
            return fail(QStringLiteral("\"%1\" names a \"%2\" and a \"%3\"")
                            .arg(m_plan.string(node.uri), met->name(), node.className));
        return true;
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
