#include "PelorinsKit/archive/JSONTextWriter.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <charconv>
#include <cmath>
#include <iterator>

namespace {

char hexDigit(uint value)
{
    return char(value < 10 ? '0' + value : 'a' + value - 10);
}

// "\uxxxx" at `target`; returns the end.
char* writeUnicodeEscape(char* target, char16_t unit)
{
    *target++ = '\\';
    *target++ = 'u';
    for (int shift = 12; shift >= 0; shift -= 4)
        *target++ = hexDigit(unit >> shift & 0xF);
    return target;
}

} // namespace

void JSONTextWriter::separate()
{
    if (m_needsComma)
        m_text.append(',');
}

void JSONTextWriter::beginObject()
{
    separate();
    m_text.append('{');
    m_needsComma = false;
}

void JSONTextWriter::endObject()
{
    m_text.append('}');
    m_needsComma = true;
}

void JSONTextWriter::beginArray()
{
    separate();
    m_text.append('[');
    m_needsComma = false;
}

void JSONTextWriter::endArray()
{
    m_text.append(']');
    m_needsComma = true;
}

void JSONTextWriter::escapedKey(QByteArrayView keyText)
{
    separate();
    m_text.append(keyText);
    m_needsComma = false;
}

QByteArray JSONTextWriter::keyText(QStringView name)
{
    QByteArray text;
    appendEscaped(text, name);
    text.append(':');
    return text;
}

bool JSONTextWriter::deferredValue()
{
    const bool commaDue = m_needsComma;
    m_needsComma = true;
    return commaDue;
}

void JSONTextWriter::string(QStringView text)
{
    separate();
    appendEscaped(m_text, text);
    m_needsComma = true;
}

void JSONTextWriter::integer(qint64 number)
{
    separate();
    char digits[24];
    const char* end = std::to_chars(std::begin(digits), std::end(digits), number).ptr;
    m_text.append(digits, end - digits);
    m_needsComma = true;
}

void JSONTextWriter::number(double number)
{
    separate();
    if (std::isfinite(number))
        m_text.append(QByteArray::number(number, 'g', QLocale::FloatingPointShortest));
    else
        m_text.append("null");
    m_needsComma = true;
}

void JSONTextWriter::boolean(bool value)
{
    separate();
    m_text.append(value ? "true" : "false");
    m_needsComma = true;
}

void JSONTextWriter::raw(QByteArrayView json)
{
    separate();
    m_text.append(json);
    m_needsComma = true;
}

void JSONTextWriter::value(const QJsonValue& value)
{
    switch (value.type()) {
    case QJsonValue::Object:
        raw(QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact));
        return;
    case QJsonValue::Array:
        raw(QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact));
        return;
    case QJsonValue::String:
        string(value.toString());
        return;
    case QJsonValue::Bool:
        boolean(value.toBool());
        return;
    case QJsonValue::Double: {
        // The value keeps whether it was made from an integer; QJsonDocument writes those whole.
        const QVariant number = value.toVariant();
        if (number.typeId() == QMetaType::LongLong)
            integer(number.toLongLong());
        else
            this->number(value.toDouble());
        return;
    }
    case QJsonValue::Null:
    case QJsonValue::Undefined:
        raw("null");
        return;
    }
}

JSONTextWriter::Mark JSONTextWriter::mark()
{
    ++m_marks;
    return Mark {m_text.size(), m_needsComma};
}

void JSONTextWriter::rollback(const Mark& mark)
{
    m_text.truncate(mark.size);
    m_needsComma = mark.needsComma;
    release();
}

void JSONTextWriter::release()
{
    --m_marks;
}

void JSONTextWriter::exchangeText(QByteArray& buffer)
{
    m_text.swap(buffer);
    // Emptied, not freed: fresh memory costs more than the text written into it.
    m_text.resize(0);
}

void JSONTextWriter::appendEscaped(QByteArray& out, QStringView text)
{
    // Written in place: room for the longest form of every unit ("\u001f"), cut back after.
    const qsizetype start = out.size();
    out.resize(start + 6 * text.size() + 2);
    char* target = out.data() + start;
    *target++ = '"';
    const char16_t* source = text.utf16();
    const char16_t* const end = source + text.size();
    while (source != end) {
        const char16_t unit = *source++;
        if (unit < 0x80) {
            if (unit >= 0x20 && unit != u'"' && unit != u'\\') {
                *target++ = char(unit);
                continue;
            }
            *target++ = '\\';
            switch (unit) {
            case u'"':
                *target++ = '"';
                break;
            case u'\\':
                *target++ = '\\';
                break;
            case u'\b':
                *target++ = 'b';
                break;
            case u'\f':
                *target++ = 'f';
                break;
            case u'\n':
                *target++ = 'n';
                break;
            case u'\r':
                *target++ = 'r';
                break;
            case u'\t':
                *target++ = 't';
                break;
            default:
                target = writeUnicodeEscape(target - 1, unit);
            }
        } else if (unit < 0x800) {
            *target++ = char(0xC0 | unit >> 6);
            *target++ = char(0x80 | (unit & 0x3F));
        } else if (!QChar::isSurrogate(unit)) {
            *target++ = char(0xE0 | unit >> 12);
            *target++ = char(0x80 | (unit >> 6 & 0x3F));
            *target++ = char(0x80 | (unit & 0x3F));
        } else if (QChar::isHighSurrogate(unit) && source != end && QChar::isLowSurrogate(*source)) {
            const char32_t point = QChar::surrogateToUcs4(unit, *source++);
            *target++ = char(0xF0 | point >> 18);
            *target++ = char(0x80 | (point >> 12 & 0x3F));
            *target++ = char(0x80 | (point >> 6 & 0x3F));
            *target++ = char(0x80 | (point & 0x3F));
        } else {
            // A lone surrogate has no UTF-8 form.
            target = writeUnicodeEscape(target, unit);
        }
    }
    *target++ = '"';
    out.truncate(target - out.constData());
}
