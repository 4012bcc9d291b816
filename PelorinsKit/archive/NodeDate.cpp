#include "PelorinsKit/archive/NodeDate.h"
#include "Platform/core/CivilTime.h"

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

struct Moment
{
    QDate day;
    QTime time;
};

template <typename Text> std::optional<Moment> momentOf(const Text& text)
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
    return Moment {calendarDay, time};
}

template <typename Text> std::optional<QDateTime> dateOf(const Text& text)
{
    const std::optional<Moment> moment = momentOf(text);
    if (!moment)
        return std::nullopt;
    // Qt::UTC rather than QTimeZone::utc(), which allocates a zone for every date read.
    return QDateTime(moment->day, moment->time, Qt::UTC);
}

// The date form of a valid date in the years 1 to 9999, from its instant alone: formatting
// through QDate, QTime and asprintf costs more than everything else an export writes of a card.
std::optional<QString> commonEraString(const QDateTime& date)
{
    if (!date.isValid())
        return std::nullopt;
    // UTC's wall clock is the instant's own.
    const CivilTime utc = CivilTime::fromWallSeconds(CivilTime::floorDivide(date.toMSecsSinceEpoch(), 1000));
    if (utc.year < 1 || utc.year > 9999)
        return std::nullopt;
    char16_t text[19];
    const auto put = [&text](int position, qint64 value, int count) {
        for (int i = count - 1; i >= 0; --i, value /= 10)
            text[position + i] = char16_t(u'0' + value % 10);
    };
    put(0, utc.year, 4);
    text[4] = u'-';
    put(5, utc.month, 2);
    text[7] = u'-';
    put(8, utc.day, 2);
    text[10] = u' ';
    put(11, utc.hour, 2);
    text[13] = u':';
    put(14, utc.minute, 2);
    text[16] = u':';
    put(17, utc.second, 2);
    return QString(reinterpret_cast<const QChar*>(text), 19);
}

} // namespace

namespace NodeDate {

QString string(const QDateTime& date)
{
    if (const std::optional<QString> fast = commonEraString(date))
        return *fast;
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

std::optional<qint64> milliseconds(QByteArrayView utf8)
{
    const std::optional<Moment> moment = momentOf(utf8);
    if (!moment)
        return std::nullopt;
    constexpr qint64 julianDayOf1970 = 2440588;
    constexpr qint64 millisecondsPerDay = 86400000;
    return (moment->day.toJulianDay() - julianDayOf1970) * millisecondsPerDay + moment->time.msecsSinceStartOfDay();
}

} // namespace NodeDate
