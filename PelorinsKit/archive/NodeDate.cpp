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

qint64 floorDivision(qint64 number, qint64 divisor)
{
    return number / divisor - (number % divisor < 0 ? 1 : 0);
}

// The date form of a valid date in the years 1 to 9999, from its instant alone: formatting
// through QDate, QTime and asprintf costs more than everything else an export writes of a card.
std::optional<QString> commonEraString(const QDateTime& date)
{
    if (!date.isValid())
        return std::nullopt;
    const qint64 seconds = floorDivision(date.toMSecsSinceEpoch(), 1000);
    const qint64 days = floorDivision(seconds, 86400);
    const int secondOfDay = int(seconds - days * 86400);
    // Days since 1970-01-01 to a Gregorian year, month and day (H. Hinnant's civil_from_days).
    const qint64 shifted = days + 719468;
    const qint64 era = floorDivision(shifted, 146097);
    const qint64 dayOfEra = shifted - era * 146097;
    const qint64 yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const qint64 dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const qint64 monthIndex = (5 * dayOfYear + 2) / 153;
    const int day = int(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    const int month = int(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    const qint64 year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    if (year < 1 || year > 9999)
        return std::nullopt;
    char16_t text[19];
    const auto put = [&text](int position, qint64 value, int count) {
        for (int i = count - 1; i >= 0; --i, value /= 10)
            text[position + i] = char16_t(u'0' + value % 10);
    };
    put(0, year, 4);
    text[4] = u'-';
    put(5, month, 2);
    text[7] = u'-';
    put(8, day, 2);
    text[10] = u' ';
    put(11, secondOfDay / 3600, 2);
    text[13] = u':';
    put(14, secondOfDay / 60 % 60, 2);
    text[16] = u':';
    put(17, secondOfDay % 60, 2);
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
