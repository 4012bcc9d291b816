#include "PelorinsKit/archive/NodePlanRules.h"

#include "PelorinsKit/archive/JSONReader.h"
#include "PelorinsKit/archive/NodeDate.h"
#include "PelorinsKit/archive/NodeNumbers.h"
#include "PelorinsKit/archive/NodePlan.h"
#include "PelorinsKit/archive/NodePlanUtf8.h"
#include "PelorinsKit/model/PictureFolders.h"
#include "PelorinsKit/notes/AttributeKey.h"
#include "Platform/core/objectgraph/ManagedObjectModel.h"

#include <QJsonArray>
#include <algorithm>
#include <limits>

using NodeNumbers::integerOf;
using NodeNumbers::isIntegral;
using NodePlanUtf8::fromGeneralisedUtf8;
using NodePlanUtf8::generalisedUtf8;

namespace {

const QString bgImageKey = QStringLiteral("bgImage");
const QString folderUUIDKey = QStringLiteral("folderUUID");
const QString tagClassName = QStringLiteral("Tag");

} // namespace

namespace NodePlanRules {

const QString mainColumnKey = QStringLiteral("mainColumn");

QString where(const QString& key, const EntityDescription* entity)
{
    return QStringLiteral("\"%1\" of a \"%2\"").arg(key, entity->name());
}

bool isReadToMany(const EntityDescription* entity, const RelationshipDescription& relationship)
{
    return relationship.isToMany && relationship.isOrdered
        && !(relationship.name == QLatin1String("children") && entity->name() == tagClassName);
}

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

} // namespace NodePlanRules
