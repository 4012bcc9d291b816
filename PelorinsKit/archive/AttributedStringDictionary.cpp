#include "PelorinsKit/archive/AttributedStringDictionary.h"

#include "PelorinsKit/archive/NodeDate.h"
#include "PelorinsKit/notes/AttributeKey.h"

#include <QColor>
#include <QDateTime>
#include <QJsonArray>
#include <QUrl>

namespace AttributedStringDictionary {

namespace {

const QString urlKey = QStringLiteral("URL");
const QString bookmarkKey = QStringLiteral("secureScopeBookmark");
const QString calendarDataKey = QStringLiteral("calendarData");
const QString startDateKey = QStringLiteral("startDate");
const QString endDateKey = QStringLiteral("endDate");
const QString colorKey = QStringLiteral("color");

QString colourString(const QColor& colour)
{
    return QString::asprintf("#%02X%02X%02X%02X", colour.red(), colour.green(), colour.blue(), colour.alpha());
}

std::optional<QColor> colourFrom(const QString& text)
{
    if ((text.size() != 9 && text.size() != 7) || !text.startsWith(u'#'))
        return std::nullopt;
    bool ok = false;
    const uint value = text.mid(1).toUInt(&ok, 16);
    if (!ok)
        return std::nullopt;
    if (text.size() == 7)
        return QColor((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF);
    return QColor((value >> 24) & 0xFF, (value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF);
}

QJsonValue jsonValue(const QVariant& value, int depth);

QJsonObject jsonObject(const QVariantMap& map, int depth)
{
    QJsonObject object;
    if (depth > maximumNestingDepth)
        return object;
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        const QJsonValue converted = jsonValue(it.value(), depth + 1);
        if (!converted.isUndefined())
            object.insert(it.key(), converted);
    }
    return object;
}

QJsonValue jsonValue(const QVariant& value, int depth)
{
    switch (value.typeId()) {
    case QMetaType::QUrl: {
        const QUrl url = value.toUrl();
        return url.isEmpty() ? QJsonValue(QJsonValue::Undefined) : QJsonValue(url.toString(QUrl::FullyEncoded));
    }
    case QMetaType::QDateTime:
        return NodeDate::string(value.toDateTime());
    case QMetaType::QColor:
        return colourString(value.value<QColor>());
    case QMetaType::QByteArray:
        return QString::fromLatin1(value.toByteArray().toBase64());
    case QMetaType::QString:
        return value.toString();
    case QMetaType::Bool:
        return value.toBool();
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        return value.toLongLong();
    case QMetaType::Double:
    case QMetaType::Float:
        return value.toDouble();
    case QMetaType::QVariantMap:
        return jsonObject(value.toMap(), depth);
    case QMetaType::QStringList:
    case QMetaType::QVariantList: {
        QJsonArray array;
        if (depth > maximumNestingDepth)
            return array;
        for (const QVariant& element : value.toList()) {
            const QJsonValue converted = jsonValue(element, depth + 1);
            if (!converted.isUndefined())
                array.append(converted);
        }
        return array;
    }
    default:
        if (value.typeId() == qMetaTypeId<AttributedString>())
            return dictionaryRepresentation(value.value<AttributedString>());
        return QJsonValue(QJsonValue::Undefined);
    }
}

QVariantMap calendarDataFromJson(const QJsonObject& json)
{
    QVariantMap calendarData = json.toVariantMap();
    for (const QString& key : {startDateKey, endDateKey}) {
        if (const auto date = NodeDate::date(json.value(key).toString()))
            calendarData.insert(key, *date);
    }
    if (const auto colour = colourFrom(json.value(colorKey).toString()))
        calendarData.insert(colorKey, *colour);
    return calendarData;
}

} // namespace

QJsonObject runAttributes(const QVariantMap& attributes)
{
    QJsonObject run;
    for (auto it = attributes.cbegin(); it != attributes.cend(); ++it) {
        const QString& key = it.key();
        if (key == AttributeKey::noteStyleName || key == AttributeKey::fileFolderUUID || key == AttributeKey::filename)
            run.insert(key, it.value().toString());
        else if (key == AttributeKey::isChecklistChecked)
            run.insert(key, it.value().toBool());
        else if (key == AttributeKey::strikethroughStyle)
            run.insert(key, it.value().toLongLong());
        else if (key == AttributeKey::attachmentLinkData)
            run.insert(key, jsonLinkDictionary(it.value().toMap()));
    }
    return run;
}

QJsonObject dictionaryRepresentation(const AttributedString& text)
{
    QJsonArray runs;
    text.enumerateAttributes(TextRange {0, text.length()}, [&runs](const QVariantMap& attributes, TextRange range) {
        QJsonObject run = runAttributes(attributes);
        run.insert(rangeKey, QJsonObject {{locationKey, range.location}, {lengthKey, range.length}});
        runs.append(run);
    });
    return QJsonObject {{stringKey, text.string()}, {runsKey, runs}};
}

bool isNotesDictionary(const QJsonValue& value)
{
    if (!value.isObject())
        return false;
    const QJsonObject dict = value.toObject();
    return dict.contains(stringKey) && dict.contains(runsKey);
}

QJsonValue jsonValue(const QVariant& value)
{
    return jsonValue(value, 0);
}

QJsonObject jsonLinkDictionary(const QVariantMap& linkData)
{
    return jsonObject(linkData, 0);
}

QVariantMap linkDictionaryFromJson(const QJsonObject& json)
{
    QVariantMap linkData = json.toVariantMap();
    const QJsonValue url = json.value(urlKey);
    if (url.isString()) {
        const QUrl parsed(url.toString(), QUrl::StrictMode);
        if (parsed.isValid() && !parsed.isEmpty())
            linkData.insert(urlKey, parsed);
    }
    const QJsonValue bookmark = json.value(bookmarkKey);
    if (bookmark.isString()) {
        const auto decoded
            = QByteArray::fromBase64Encoding(bookmark.toString().toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
        if (decoded)
            linkData.insert(bookmarkKey, *decoded);
    }
    const QJsonValue calendarData = json.value(calendarDataKey);
    if (calendarData.isObject())
        linkData.insert(calendarDataKey, calendarDataFromJson(calendarData.toObject()));
    return linkData;
}

} // namespace AttributedStringDictionary
