#include "PelorinsKit/archive/NodePlanUtf8.h"

#include <cstring>

namespace NodePlanUtf8 {

const char* surrogateIn(QByteArrayView utf8)
{
    // An empty text of a plan without texts has no data at all, which memchr must not be given.
    if (utf8.isEmpty())
        return nullptr;
    const char* const end = utf8.data() + utf8.size();
    for (const char* at = utf8.data(); (at = static_cast<const char*>(std::memchr(at, '\xED', size_t(end - at))));
         ++at) {
        if (at + 1 < end && (uchar(at[1]) & 0xE0) == 0xA0)
            return at;
    }
    return nullptr;
}

// Texts are mostly ASCII, which is passed over eight bytes at a time.
bool isWellFormedUtf8(QByteArrayView text)
{
    const auto* at = reinterpret_cast<const uchar*>(text.data());
    const uchar* const end = at + text.size();
    const auto continuation = [](uchar c) { return (c & 0xC0) == 0x80; };
    while (at < end) {
        if (end - at >= 8) {
            quint64 word;
            std::memcpy(&word, at, sizeof word);
            if (!(word & 0x8080808080808080ULL)) {
                at += 8;
                continue;
            }
        }
        const uchar lead = *at;
        if (lead < 0x80) {
            ++at;
            continue;
        }
        // The second byte's range depends on the lead (Unicode, table 3-7); the rest are any
        // continuation bytes.
        int length = 0;
        uchar low = 0x80;
        uchar high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        } else {
            return false;
        }
        if (end - at < length || at[1] < low || at[1] > high)
            return false;
        for (int i = 2; i < length; ++i)
            if (!continuation(at[i]))
                return false;
        at += length;
    }
    return true;
}

QByteArray generalisedUtf8(QStringView text)
{
    QByteArray utf8;
    qsizetype from = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i].unicode();
        if (!QChar::isSurrogate(unit))
            continue;
        if (QChar::isHighSurrogate(unit) && i + 1 < text.size() && QChar::isLowSurrogate(text[i + 1].unicode())) {
            ++i;
            continue;
        }
        utf8.append(text.mid(from, i - from).toUtf8());
        utf8.append(char(0xE0 | (unit >> 12)));
        utf8.append(char(0x80 | ((unit >> 6) & 0x3F)));
        utf8.append(char(0x80 | (unit & 0x3F)));
        from = i + 1;
    }
    if (from == 0)
        return text.toUtf8();
    utf8.append(text.mid(from).toUtf8());
    return utf8;
}

QString fromGeneralisedUtf8(QByteArrayView utf8)
{
    const char* surrogate = surrogateIn(utf8);
    if (!surrogate)
        return QString::fromUtf8(utf8);
    QString text;
    while (surrogate) {
        text.append(QString::fromUtf8(QByteArrayView(utf8.data(), surrogate)));
        text.append(QChar(char16_t(((uchar(surrogate[0]) & 0x0F) << 12) | ((uchar(surrogate[1]) & 0x3F) << 6)
            | (uchar(surrogate[2]) & 0x3F))));
        utf8 = QByteArrayView(surrogate + 3, utf8.data() + utf8.size());
        surrogate = surrogateIn(utf8);
    }
    text.append(QString::fromUtf8(utf8));
    return text;
}

} // namespace NodePlanUtf8
