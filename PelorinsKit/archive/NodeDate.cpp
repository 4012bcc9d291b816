#include "PelorinsKit/archive/NodeDate.h"

#include <QDate>
#include <QTime>

namespace {

char16_t unitAt(const QString& text, qsizetype position)
{
    return text.at(position).unicode();
}

char16_t unitAt(QByteArrayView text, qsizetype position)
{
    return char16_t(uchar(text.at(position)));
}

// Reads `count` ASCII digits at `position`; -1 when any of them is not one.
template <typename Text> int digits(const Text& text, qsizetype position, int count)
{
    int value = 0;
    for (int i = 0; i < count; ++i) {
        const char16_t c = unitAt(text, position + i);
        if (c < u'0' || c > u'9')
            return -1;
        value = value * 10 + (c - u'0');
    }
    return value;
}

template <typename Text> std::optional<QDateTime> dateOf(const Text& text)
{
    // 0123456789012345678
    // yyyy-MM-dd HH:mm:ss
    if (text.size() != 19 || unitAt(text, 4) != u'-' || unitAt(text, 7) != u'-' || unitAt(text, 10) != u' '
        || unitAt(text, 13) != u':' || unitAt(text, 16) != u':')
        return std::nullopt;
    const int year = digits(text, 0, 4);
    const int month = digits(text, 5, 2);
    const int day = digits(text, 8, 2);
    const int hour = digits(text, 11, 2);
    const int minute = digits(text, 14, 2);
    const int second = digits(text, 17, 2);
    if (year < 0 || month < 0 || day < 0 || hour < 0 || minute < 0 || second < 0)
        return std::nullopt;
    const QDate calendarDay(year, month, day);
    const QTime time(hour, minute, second);
    if (!calendarDay.isValid() || !time.isValid())
        return std::nullopt;
    // Qt::UTC rather than QTimeZone::utc(), which allocates a zone for every date read.
    return QDateTime(calendarDay, time, Qt::UTC);
}

} // namespace

namespace NodeDate {

QString string(const QDateTime& date)
{
    const QDateTime utc = date.toUTC();
    const QDate day = utc.date();
    const QTime time = utc.time();
    return QString::asprintf(
        "%04d-%02d-%02d %02d:%02d:%02d", day.year(), day.month(), day.day(), time.hour(), time.minute(), time.second());
}

std::optional<QDateTime> date(const QString& text)
{
    return dateOf(text);
}

std::optional<QDateTime> date(QByteArrayView utf8)
{
    return dateOf(utf8);
}

} // namespace NodeDate
