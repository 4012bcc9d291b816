#include "Pelorins/card/CalendarEventLink.h"

namespace {

const QString prefix = QStringLiteral("calendar://");

} // namespace

std::optional<QUrl> CalendarEventLink::url(const QString& uid)
{
    if (uid.isEmpty())
        return std::nullopt;
    // As links have always been written, when the UID comes back from it.
    const QUrl plain(prefix + uid, QUrl::StrictMode);
    if (plain.isValid() && !uid.startsWith(QLatin1Char('/'))
        && CalendarEventLink::uid(plain).compare(uid, Qt::CaseInsensitive) == 0)
        return plain;
    const QUrl encoded = QUrl::fromEncoded(prefix.toLatin1() + '/' + QUrl::toPercentEncoding(uid), QUrl::StrictMode);
    return encoded.isValid() ? std::optional<QUrl>(encoded) : std::nullopt;
}

QString CalendarEventLink::uid(const QUrl& url)
{
    const QString text = url.toString(QUrl::FullyEncoded);
    if (!text.startsWith(prefix, Qt::CaseInsensitive))
        return QString();
    const QString rest = text.mid(prefix.size());
    if (rest.startsWith(QLatin1Char('/')))
        return QUrl::fromPercentEncoding(rest.mid(1).toLatin1());
    return url.toString().mid(prefix.size());
}
