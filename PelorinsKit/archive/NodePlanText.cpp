#include "PelorinsKit/archive/NodePlan.h"

#include "PelorinsKit/archive/NodePlanReader.h"
#include "PelorinsKit/archive/NodePlanUtf8.h"

#include <bit>
#include <charconv>
#include <cstring>
#include <vector>

using NodePlanUtf8::isWellFormedUtf8;

// JSON text read a block at a time and handed to the plan's reader as events. Texts, which are
// nearly all of an archive, are passed over sixteen bytes at a time and handed on where they lie
// in the block when they hold no escape. It stops wherever the text would read differently
// through QJsonDocument: keys out of the order QJsonDocument gives a parsed object's keys (that of
// their code points, so of their UTF-8 bytes) or repeated (QJsonDocument keeps the last), texts
// that are no well-formed UTF-8 or hold an escaped lone surrogate, numbers beyond a double, and
// text after the value; and of course at anything that is no JSON.
class NodePlan::TextScanner
{
public:
    enum class Outcome { Read, Stopped, SourceFailed };

    TextScanner(const NodePlan::Source& source, NodePlan::Reader& reader)
        : m_source(source)
        , m_reader(reader)
        , m_buffer(2 * blockSize)
    {
    }

    Outcome run()
    {
        const bool read = value() && atEnd();
        if (m_sourceFailed)
            return Outcome::SourceFailed;
        return read ? Outcome::Read : Outcome::Stopped;
    }

private:
    static constexpr size_t blockSize = 256 * 1024;
    // What may come next, after the opening of a container, a key or a member.
    enum class Expect { Value, ValueOrEnd, KeyOrEnd, Key, Colon, CommaOrEnd };

    // One value, containers nesting through a stack of their own (hostile nesting costs memory in
    // proportion to the text, never the call stack; the reader limits the depth).
    bool value()
    {
        Expect expect = Expect::Value;
        do {
            if (!skipSpace())
                return false;
            const char c = m_buffer[m_at];
            switch (expect) {
            case Expect::ValueOrEnd:
                if (c == ']') {
                    ++m_at;
                    if (!endContainer())
                        return false;
                    expect = Expect::CommaOrEnd;
                    break;
                }
                [[fallthrough]];
            case Expect::Value:
                if (!member(c, expect))
                    return false;
                break;
            case Expect::KeyOrEnd:
                if (c == '}') {
                    ++m_at;
                    if (!endContainer())
                        return false;
                    expect = Expect::CommaOrEnd;
                    break;
                }
                [[fallthrough]];
            case Expect::Key: {
                if (c != '"')
                    return false;
                ++m_at;
                const std::optional<QByteArrayView> key = text();
                if (!key || !follows(*key) || !m_reader.key(*key))
                    return false;
                expect = Expect::Colon;
                break;
            }
            case Expect::Colon:
                if (c != ':')
                    return false;
                ++m_at;
                expect = Expect::Value;
                break;
            case Expect::CommaOrEnd:
                ++m_at;
                if (c == ',') {
                    expect = m_containers.back() ? Expect::Key : Expect::Value;
                } else if (c == (m_containers.back() ? '}' : ']')) {
                    if (!endContainer())
                        return false;
                } else {
                    return false;
                }
                break;
            }
        } while (!m_containers.empty());
        return true;
    }

    // A value beginning with `c`; `expect` says what follows it.
    bool member(char c, Expect& expect)
    {
        if (c == '{' || c == '[') {
            ++m_at;
            const bool isObject = c == '{';
            m_containers.push_back(quint8(isObject));
            if (isObject)
                m_keys.push_back(LastKey {m_keyBytes.size(), false});
            expect = isObject ? Expect::KeyOrEnd : Expect::ValueOrEnd;
            return m_reader.beginContainer(isObject);
        }
        expect = Expect::CommaOrEnd;
        if (c == '"') {
            ++m_at;
            const std::optional<QByteArrayView> utf8 = text();
            return utf8 && m_reader.text(*utf8);
        }
        if (c == '-' || (c >= '0' && c <= '9')) {
            const std::optional<double> number = this->number();
            return number && m_reader.scalar(QJsonValue(*number));
        }
        if (literal("true"))
            return m_reader.scalar(QJsonValue(true));
        if (literal("false"))
            return m_reader.scalar(QJsonValue(false));
        if (literal("null"))
            return m_reader.scalar(QJsonValue(QJsonValue::Null));
        return false;
    }

    bool endContainer()
    {
        if (m_containers.back()) {
            m_keyBytes.resize(m_keys.back().start);
            m_keys.pop_back();
        }
        m_containers.pop_back();
        return m_reader.endContainer();
    }

    // Keys of an object come in the order of their bytes, each once.
    bool follows(QByteArrayView key)
    {
        LastKey& last = m_keys.back();
        const QByteArrayView before(m_keyBytes.data() + last.start, qsizetype(m_keyBytes.size() - last.start));
        if (last.held && !(std::string_view(before.data(), size_t(before.size()))
                < std::string_view(key.data(), size_t(key.size()))))
            return false;
        m_keyBytes.resize(last.start + size_t(key.size()));
        if (!key.isEmpty())
            std::memcpy(m_keyBytes.data() + last.start, key.data(), size_t(key.size()));
        last.held = true;
        return true;
    }

    // Past white space to the next byte; false at the end of the text.
    bool skipSpace()
    {
        for (;;) {
            while (m_at < m_end) {
                const char c = m_buffer[m_at];
                if (c != ' ' && c != '\n' && c != '\r' && c != '\t')
                    return true;
                ++m_at;
            }
            if (!more(m_at))
                return false;
        }
    }

    // Nothing but white space is left.
    bool atEnd() { return !skipSpace() && !m_sourceFailed; }

    // Reads on until at least `count` bytes from the current one are in the buffer, or the text
    // ends; the bytes from `from` on stay.
    bool have(size_t count, size_t& from)
    {
        while (m_end - m_at < count)
            if (!more(from))
                return false;
        return true;
    }

    // Reads the next block behind what is in the buffer; what lies before `from` may go (`from`
    // then counts from the buffer's new start). False at the end of the text or when the source
    // fails. A text longer than a block stays whole, so the buffer grows to hold it.
    bool more(size_t& from)
    {
        if (m_sourceDone)
            return false;
        if (from > 0) {
            std::memmove(m_buffer.data(), m_buffer.data() + from, m_end - from);
            m_end -= from;
            m_at -= from;
            from = 0;
        }
        if (m_buffer.size() - m_end < blockSize)
            m_buffer.resize(std::max(2 * m_buffer.size(), m_end + blockSize));
        const qsizetype read = m_source(m_buffer.data() + m_end, qsizetype(m_buffer.size() - m_end));
        if (read <= 0) {
            m_sourceDone = true;
            m_sourceFailed = read < 0;
            return false;
        }
        m_end += size_t(read);
        return true;
    }

    bool literal(std::string_view word)
    {
        size_t from = m_at;
        have(word.size(), from);
        if (m_end - m_at < word.size() || std::memcmp(m_buffer.data() + m_at, word.data(), word.size()) != 0)
            return false;
        m_at += word.size();
        return true;
    }

    // The bytes of a text whose opening quote is behind: escapes decoded, valid until the next
    // read. Nothing when it is not a text the plan reads.
    std::optional<QByteArrayView> text()
    {
        // The first byte not yet taken: the text's first, or, once an escape was decoded, the first
        // after the last escape.
        size_t from = m_at;
        bool escaped = false;
        bool beyondAscii = false;
        for (;;) {
            if (m_end - m_at < sizeof(Bytes))
                have(sizeof(Bytes), from);
            while (m_end - m_at >= sizeof(Bytes)) {
                Bytes bytes;
                std::memcpy(&bytes, m_buffer.data() + m_at, sizeof bytes);
                beyondAscii = beyondAscii || any(bytes >= splat(0x80));
                const auto special = (bytes == splat('"')) | (bytes == splat('\\')) | (bytes < splat(0x20));
                if (const std::optional<size_t> first = firstSet(special)) {
                    m_at += *first;
                    break;
                }
                m_at += sizeof(Bytes);
            }
            if (m_at == m_end) {
                if (!more(from))
                    return std::nullopt;
                continue;
            }
            const auto c = uchar(m_buffer[m_at]);
            if (c == '"') {
                QByteArrayView taken(m_buffer.data() + from, qsizetype(m_at - from));
                ++m_at;
                if (escaped) {
                    m_decoded.append(taken);
                    taken = m_decoded;
                }
                if (beyondAscii && !isWellFormedUtf8(taken))
                    return std::nullopt;
                return taken;
            }
            if (c == '\\') {
                if (!escaped)
                    m_decoded.resize(0);
                escaped = true;
                m_decoded.append(m_buffer.data() + from, qsizetype(m_at - from));
                if (!escape())
                    return std::nullopt;
                from = m_at;
            } else if (c < 0x20) {
                return std::nullopt;
            } else {
                beyondAscii = beyondAscii || c >= 0x80;
                ++m_at;
            }
        }
    }

    // Decodes the escape at the current byte into m_decoded.
    bool escape()
    {
        size_t from = m_at;
        have(12, from);
        if (m_end - m_at < 2)
            return false;
        const char c = m_buffer[m_at + 1];
        m_at += 2;
        switch (c) {
        case '"':
        case '\\':
        case '/':
            m_decoded.append(c);
            return true;
        case 'b':
            m_decoded.append('\b');
            return true;
        case 'f':
            m_decoded.append('\f');
            return true;
        case 'n':
            m_decoded.append('\n');
            return true;
        case 'r':
            m_decoded.append('\r');
            return true;
        case 't':
            m_decoded.append('\t');
            return true;
        case 'u':
            break;
        default:
            return false;
        }
        std::optional<char32_t> unit = hexUnit();
        if (!unit || (*unit >= 0xDC00 && *unit <= 0xDFFF))
            return false;
        char32_t codePoint = *unit;
        // A surrogate only as the high half of a pair.
        if (*unit >= 0xD800 && *unit <= 0xDBFF) {
            if (m_end - m_at < 2 || m_buffer[m_at] != '\\' || m_buffer[m_at + 1] != 'u')
                return false;
            m_at += 2;
            const std::optional<char32_t> low = hexUnit();
            if (!low || *low < 0xDC00 || *low > 0xDFFF)
                return false;
            codePoint = 0x10000 + ((*unit - 0xD800) << 10) + (*low - 0xDC00);
        }
        appendUtf8(codePoint);
        return true;
    }

    // The four hex digits of a \u escape.
    std::optional<char32_t> hexUnit()
    {
        if (m_end - m_at < 4)
            return std::nullopt;
        char32_t unit = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = m_buffer[m_at++];
            int digit = 0;
            if (c >= '0' && c <= '9')
                digit = c - '0';
            else if (c >= 'a' && c <= 'f')
                digit = c - 'a' + 10;
            else if (c >= 'A' && c <= 'F')
                digit = c - 'A' + 10;
            else
                return std::nullopt;
            unit = unit * 16 + char32_t(digit);
        }
        return unit;
    }

    void appendUtf8(char32_t codePoint)
    {
        if (codePoint < 0x80) {
            m_decoded.append(char(codePoint));
        } else if (codePoint < 0x800) {
            m_decoded.append(char(0xC0 | (codePoint >> 6)));
            m_decoded.append(char(0x80 | (codePoint & 0x3F)));
        } else if (codePoint < 0x10000) {
            m_decoded.append(char(0xE0 | (codePoint >> 12)));
            m_decoded.append(char(0x80 | ((codePoint >> 6) & 0x3F)));
            m_decoded.append(char(0x80 | (codePoint & 0x3F)));
        } else {
            m_decoded.append(char(0xF0 | (codePoint >> 18)));
            m_decoded.append(char(0x80 | ((codePoint >> 12) & 0x3F)));
            m_decoded.append(char(0x80 | ((codePoint >> 6) & 0x3F)));
            m_decoded.append(char(0x80 | (codePoint & 0x3F)));
        }
    }

    // A number as JSON writes one, as a double: an integer exactly as its 64 bits convert (so "-0"
    // is 0, as QJsonDocument reads it), anything else rounded to the nearest. Nothing beyond a
    // double's range.
    std::optional<double> number()
    {
        // The number's first byte, followed when the buffer moves.
        size_t from = m_at;
        const auto digits = [&] {
            size_t count = 0;
            while ((m_at < m_end || more(from)) && m_buffer[m_at] >= '0' && m_buffer[m_at] <= '9') {
                ++m_at;
                ++count;
            }
            return count;
        };
        const auto next = [&](char c) {
            if ((m_at < m_end || more(from)) && m_buffer[m_at] == c) {
                ++m_at;
                return true;
            }
            return false;
        };
        const bool negative = next('-');
        const size_t integerStart = m_at - from;
        const size_t integerDigits = digits();
        if (integerDigits == 0 || (integerDigits > 1 && m_buffer[from + integerStart] == '0'))
            return std::nullopt;
        bool integral = true;
        if (next('.')) {
            integral = false;
            if (digits() == 0)
                return std::nullopt;
        }
        if (next('e') || next('E')) {
            integral = false;
            if (!next('+'))
                next('-');
            if (digits() == 0)
                return std::nullopt;
        }
        const char* const first = m_buffer.data() + from;
        const char* const last = m_buffer.data() + m_at;
        if (integral) {
            quint64 magnitude = 0;
            const char* const digitsStart = first + integerStart;
            const auto parsed = std::from_chars(digitsStart, last, magnitude);
            if (parsed.ec == std::errc())
                return negative && magnitude > 0 ? -double(magnitude) : double(magnitude);
        }
        double value = 0;
        const auto parsed = std::from_chars(first, last, value);
        if (parsed.ec != std::errc() || parsed.ptr != last)
            return std::nullopt;
        return value;
    }

    // Sixteen bytes of text compared at once (vector instructions where the processor has them).
    using Bytes = quint8 __attribute__((vector_size(16)));
    using Mask = qint8 __attribute__((vector_size(16)));
    static constexpr Bytes splat(quint8 c) { return Bytes {c, c, c, c, c, c, c, c, c, c, c, c, c, c, c, c}; }
    static bool any(Mask mask)
    {
        quint64 halves[2];
        std::memcpy(halves, &mask, sizeof halves);
        return (halves[0] | halves[1]) != 0;
    }
    // The position of the first byte a comparison holds for.
    static std::optional<size_t> firstSet(Mask mask)
    {
        quint64 halves[2];
        std::memcpy(halves, &mask, sizeof halves);
        if (halves[0])
            return size_t(std::countr_zero(halves[0]) / 8);
        if (halves[1])
            return size_t(8 + std::countr_zero(halves[1]) / 8);
        return std::nullopt;
    }

    // The last key of an open object, in m_keyBytes from `start` on.
    struct LastKey
    {
        size_t start = 0;
        bool held = false;
    };

    const NodePlan::Source& m_source;
    NodePlan::Reader& m_reader;
    std::vector<char> m_buffer;
    size_t m_at = 0;
    size_t m_end = 0;
    bool m_sourceDone = false;
    bool m_sourceFailed = false;
    // Per open container, whether it is an object.
    std::vector<quint8> m_containers;
    std::vector<LastKey> m_keys;
    std::vector<char> m_keyBytes;
    QByteArray m_decoded;
};

std::optional<NodePlan> NodePlan::fromText(
    const QByteArray& text, const ManagedObjectModel& model, QString* error, bool* needsDocument)
{
    qsizetype offset = 0;
    const Source source = [&](char* buffer, qsizetype size) {
        const qsizetype count = std::min(size, text.size() - offset);
        std::memcpy(buffer, text.constData() + offset, size_t(count));
        offset += count;
        return count;
    };
    return fromSource(source, text.size(), model, error, needsDocument);
}

std::optional<NodePlan> NodePlan::fromSource(
    const Source& source, qsizetype textSize, const ManagedObjectModel& model, QString* error, bool* needsDocument)
{
    *needsDocument = false;
    NodePlan plan;
    Reader reader(plan, model, textSize);
    switch (TextScanner(source, reader).run()) {
    case TextScanner::Outcome::Read:
        return plan;
    case TextScanner::Outcome::SourceFailed:
        // A source that stops early is its caller's to explain.
        return std::nullopt;
    case TextScanner::Outcome::Stopped:
        break;
    }
    if (reader.notAnArray()) {
        *error = QStringLiteral("the archive is not a JSON array");
        return std::nullopt;
    }
    // Whatever else stops the scanner or the reader (text out of order, nesting beyond
    // QJsonDocument's limit, a lone surrogate, no JSON at all) is QJsonDocument's to read or to
    // refuse with its reason.
    *needsDocument = true;
    return std::nullopt;
}
