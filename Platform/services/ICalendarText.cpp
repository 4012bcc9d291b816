#include "Platform/services/ICalendarText.h"

namespace {

constexpr qsizetype foldWidth = 75;

bool isContinuation(const QByteArray& bytes, qsizetype at, qsizetype end)
{
    return at < end && (bytes[at] == ' ' || bytes[at] == '\t');
}

// The end of the physical line that begins at `at`: after its '\n', or `end`.
qsizetype physicalEnd(const QByteArray& bytes, qsizetype at, qsizetype end)
{
    const qsizetype newline = bytes.indexOf('\n', at);
    return newline < 0 || newline >= end ? end : newline + 1;
}

// The physical line's text without its line break.
QByteArray physicalText(const QByteArray& bytes, qsizetype at, qsizetype lineEnd)
{
    qsizetype textEnd = lineEnd;
    if (textEnd > at && bytes[textEnd - 1] == '\n')
        --textEnd;
    if (textEnd > at && bytes[textEnd - 1] == '\r')
        --textEnd;
    return bytes.mid(at, textEnd - at);
}

} // namespace

qsizetype ICalendarText::lineEnd(const QByteArray& bytes, qsizetype begin, qsizetype end)
{
    qsizetype at = physicalEnd(bytes, begin, end);
    while (isContinuation(bytes, at, end))
        at = physicalEnd(bytes, at, end);
    return at;
}

QByteArray ICalendarText::unfolded(const QByteArray& bytes, qsizetype begin, qsizetype end)
{
    qsizetype at = physicalEnd(bytes, begin, end);
    QByteArray text = physicalText(bytes, begin, at);
    while (isContinuation(bytes, at, end)) {
        const qsizetype next = physicalEnd(bytes, at, end);
        text += physicalText(bytes, at + 1, next);
        at = next;
    }
    return text;
}

QList<ICalendarText::Line> ICalendarText::lines(const QByteArray& bytes, qsizetype begin, qsizetype end)
{
    QList<Line> found;
    for (qsizetype at = begin; at < end;) {
        const qsizetype next = lineEnd(bytes, at, end);
        found.append(Line {at, next, unfolded(bytes, at, end)});
        at = next;
    }
    return found;
}

QByteArray ICalendarText::name(const QByteArray& line)
{
    qsizetype length = 0;
    while (length < line.size() && line[length] != ';' && line[length] != ':')
        ++length;
    return line.left(length).trimmed().toUpper();
}

qsizetype ICalendarText::valueSeparator(const QByteArray& line)
{
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (line[i] == '"')
            quoted = !quoted;
        else if (line[i] == ':' && !quoted)
            return i;
    }
    return -1;
}

QByteArray ICalendarText::value(const QByteArray& line)
{
    const qsizetype separator = valueSeparator(line);
    return separator < 0 ? QByteArray() : line.mid(separator + 1);
}

QString ICalendarText::unescapedText(const QByteArray& value)
{
    QByteArray text;
    text.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            text += value[i];
            continue;
        }
        const char escaped = value[++i];
        text += escaped == 'n' || escaped == 'N' ? '\n' : escaped;
    }
    return QString::fromUtf8(text);
}

QByteArray ICalendarText::escapedText(const QString& text)
{
    QString normalized = text;
    normalized.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QByteArray escaped;
    for (const char c : normalized.toUtf8()) {
        switch (c) {
        case '\\':
            escaped += "\\\\";
            break;
        case ';':
            escaped += "\\;";
            break;
        case ',':
            escaped += "\\,";
            break;
        case '\n':
            escaped += "\\n";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

QByteArray ICalendarText::folded(const QByteArray& line, const QByteArray& lineBreak)
{
    QByteArray result;
    qsizetype at = 0;
    // The first line holds 75 bytes, each continuation line a space and 74.
    qsizetype width = foldWidth;
    while (line.size() - at > width) {
        qsizetype cut = at + width;
        // Back off continuation bytes (10xxxxxx) so that a character stays whole.
        while (cut > at + 1 && (uchar(line[cut]) & 0xC0) == 0x80)
            --cut;
        result += line.mid(at, cut - at) + lineBreak + ' ';
        at = cut;
        width = foldWidth - 1;
    }
    return result + line.mid(at) + lineBreak;
}
