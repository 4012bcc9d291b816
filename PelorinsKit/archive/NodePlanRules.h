#pragma once

#include <QByteArrayView>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

class EntityDescription;
struct AttributeDescription;
struct RelationshipDescription;

// The rules a payload's values are read against, shared by the reader and the check.
namespace NodePlanRules {

extern const QString mainColumnKey;

// Where a value stands, for a refusal: its key and the class of its node.
QString where(const QString& key, const EntityDescription* entity);
// Only ordered to-many relationships travel; a tag never has children.
bool isReadToMany(const EntityDescription* entity, const RelationshipDescription& relationship);
// Why a run of notes is refused; empty when it is not.
QString runRefusal(const QJsonObject& run);
// Why a text cannot be the value of a text attribute; empty when it can.
QString textRefusal(const AttributeDescription& attribute, QByteArrayView utf8);
// Why a value cannot be the attribute's; empty when it can.
QString attributeRefusal(const AttributeDescription& attribute, const QJsonValue& value);

} // namespace NodePlanRules
