#include "PelorinsKit/notes/RichTextCodec.h"

#include "PelorinsKit/notes/NoteTextConventions.h"
#include "PelorinsKit/notes/ParagraphStyle.h"
#include "PelorinsKit/notes/TextAttachment.h"
#include "Platform/core/ConsoleLog.h"

#include <QCborArray>
#include <QCborMap>
#include <QCborStreamReader>
#include <QCborValue>
#include <QColor>
#include <QDateTime>
#include <QFont>
#include <QUrl>
#include <QtEndian>
#include <cmath>
#include <cstring>
#include <limits>
#include <variant>
#include <zlib.h>

namespace {

// Values of our own types travel as CBOR's "serialised object" tag: [type name, arguments...].
constexpr QCborTag objectTag = QCborTag(27);
constexpr QCborTag selfDescribeTag = QCborTag(55799);
// Link dictionaries nest a little (calendar data inside the link); nothing legitimate nests deep.
constexpr int maximumDepth = 16;

// Deflate never expands more than about 1032 to 1, so a size header beyond that ratio is corrupt
// and is refused before anything is allocated for it.
constexpr qsizetype maximumInflation = 1032;

constexpr QLatin1StringView versionKey("version");
constexpr QLatin1StringView contentKey("content");
constexpr QLatin1StringView stringKey("string");
constexpr QLatin1StringView attributesKey("attributes");
constexpr QLatin1StringView runsKey("runs");

const QString colourType = QStringLiteral("QColor");
const QString labelColourType = QStringLiteral("labelColor");
const QString fontType = QStringLiteral("QFont");
const QString paragraphStyleType = QStringLiteral("ParagraphStyle");
const QString attachmentType = QStringLiteral("TextAttachment");

const QString alignmentField = QStringLiteral("alignment");

// The numeric fields of a paragraph style, by their stored names.
struct ParagraphField
{
    QString name;
    double ParagraphStyle::*member;
};

const QList<ParagraphField>& paragraphFields()
{
    static const QList<ParagraphField> fields {
        {QStringLiteral("paragraphSpacing"), &ParagraphStyle::paragraphSpacing},
        {QStringLiteral("paragraphSpacingBefore"), &ParagraphStyle::paragraphSpacingBefore},
        {QStringLiteral("firstLineHeadIndent"), &ParagraphStyle::firstLineHeadIndent},
        {QStringLiteral("headIndent"), &ParagraphStyle::headIndent},
        {QStringLiteral("tailIndent"), &ParagraphStyle::tailIndent},
        {QStringLiteral("minimumLineHeight"), &ParagraphStyle::minimumLineHeight},
        {QStringLiteral("maximumLineHeight"), &ParagraphStyle::maximumLineHeight},
        {QStringLiteral("lineHeightMultiple"), &ParagraphStyle::lineHeightMultiple},
    };
    return fields;
}

std::optional<QString> textFromUtf16Bytes(const QByteArray& bytes)
{
    if (bytes.size() % 2 != 0)
        return std::nullopt;
    QString text(bytes.size() / 2, Qt::Uninitialized);
    qFromLittleEndian<quint16>(bytes.constData(), text.size(), text.data());
    return text;
}

QCborValue object(const QString& type, QCborArray arguments = {})
{
    arguments.prepend(type);
    return QCborValue(objectTag, arguments);
}

// Encoding -------------------------------------------------------------------------------------

std::optional<QCborValue> encodeValue(const QVariant& value, int depth);

std::optional<QCborValue> encodeMap(const QVariantMap& map, int depth)
{
    QCborMap result;
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        std::optional<QCborValue> encoded = encodeValue(it.value(), depth + 1);
        if (!encoded)
            return std::nullopt;
        result.insert(it.key(), *encoded);
    }
    return QCborValue(result);
}

QCborValue encodeColour(const QColor& colour)
{
    if (colour == normalTypingColour())
        return object(labelColourType);
    if (!colour.isValid())
        return object(colourType);
    const QRgba64 rgba = colour.rgba64();
    return object(colourType, {rgba.red(), rgba.green(), rgba.blue(), rgba.alpha()});
}

QCborValue encodeParagraphStyle(const ParagraphStyle& style)
{
    QCborMap fields;
    if (style.alignment != ParagraphStyle().alignment)
        fields.insert(alignmentField, qint64(style.alignment.toInt()));
    for (const ParagraphField& field : paragraphFields()) {
        if (style.*field.member != 0)
            fields.insert(field.name, style.*field.member);
    }
    return object(paragraphStyleType, {fields});
}

QCborValue encodeAttachment(const TextAttachment& attachment)
{
    QCborArray arguments {attachment.fileType, attachment.contents};
    if (attachment.fileWrapper)
        arguments << attachment.fileWrapper->filename << attachment.fileWrapper->contents;
    return object(attachmentType, arguments);
}

std::optional<QCborValue> encodeValue(const QVariant& value, int depth)
{
    if (depth > maximumDepth)
        return std::nullopt;
    const int type = value.typeId();
    switch (type) {
    case QMetaType::QString:
        return QCborValue(value.toString());
    case QMetaType::Bool:
        return QCborValue(value.toBool());
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::LongLong:
        return QCborValue(value.toLongLong());
    case QMetaType::Double:
    case QMetaType::Float:
        return QCborValue(value.toDouble());
    case QMetaType::QByteArray:
        return QCborValue(value.toByteArray());
    case QMetaType::QDateTime:
        if (!value.toDateTime().isValid())
            return std::nullopt;
        return QCborValue(value.toDateTime());
    case QMetaType::QUrl:
        return QCborValue(value.toUrl());
    case QMetaType::QVariantMap:
        return encodeMap(value.toMap(), depth);
    case QMetaType::QVariantList:
    case QMetaType::QStringList: {
        QCborArray result;
        for (const QVariant& element : value.toList()) {
            std::optional<QCborValue> encoded = encodeValue(element, depth + 1);
            if (!encoded)
                return std::nullopt;
            result.append(*encoded);
        }
        return QCborValue(result);
    }
    case QMetaType::QColor:
        return encodeColour(value.value<QColor>());
    case QMetaType::QFont:
        return object(fontType, {value.value<QFont>().toString()});
    default:
        break;
    }
    if (type == qMetaTypeId<ParagraphStyle>())
        return encodeParagraphStyle(value.value<ParagraphStyle>());
    if (type == qMetaTypeId<TextAttachment>())
        return encodeAttachment(value.value<TextAttachment>());
    return std::nullopt;
}

// Values without a stored form are left out with a console line when `lenient`; otherwise they
// make the whole set unstorable.
std::optional<QCborMap> encodeAttributes(const QVariantMap& attributes, bool lenient)
{
    QCborMap encoded;
    for (auto it = attributes.cbegin(); it != attributes.cend(); ++it) {
        const std::optional<QCborValue> value = encodeValue(it.value(), 0);
        if (value) {
            encoded.insert(it.key(), *value);
            continue;
        }
        if (!lenient)
            return std::nullopt;
        ConsoleLog::write(QStringLiteral("Notes attribute %1 has a value of type %2 that cannot be stored")
                              .arg(it.key(), QString::fromLatin1(it.value().typeName())));
    }
    return encoded;
}

// The document is written by hand, byte for byte as QCborValue writes it (heads in their
// shortest form, maps of definite length in insertion order): building a QCborValue tree for
// each note cost more than compressing it.
enum class Major : quint8 { unsignedInteger = 0, byteString = 2, textString = 3, array = 4, map = 5, tag = 6 };

void appendHead(QByteArray& out, Major major, quint64 value)
{
    const auto type = quint8(quint8(major) << 5);
    uchar head[9];
    qsizetype size = 1;
    if (value < 24) {
        head[0] = uchar(type | value);
    } else if (value <= 0xFF) {
        head[0] = uchar(type | 24);
        head[1] = uchar(value);
        size = 2;
    } else if (value <= 0xFFFF) {
        head[0] = uchar(type | 25);
        qToBigEndian<quint16>(quint16(value), head + 1);
        size = 3;
    } else if (value <= 0xFFFFFFFFu) {
        head[0] = uchar(type | 26);
        qToBigEndian<quint32>(quint32(value), head + 1);
        size = 5;
    } else {
        head[0] = uchar(type | 27);
        qToBigEndian<quint64>(value, head + 1);
        size = 9;
    }
    out.append(reinterpret_cast<const char*>(head), size);
}

void appendKey(QByteArray& out, QLatin1StringView key)
{
    appendHead(out, Major::textString, quint64(key.size()));
    out.append(key.data(), key.size());
}

// Decoding -------------------------------------------------------------------------------------

// A reason why stored bytes are not a readable document.
struct DecodeError
{
    QString reason;
};

template <typename T> using Decoded = std::variant<T, DecodeError>;

std::optional<QVariant> decodeValue(const QCborValue& value, int depth);

std::optional<QVariantMap> decodeMap(const QCborMap& map, int depth)
{
    QVariantMap result;
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        if (!it.key().isString())
            return std::nullopt;
        std::optional<QVariant> decoded = decodeValue(it.value(), depth + 1);
        if (!decoded)
            return std::nullopt;
        result.insert(it.key().toString(), *decoded);
    }
    return result;
}

std::optional<double> finiteNumber(const QCborValue& value)
{
    if (!value.isInteger() && !value.isDouble())
        return std::nullopt;
    const double number = value.toDouble();
    if (!std::isfinite(number))
        return std::nullopt;
    return number;
}

std::optional<QVariant> decodeColour(const QCborArray& arguments)
{
    if (arguments.size() == 1)
        return QVariant(QColor());
    if (arguments.size() != 5)
        return std::nullopt;
    quint16 components[4];
    for (int i = 0; i < 4; ++i) {
        const QCborValue component = arguments.at(i + 1);
        if (!component.isInteger() || component.toInteger() < 0 || component.toInteger() > 0xFFFF)
            return std::nullopt;
        components[i] = quint16(component.toInteger());
    }
    return QVariant(QColor(QRgba64::fromRgba64(components[0], components[1], components[2], components[3])));
}

std::optional<QVariant> decodeParagraphStyle(const QCborArray& arguments)
{
    if (arguments.size() != 2 || !arguments.at(1).isMap())
        return std::nullopt;
    const QCborMap fields = arguments.at(1).toMap();
    ParagraphStyle style;
    qsizetype known = 0;
    if (fields.contains(alignmentField)) {
        const QCborValue alignment = fields.value(alignmentField);
        if (!alignment.isInteger() || alignment.toInteger() < 0 || alignment.toInteger() > 0xFFFF)
            return std::nullopt;
        style.alignment = Qt::Alignment(int(alignment.toInteger()));
        ++known;
    }
    for (const ParagraphField& field : paragraphFields()) {
        if (!fields.contains(field.name))
            continue;
        const std::optional<double> number = finiteNumber(fields.value(field.name));
        if (!number)
            return std::nullopt;
        style.*field.member = *number;
        ++known;
    }
    if (known != fields.size())
        return std::nullopt;
    return QVariant::fromValue(style);
}

std::optional<QVariant> decodeAttachment(const QCborArray& arguments)
{
    if ((arguments.size() != 3 && arguments.size() != 5) || !arguments.at(1).isString()
        || !arguments.at(2).isByteArray())
        return std::nullopt;
    TextAttachment attachment;
    attachment.fileType = arguments.at(1).toString();
    attachment.contents = arguments.at(2).toByteArray();
    if (arguments.size() == 5) {
        if (!arguments.at(3).isString() || !arguments.at(4).isByteArray())
            return std::nullopt;
        attachment.fileWrapper
            = TextAttachment::FileWrapper {arguments.at(3).toString(), arguments.at(4).toByteArray()};
    }
    return QVariant::fromValue(attachment);
}

std::optional<QVariant> decodeObject(const QCborValue& tagged)
{
    if (tagged.tag() != objectTag || !tagged.taggedValue().isArray())
        return std::nullopt;
    const QCborArray arguments = tagged.taggedValue().toArray();
    if (arguments.isEmpty() || !arguments.at(0).isString())
        return std::nullopt;
    const QString type = arguments.at(0).toString();
    if (type == labelColourType && arguments.size() == 1)
        return QVariant(normalTypingColour());
    if (type == colourType)
        return decodeColour(arguments);
    if (type == fontType && arguments.size() == 2 && arguments.at(1).isString()) {
        QFont font;
        if (!font.fromString(arguments.at(1).toString()))
            return std::nullopt;
        return QVariant(font);
    }
    if (type == paragraphStyleType)
        return decodeParagraphStyle(arguments);
    if (type == attachmentType)
        return decodeAttachment(arguments);
    return std::nullopt;
}

std::optional<QVariant> decodeValue(const QCborValue& value, int depth)
{
    if (depth > maximumDepth)
        return std::nullopt;
    if (value.isString())
        return QVariant(value.toString());
    if (value.isBool())
        return QVariant(value.toBool());
    if (value.isInteger()) {
        const qint64 number = value.toInteger();
        if (number >= std::numeric_limits<int>::min() && number <= std::numeric_limits<int>::max())
            return QVariant(int(number));
        return QVariant(qlonglong(number));
    }
    if (value.isDouble())
        return QVariant(value.toDouble());
    if (value.isByteArray())
        return QVariant(value.toByteArray());
    if (value.isDateTime()) {
        const QDateTime dateTime = value.toDateTime();
        return dateTime.isValid() ? std::optional<QVariant>(dateTime) : std::nullopt;
    }
    if (value.isUrl())
        return QVariant(value.toUrl());
    if (value.isMap()) {
        std::optional<QVariantMap> map = decodeMap(value.toMap(), depth);
        return map ? std::optional<QVariant>(*map) : std::nullopt;
    }
    if (value.isArray()) {
        QVariantList list;
        for (const QCborValue& element : value.toArray()) {
            std::optional<QVariant> decoded = decodeValue(element, depth + 1);
            if (!decoded)
                return std::nullopt;
            list.append(*decoded);
        }
        return QVariant(list);
    }
    if (value.isTag())
        return decodeObject(value);
    return std::nullopt;
}

// The one CBOR item of `data`, with nothing after it.
std::optional<QCborValue> readDocument(const QByteArray& data)
{
    QCborStreamReader reader(data);
    const QCborValue value = QCborValue::fromCbor(reader);
    if (reader.lastError() != QCborError::NoError || reader.currentOffset() != data.size())
        return std::nullopt;
    return value;
}

// The inflated content, or none when the size header is impossible or the stream is damaged.
std::optional<QByteArray> uncompressed(const QByteArray& compressed)
{
    if (compressed.size() <= 4)
        return std::nullopt;
    const auto* header = reinterpret_cast<const uchar*>(compressed.constData());
    const quint32 size = quint32(header[0]) << 24 | quint32(header[1]) << 16 | quint32(header[2]) << 8 | header[3];
    if (size == 0 || qint64(size) > qint64(compressed.size() - 4) * maximumInflation)
        return std::nullopt;
    QByteArray content = qUncompress(compressed);
    if (content.size() != qsizetype(size))
        return std::nullopt;
    return content;
}

Decoded<AttributedString> decodeText(const QByteArray& data)
{
    QString reason;
    const std::optional<RichTextCodec::StoredNotes> stored = RichTextCodec::readStored(data, &reason);
    if (!stored)
        return DecodeError {reason};
    QList<QVariantMap> sets;
    for (const QCborValue& set : stored->attributeSets) {
        std::optional<QVariantMap> attributes = RichTextCodec::decodeAttributeSet(set);
        if (!attributes)
            return DecodeError {QStringLiteral("unreadable attribute value")};
        sets.append(std::move(*attributes));
    }
    AttributedString result;
    qsizetype position = 0;
    for (const RichTextCodec::StoredRun& run : stored->runs) {
        result.append(AttributedString(stored->text.mid(position, run.length), sets.at(run.set)));
        position += run.length;
    }
    return result;
}

} // namespace

QByteArray RichTextCodec::encode(const AttributedString& text)
{
    return Encoder().encode(text);
}

std::optional<QByteArray> RichTextCodec::encodeAttributeSet(const QVariantMap& attributes)
{
    const std::optional<QCborMap> encoded = encodeAttributes(attributes, false);
    return encoded ? std::optional<QByteArray>(QCborValue(*encoded).toCbor()) : std::nullopt;
}

RichTextCodec::Encoder::Encoder()
    : m_stream(std::make_unique<z_stream_s>())
{
    // The settings of qCompress's default level, so that stored bytes do not change.
    if (deflateInit(m_stream.get(), Z_DEFAULT_COMPRESSION) != Z_OK)
        m_stream.reset();
}

RichTextCodec::Encoder::~Encoder()
{
    if (m_stream)
        deflateEnd(m_stream.get());
}

void RichTextCodec::Encoder::compress(const QByteArray& data)
{
    if (!m_stream || data.isEmpty()) {
        m_compressed = qCompress(data);
        return;
    }
    z_stream& stream = *m_stream;
    deflateReset(&stream);
    const uLong bound = deflateBound(&stream, uLong(data.size()));
    m_compressed.resize(qsizetype(bound) + 4);
    qToBigEndian<quint32>(quint32(data.size()), m_compressed.data());
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.constData()));
    stream.avail_in = uInt(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(m_compressed.data() + 4);
    stream.avail_out = uInt(bound);
    // The bound holds the whole stream, so one call finishes it.
    if (deflate(&stream, Z_FINISH) != Z_STREAM_END) {
        m_compressed = qCompress(data);
        return;
    }
    m_compressed.resize(qsizetype(stream.total_out) + 4);
}

QByteArray RichTextCodec::Encoder::encode(const AttributedString& text)
{
    // Notes reuse a handful of line styles, so each distinct attribute set is stored once and
    // runs refer to it by index.
    QList<QVariantMap> sets;
    QList<QByteArray> attributeSets;
    QList<StoredRun> runs;
    text.enumerateAttributes(TextRange {0, text.length()}, [&](const QVariantMap& attributes, TextRange range) {
        qsizetype index = sets.indexOf(attributes);
        if (index < 0) {
            index = sets.size();
            sets.append(attributes);
            attributeSets.append(QCborValue(*encodeAttributes(attributes, true)).toCbor());
        }
        runs.append(StoredRun {range.length, index});
    });
    QList<const QByteArray*> setsGiven;
    setsGiven.reserve(attributeSets.size());
    for (const QByteArray& set : std::as_const(attributeSets))
        setsGiven.append(&set);
    return encode(text.string(), setsGiven, runs);
}

QByteArray RichTextCodec::Encoder::encode(
    const QString& text, std::span<const QByteArray* const> attributeSets, std::span<const StoredRun> runs)
{
    // {"string": UTF-16 bytes, "attributes": [sets], "runs": [length, set, ...]}
    // The text travels as its UTF-16 code units, little-endian, so that every position survives,
    // even that of a lone surrogate, which UTF-8 cannot carry.
    QByteArray& content = m_content;
    content.resize(0);
    appendHead(content, Major::map, 3);
    appendKey(content, stringKey);
    appendHead(content, Major::byteString, quint64(text.size()) * 2);
    const qsizetype textAt = content.size();
    content.resize(textAt + text.size() * 2);
    qToLittleEndian<quint16>(text.utf16(), text.size(), content.data() + textAt);
    appendKey(content, attributesKey);
    appendHead(content, Major::array, quint64(attributeSets.size()));
    for (const QByteArray* set : attributeSets)
        content.append(*set);
    appendKey(content, runsKey);
    appendHead(content, Major::array, quint64(runs.size()) * 2);
    for (const StoredRun& run : runs) {
        appendHead(content, Major::unsignedInteger, quint64(run.length));
        appendHead(content, Major::unsignedInteger, quint64(run.set));
    }
    compress(content);

    // The self-described document {"version": currentVersion, "content": compressed}.
    QByteArray head;
    head.reserve(32);
    appendHead(head, Major::tag, quint64(selfDescribeTag));
    appendHead(head, Major::map, 2);
    appendKey(head, versionKey);
    appendHead(head, Major::unsignedInteger, currentVersion);
    appendKey(head, contentKey);
    appendHead(head, Major::byteString, quint64(m_compressed.size()));
    QByteArray stored(head.size() + m_compressed.size(), Qt::Uninitialized);
    std::memcpy(stored.data(), head.constData(), size_t(head.size()));
    std::memcpy(stored.data() + head.size(), m_compressed.constData(), size_t(m_compressed.size()));
    return stored;
}

std::optional<AttributedString> RichTextCodec::decode(const QByteArray& data)
{
    Decoded<AttributedString> decoded = decodeText(data);
    if (const DecodeError* error = std::get_if<DecodeError>(&decoded)) {
        ConsoleLog::write(QStringLiteral("Stored notes are unreadable (%1); they read as no notes").arg(error->reason));
        return std::nullopt;
    }
    return std::get<AttributedString>(std::move(decoded));
}

std::optional<RichTextCodec::StoredNotes> RichTextCodec::readStored(const QByteArray& data, QString* reason)
{
    const auto fail = [reason](const QString& why) {
        *reason = why;
        return std::nullopt;
    };
    const std::optional<QCborValue> document = readDocument(data);
    if (!document)
        return fail(QStringLiteral("not a CBOR document"));
    if (document->tag() != selfDescribeTag || !document->taggedValue().isMap())
        return fail(QStringLiteral("not a rich-text document"));
    const QCborMap root = document->taggedValue().toMap();

    const QCborValue version = root.value(versionKey);
    if (!version.isInteger())
        return fail(QStringLiteral("no version"));
    if (version.toInteger() > currentVersion)
        return fail(QStringLiteral("version %1 is newer than this program reads").arg(version.toInteger()));
    if (version.toInteger() != currentVersion)
        return fail(QStringLiteral("unknown version %1").arg(version.toInteger()));

    const QCborValue compressed = root.value(contentKey);
    if (!compressed.isByteArray() || root.size() != 2)
        return fail(QStringLiteral("malformed document"));
    const std::optional<QByteArray> inflated = uncompressed(compressed.toByteArray());
    const std::optional<QCborValue> content = inflated ? readDocument(*inflated) : std::nullopt;
    if (!content || !content->isMap())
        return fail(QStringLiteral("unreadable content"));
    const QCborMap body = content->toMap();

    const QCborValue string = body.value(stringKey);
    const QCborValue attributeSets = body.value(attributesKey);
    const QCborValue runs = body.value(runsKey);
    std::optional<QString> text = string.isByteArray() ? textFromUtf16Bytes(string.toByteArray()) : std::nullopt;
    if (!text || !attributeSets.isArray() || !runs.isArray() || body.size() != 3)
        return fail(QStringLiteral("malformed content"));

    StoredNotes stored {std::move(*text), attributeSets.toArray(), {}};
    // Runs are pairs of a length and an index into the attribute sets.
    const QCborArray pairs = runs.toArray();
    if (pairs.size() % 2 != 0)
        return fail(QStringLiteral("malformed run"));
    stored.runs.reserve(pairs.size() / 2);
    qint64 position = 0;
    for (qsizetype i = 0; i < pairs.size(); i += 2) {
        const QCborValue length = pairs.at(i);
        const QCborValue set = pairs.at(i + 1);
        if (!length.isInteger() || !set.isInteger())
            return fail(QStringLiteral("malformed run"));
        if (length.toInteger() <= 0 || length.toInteger() > stored.text.size() - position)
            return fail(QStringLiteral("run outside the text"));
        if (set.toInteger() < 0 || set.toInteger() >= stored.attributeSets.size())
            return fail(QStringLiteral("run without attributes"));
        stored.runs.append(StoredRun {qsizetype(length.toInteger()), qsizetype(set.toInteger())});
        position += length.toInteger();
    }
    if (position != stored.text.size())
        return fail(QStringLiteral("runs do not cover the text"));
    return stored;
}

std::optional<QVariantMap> RichTextCodec::decodeAttributeSet(const QCborValue& set)
{
    return set.isMap() ? decodeMap(set.toMap(), 0) : std::nullopt;
}

QByteArray RichTextCodec::encodeDictionary(const QVariantMap& dictionary)
{
    const std::optional<QCborValue> encoded = encodeMap(dictionary, 0);
    return encoded ? encoded->toCbor() : QByteArray();
}

std::optional<QVariantMap> RichTextCodec::decodeDictionary(const QByteArray& data)
{
    const std::optional<QCborValue> document = readDocument(data);
    if (!document || !document->isMap())
        return std::nullopt;
    return decodeMap(document->toMap(), 0);
}

namespace {

// What every stored document starts with, as the encoder writes it: the self-describe tag, a map
// of two, "version": 1, and the key of the compressed content, whose byte string ends the document.
constexpr char usualDocumentStart[] = "\xD9\xD9\xF7\xA2\x67version\x01\x67"
                                      "content";

// Items of the stored content read straight from its bytes: each starts with a head giving its
// major type and a number (a length, a count or a value). Only definite lengths are read; anything
// else is left to readStored().
class ContentBytes
{
public:
    explicit ContentBytes(QByteArrayView data)
        : m_data(data)
    {
    }

    qsizetype offset() const { return m_offset; }
    bool atEnd() const { return m_offset == m_data.size(); }

    // The number of the head of the given major type at the current offset, which then follows it.
    std::optional<quint64> head(int major)
    {
        if (m_offset >= m_data.size() || uchar(m_data[m_offset]) >> 5 != major)
            return std::nullopt;
        return number();
    }

    // The bytes of a definite string of the given major type.
    std::optional<QByteArrayView> string(int major)
    {
        const std::optional<quint64> length = head(major);
        if (!length || *length > quint64(m_data.size() - m_offset))
            return std::nullopt;
        const QByteArrayView bytes = m_data.sliced(m_offset, qsizetype(*length));
        m_offset += qsizetype(*length);
        return bytes;
    }

    bool key(QByteArrayView expected)
    {
        const std::optional<QByteArrayView> text = string(3);
        return text && *text == expected;
    }

    // Passes over one whole item, nested ones included.
    bool skip(int depth = 0)
    {
        if (m_offset >= m_data.size() || depth > maximumDepth)
            return false;
        const int major = uchar(m_data[m_offset]) >> 5;
        const std::optional<quint64> value = number();
        if (!value)
            return false;
        switch (major) {
        case 2:
        case 3:
            if (*value > quint64(m_data.size() - m_offset))
                return false;
            m_offset += qsizetype(*value);
            return true;
        case 4:
        case 5: {
            // Every item takes a byte at least, which bounds a count before it is trusted.
            if (*value > quint64(m_data.size() - m_offset))
                return false;
            const quint64 items = *value * (major == 5 ? 2 : 1);
            for (quint64 i = 0; i < items; ++i) {
                if (!skip(depth + 1))
                    return false;
            }
            return true;
        }
        case 6:
            return skip(depth + 1);
        default:
            return true;
        }
    }

private:
    std::optional<quint64> number()
    {
        const uchar info = uchar(m_data[m_offset]) & 0x1F;
        if (info < 24) {
            ++m_offset;
            return info;
        }
        if (info > 27)
            return std::nullopt;
        const qsizetype size = qsizetype(1) << (info - 24);
        if (m_data.size() - m_offset < 1 + size)
            return std::nullopt;
        quint64 value = 0;
        for (qsizetype i = 1; i <= size; ++i)
            value = value << 8 | uchar(m_data[m_offset + i]);
        m_offset += 1 + size;
        return value;
    }

    QByteArrayView m_data;
    qsizetype m_offset = 0;
};

} // namespace

RichTextCodec::StoredReader::StoredReader()
    : m_stream(std::make_unique<z_stream_s>())
{
    if (inflateInit(m_stream.get()) != Z_OK)
        m_stream.reset();
}

RichTextCodec::StoredReader::~StoredReader()
{
    if (m_stream)
        inflateEnd(m_stream.get());
}

const RichTextCodec::StoredReader::Parts* RichTextCodec::StoredReader::read(const QByteArray& data, QString* reason)
{
    if (readUsual(data))
        return &m_parts;
    std::optional<StoredNotes> stored = readStored(data, reason);
    if (!stored)
        return nullptr;
    m_unusualSets.clear();
    QList<qsizetype> ends;
    for (const QCborValue& set : std::as_const(stored->attributeSets)) {
        m_unusualSets.append(set.toCbor());
        ends.append(m_unusualSets.size());
    }
    m_parts.attributeSets.clear();
    qsizetype start = 0;
    for (qsizetype end : std::as_const(ends)) {
        m_parts.attributeSets.append(QByteArrayView(m_unusualSets).sliced(start, end - start));
        start = end;
    }
    m_parts.text = std::move(stored->text);
    m_parts.runs = std::move(stored->runs);
    return &m_parts;
}

bool RichTextCodec::StoredReader::inflateContent(QByteArrayView compressed)
{
    // The size header and the stream as uncompressed() reads them.
    if (!m_stream || compressed.size() <= 4)
        return false;
    const auto* header = reinterpret_cast<const uchar*>(compressed.data());
    const quint32 size = quint32(header[0]) << 24 | quint32(header[1]) << 16 | quint32(header[2]) << 8 | header[3];
    if (size == 0 || qint64(size) > qint64(compressed.size() - 4) * maximumInflation)
        return false;
    m_content.resize(qsizetype(size));
    z_stream& stream = *m_stream;
    if (inflateReset(&stream) != Z_OK)
        return false;
    stream.next_in = const_cast<Bytef*>(reinterpret_cast<const Bytef*>(compressed.data() + 4));
    stream.avail_in = uInt(compressed.size() - 4);
    stream.next_out = reinterpret_cast<Bytef*>(m_content.data());
    stream.avail_out = uInt(size);
    return inflate(&stream, Z_FINISH) == Z_STREAM_END && stream.total_out == size && stream.avail_in == 0;
}

bool RichTextCodec::StoredReader::readUsual(const QByteArray& data)
{
    constexpr qsizetype startSize = sizeof(usualDocumentStart) - 1;
    if (!data.startsWith(QByteArrayView(usualDocumentStart, startSize)))
        return false;
    ContentBytes document(QByteArrayView(data).sliced(startSize));
    const std::optional<QByteArrayView> compressed = document.string(2);
    if (!compressed || !document.atEnd() || !inflateContent(*compressed))
        return false;

    // {"string": UTF-16 bytes, "attributes": [sets], "runs": [length, set, ...]}, in that order.
    ContentBytes content(m_content);
    const std::optional<quint64> entries = content.head(5);
    if (!entries || *entries != 3 || !content.key("string"))
        return false;
    const std::optional<QByteArrayView> utf16 = content.string(2);
    if (!utf16 || utf16->size() % 2 != 0)
        return false;
    m_parts.text.resize(utf16->size() / 2);
    qFromLittleEndian<quint16>(utf16->data(), m_parts.text.size(), m_parts.text.data());

    if (!content.key("attributes"))
        return false;
    const std::optional<quint64> sets = content.head(4);
    if (!sets || *sets > quint64(m_content.size()))
        return false;
    m_parts.attributeSets.clear();
    for (quint64 i = 0; i < *sets; ++i) {
        const qsizetype start = content.offset();
        if (!content.skip())
            return false;
        m_parts.attributeSets.append(QByteArrayView(m_content).sliced(start, content.offset() - start));
    }

    if (!content.key("runs"))
        return false;
    const std::optional<quint64> numbers = content.head(4);
    if (!numbers || *numbers % 2 != 0 || *numbers > quint64(m_content.size()))
        return false;
    m_parts.runs.clear();
    qsizetype position = 0;
    for (quint64 i = 0; i < *numbers; i += 2) {
        const std::optional<quint64> length = content.head(0);
        const std::optional<quint64> set = length ? content.head(0) : std::nullopt;
        if (!set || *length == 0 || *length > quint64(m_parts.text.size() - position)
            || *set >= quint64(m_parts.attributeSets.size()))
            return false;
        m_parts.runs.append(StoredRun {qsizetype(*length), qsizetype(*set)});
        position += qsizetype(*length);
    }
    return position == m_parts.text.size() && content.atEnd();
}
