#include "PelorinsKit/archive/NodePlan.h"

#include "PelorinsKit/archive/NodePlanReader.h"
#include "PelorinsKit/archive/NodePlanUtf8.h"
#include "PelorinsKit/model/PictureFolders.h"
#include "PelorinsKit/notes/AttributeKey.h"
#include "Platform/core/objectgraph/ManagedObjectModel.h"

#include <QDateTime>
#include <bit>
#include <cstring>

using NodePlanUtf8::fromGeneralisedUtf8;

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

NodePlan::Text NodePlan::keep(QByteArrayView utf8)
{
    const Text text {qsizetype(m_texts.size()), utf8.size()};
    // Copied whole: an insert through the allocator would copy byte by byte.
    m_texts.resize(m_texts.size() + size_t(utf8.size()));
    if (!utf8.isEmpty())
        std::memcpy(m_texts.data() + text.offset, utf8.data(), size_t(utf8.size()));
    return text;
}

QString NodePlan::string(Text text) const
{
    return fromGeneralisedUtf8(utf8(text));
}

QVariant NodePlan::value(const Item& item) const
{
    using Type = AttributeDescription::Type;
    switch (item.attribute->type) {
    case Type::Integer16:
    case Type::Integer32:
    case Type::Integer64:
        return integer(item);
    case Type::Double:
        return std::bit_cast<double>(item.first);
    case Type::Boolean:
        return item.first != 0;
    case Type::String:
        return string(text(item));
    case Type::Date:
        return QDateTime::fromMSecsSinceEpoch(dateMSecs(item), Qt::UTC);
    case Type::StringList:
        return m_otherValues[size_t(item.first)];
    case Type::Binary:
        break;
    }
    return {};
}

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
