#include "Platform/services/MailMessageHeaders.h"

#include <QFile>
#include <QRegularExpression>
#include <QStringDecoder>

namespace {

// The header block: everything before the first empty line. None when no empty line comes within
// the limit of a longer text.
std::optional<QByteArray> headerBlock(const QByteArray& message)
{
    qsizetype end = -1;
    for (qsizetype i = 0; i < message.size(); ++i) {
        if (message.at(i) != '\n')
            continue;
        const qsizetype next = i + 1;
        if (next < message.size() && message.at(next) == '\n') {
            end = i;
            break;
        }
        if (next + 1 < message.size() && message.at(next) == '\r' && message.at(next + 1) == '\n') {
            end = i;
            break;
        }
    }
    if (end < 0)
        end = message.size();
    if (end > MailMessageHeaders::maximumHeaderBytes)
        return std::nullopt;
    return message.left(end);
}

QString decodeWord(const QByteArray& charset, char encoding, const QByteArray& text)
{
    QByteArray bytes;
    if (encoding == 'B' || encoding == 'b') {
        bytes = QByteArray::fromBase64(text);
    } else {
        for (qsizetype i = 0; i < text.size(); ++i) {
            const char c = text.at(i);
            if (c == '_') {
                bytes.append(' ');
            } else if (c == '=' && i + 2 < text.size()) {
                bool ok = false;
                const int value = text.mid(i + 1, 2).toInt(&ok, 16);
                if (ok) {
                    bytes.append(char(value));
                    i += 2;
                } else {
                    bytes.append(c);
                }
            } else {
                bytes.append(c);
            }
        }
    }
    QStringDecoder decoder(charset.constData());
    if (!decoder.isValid())
        return QString::fromLatin1(bytes);
    return decoder.decode(bytes);
}

// Decodes the encoded words of a header value; the space between two encoded words goes.
QString decodeEncodedWords(const QByteArray& value)
{
    static const QRegularExpression word(QStringLiteral("=\\?([^?\\s]+)\\?([BbQq])\\?([^?\\s]*)\\?="));
    const QString text = QString::fromLatin1(value);
    QString decoded;
    qsizetype last = 0;
    bool previousWasEncoded = false;
    QRegularExpressionMatchIterator matches = word.globalMatch(text);
    while (matches.hasNext()) {
        const QRegularExpressionMatch match = matches.next();
        const QString between = text.mid(last, match.capturedStart() - last);
        if (!(previousWasEncoded && between.trimmed().isEmpty()))
            decoded += QString::fromUtf8(between.toLatin1());
        QByteArray charset = match.captured(1).toLatin1();
        // An RFC 2231 language suffix.
        charset = charset.left(charset.indexOf('*') >= 0 ? charset.indexOf('*') : charset.size());
        decoded += decodeWord(charset, match.captured(2).at(0).toLatin1(), match.captured(3).toLatin1());
        last = match.capturedEnd();
        previousWasEncoded = true;
    }
    decoded += QString::fromUtf8(text.mid(last).toLatin1());
    return decoded.simplified();
}

// The display name of a From value, else its address.
QString senderOf(const QString& from)
{
    const qsizetype open = from.lastIndexOf(QLatin1Char('<'));
    if (open >= 0) {
        QString name = from.left(open).trimmed();
        if (name.size() >= 2 && name.startsWith(QLatin1Char('"')) && name.endsWith(QLatin1Char('"')))
            name = name.mid(1, name.size() - 2).replace(QStringLiteral("\\\""), QStringLiteral("\""));
        if (!name.isEmpty())
            return name;
        const qsizetype close = from.indexOf(QLatin1Char('>'), open);
        return from.mid(open + 1, close < 0 ? -1 : close - open - 1).trimmed();
    }
    // address (Name)
    static const QRegularExpression comment(QStringLiteral("^\\s*(\\S+)\\s*\\((.*)\\)\\s*$"));
    const QRegularExpressionMatch match = comment.match(from);
    if (match.hasMatch() && !match.captured(2).trimmed().isEmpty())
        return match.captured(2).trimmed();
    return from.trimmed();
}

} // namespace

std::optional<MailMessageHeaders> MailMessageHeaders::parse(const QByteArray& message, QString* error)
{
    const std::optional<QByteArray> block = headerBlock(message);
    if (!block) {
        if (error)
            *error = QStringLiteral("the header block is longer than %1 bytes").arg(maximumHeaderBytes);
        return std::nullopt;
    }
    // Unfolded: a line that starts with a space or a tab goes on the line before.
    QList<QByteArray> fields;
    for (QByteArray line : block->split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (!line.isEmpty() && (line.at(0) == ' ' || line.at(0) == '\t') && !fields.isEmpty())
            fields.last() += ' ' + line.trimmed();
        else
            fields.append(line);
    }
    MailMessageHeaders headers;
    std::optional<QString> from;
    std::optional<QString> id;
    for (const QByteArray& field : fields) {
        const qsizetype colon = field.indexOf(':');
        if (colon <= 0)
            continue;
        const QByteArray name = field.left(colon).trimmed().toLower();
        const QByteArray value = field.mid(colon + 1).trimmed();
        if (name == "subject" && headers.subject.isEmpty())
            headers.subject = decodeEncodedWords(value);
        else if (name == "from" && !from)
            from = senderOf(decodeEncodedWords(value));
        else if (name == "message-id" && !id)
            id = QString::fromLatin1(value).remove(QLatin1Char('<')).remove(QLatin1Char('>')).trimmed();
    }
    if (!from || from->isEmpty()) {
        if (error)
            *error = QStringLiteral("the message has no sender");
        return std::nullopt;
    }
    if (!id || id->isEmpty()) {
        if (error)
            *error = QStringLiteral("the message has no Message-ID");
        return std::nullopt;
    }
    headers.sender = *from;
    headers.messageID = *id;
    return headers;
}

std::optional<MailMessageHeaders> MailMessageHeaders::read(const QString& path, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return std::nullopt;
    }
    // The header block and its ending empty line fit in the limit and a few bytes more.
    return parse(file.read(maximumHeaderBytes + 4), error);
}

QUrl MailMessageHeaders::linkURL() const
{
    return QUrl::fromEncoded(
        "message:" + QUrl::toPercentEncoding(QLatin1Char('<') + messageID + QLatin1Char('>'), "@"));
}
