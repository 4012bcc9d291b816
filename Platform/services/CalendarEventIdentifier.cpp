#include "Platform/services/CalendarEventIdentifier.h"

#include <QByteArray>

namespace {

// The path comes first and the UID after the last '#', so a UID keeps no '#' (and no '%', which
// escapes it) of its own.
const QChar separator('#');

} // namespace

CalendarEventIdentifier::CalendarEventIdentifier(QString filePath, QString uid)
    : m_filePath(std::move(filePath))
    , m_uid(std::move(uid))
{
}

std::optional<CalendarEventIdentifier> CalendarEventIdentifier::fromString(const QString& identifier)
{
    const qsizetype split = identifier.lastIndexOf(separator);
    if (split < 0 || !identifier.startsWith(QLatin1Char('/'))
        || !identifier.left(split).endsWith(QLatin1String(".ics"), Qt::CaseInsensitive))
        return std::nullopt;
    const QString uid = QString::fromUtf8(QByteArray::fromPercentEncoding(identifier.mid(split + 1).toUtf8()));
    return CalendarEventIdentifier(identifier.left(split), uid);
}

QString CalendarEventIdentifier::toString() const
{
    QString escaped = m_uid;
    escaped.replace(QLatin1Char('%'), QLatin1String("%25")).replace(separator, QLatin1String("%23"));
    return m_filePath + separator + escaped;
}
