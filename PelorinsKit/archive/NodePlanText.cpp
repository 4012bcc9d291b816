#include "PelorinsKit/archive/NodePlan.h"

#include "PelorinsKit/archive/NodePlanReader.h"
#include "PelorinsKit/archive/NodePlanUtf8.h"

#include <rapidjson/reader.h>
#include <string>

using NodePlanUtf8::isWellFormedUtf8;

namespace {

// RapidJSON's events for the plan's reader. It also stops where the text would read differently
// through QJsonDocument: keys out of the order QJsonDocument gives a parsed object's keys (that of
// their code points, so of their UTF-8 bytes) or repeated (QJsonDocument keeps the last), and
// escapes of lone surrogates (RapidJSON turns a low one into bytes that are no UTF-8). Keys and
// texts are checked to be UTF-8 here rather than by RapidJSON, byte by byte: any other byte above
// ASCII outside them is no JSON anyway.
template <typename Reader> class TextEvents
{
public:
    explicit TextEvents(Reader& reader)
        : m_reader(reader)
    {
    }

    bool Null() { return m_reader.scalar(QJsonValue(QJsonValue::Null)); }
    bool Bool(bool value) { return m_reader.scalar(QJsonValue(value)); }
    bool Int(int value) { return m_reader.scalar(QJsonValue(double(value))); }
    bool Uint(unsigned value) { return m_reader.scalar(QJsonValue(double(value))); }
    bool Int64(int64_t value) { return m_reader.scalar(QJsonValue(double(value))); }
    bool Uint64(uint64_t value) { return m_reader.scalar(QJsonValue(double(value))); }
    bool Double(double value) { return m_reader.scalar(QJsonValue(value)); }
    bool RawNumber(const char*, rapidjson::SizeType, bool) { return false; }
    bool String(const char* text, rapidjson::SizeType length, bool)
    {
        return readable(text, length) && m_reader.text(QByteArrayView(text, length));
    }
    bool StartObject()
    {
        m_lastKeys.emplace_back();
        m_hasKey.push_back(false);
        return m_reader.beginContainer(true);
    }
    bool Key(const char* text, rapidjson::SizeType length, bool)
    {
        return readable(text, length) && follows(text, length) && m_reader.key(QByteArrayView(text, length));
    }
    bool EndObject(rapidjson::SizeType)
    {
        m_lastKeys.pop_back();
        m_hasKey.pop_back();
        return m_reader.endContainer();
    }
    bool StartArray() { return m_reader.beginContainer(false); }
    bool EndArray(rapidjson::SizeType) { return m_reader.endContainer(); }

private:
    // A surrogate encoded as UTF-8 (0xED 0xA0..0xBF), which isWellFormedUtf8 refuses, comes
    // only from an escape.
    static bool readable(const char* text, rapidjson::SizeType length)
    {
        return isWellFormedUtf8(QByteArrayView(text, length));
    }

    bool follows(const char* text, rapidjson::SizeType length)
    {
        std::string& last = m_lastKeys.back();
        if (m_hasKey.back() && !(std::string_view(last) < std::string_view(text, length)))
            return false;
        last.assign(text, length);
        m_hasKey.back() = true;
        return true;
    }

    Reader& m_reader;
    std::vector<std::string> m_lastKeys;
    std::vector<bool> m_hasKey;
};

// RapidJSON's stream over a NodePlan::Source, read a block at a time.
class SourceStream
{
public:
    using Ch = char;

    explicit SourceStream(const NodePlan::Source& source)
        : m_source(source)
        , m_buffer(blockSize)
        , m_current(m_buffer.data())
        , m_end(m_buffer.data())
    {
        refill();
    }

    bool failed() const { return m_failed; }
    // Every byte of the source has been read.
    bool atEnd() const { return m_current == m_end; }

    Ch Peek() const { return m_current < m_end ? *m_current : '\0'; }
    Ch Take()
    {
        if (m_current == m_end)
            return '\0';
        const Ch c = *m_current++;
        if (m_current == m_end)
            refill();
        return c;
    }
    size_t Tell() const { return m_count + size_t(m_current - m_buffer.data()); }

    // Not used by a reader that copies its texts.
    Ch* PutBegin() { return nullptr; }
    void Put(Ch) { }
    void Flush() { }
    size_t PutEnd(Ch*) { return 0; }

private:
    static constexpr qsizetype blockSize = 256 * 1024;

    void refill()
    {
        m_count += size_t(m_end - m_buffer.data());
        const qsizetype read = m_failed ? 0 : m_source(m_buffer.data(), blockSize);
        m_failed = m_failed || read < 0;
        m_current = m_buffer.data();
        m_end = m_current + std::max<qsizetype>(read, 0);
    }

    const NodePlan::Source& m_source;
    std::vector<char> m_buffer;
    const char* m_current;
    const char* m_end;
    size_t m_count = 0;
    bool m_failed = false;
};

bool atEnd(const rapidjson::MemoryStream& stream)
{
    return stream.src_ == stream.end_;
}

bool atEnd(const SourceStream& stream)
{
    return stream.atEnd();
}

} // namespace

template <typename Stream>
std::optional<NodePlan> NodePlan::fromStream(
    Stream& stream, qsizetype textSize, const ManagedObjectModel& model, QString* error, bool* needsDocument)
{
    *needsDocument = false;
    NodePlan plan;
    Reader reader(plan, model, textSize);
    TextEvents<Reader> events(reader);
    rapidjson::Reader parser;
    constexpr unsigned flags = rapidjson::kParseIterativeFlag | rapidjson::kParseFullPrecisionFlag;
    // RapidJSON takes a NUL byte for the end of the text; what follows one is still the archive's,
    // and the document reader refuses it.
    if (parser.Parse<flags>(stream, events) && atEnd(stream))
        return plan;
    if (!parser.HasParseError()) {
        *needsDocument = true;
        return std::nullopt;
    }
    if (reader.notAnArray()) {
        *error = QStringLiteral("the archive is not a JSON array");
        return std::nullopt;
    }
    // Whatever else stops RapidJSON or the reader (text out of order, nesting beyond
    // QJsonDocument's limit, a lone surrogate, no JSON at all) is QJsonDocument's to read or to
    // refuse with its reason.
    *needsDocument = true;
    return std::nullopt;
}

std::optional<NodePlan> NodePlan::fromText(
    const QByteArray& text, const ManagedObjectModel& model, QString* error, bool* needsDocument)
{
    rapidjson::MemoryStream stream(text.constData(), size_t(text.size()));
    return fromStream(stream, text.size(), model, error, needsDocument);
}

std::optional<NodePlan> NodePlan::fromSource(
    const Source& source, qsizetype textSize, const ManagedObjectModel& model, QString* error, bool* needsDocument)
{
    SourceStream stream(source);
    std::optional<NodePlan> plan = fromStream(stream, textSize, model, error, needsDocument);
    // A source that stops early is its caller's to explain.
    if (stream.failed()) {
        *needsDocument = false;
        return std::nullopt;
    }
    return plan;
}
