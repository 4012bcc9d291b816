#include "Platform/core/CivilTime.h"

// Day counting after Howard Hinnant's "chrono-compatible low-level date algorithms".

qint64 CivilTime::floorDivide(qint64 value, qint64 divisor)
{
    const qint64 quotient = value / divisor;
    return (value % divisor != 0 && (value < 0) != (divisor < 0)) ? quotient - 1 : quotient;
}

qint64 CivilTime::daysFromDate(int year, int month, int day)
{
    const qint64 y = qint64(year) - (month <= 2 ? 1 : 0);
    const qint64 era = floorDivide(y, 400);
    const qint64 yearOfEra = y - era * 400;
    const qint64 dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const qint64 dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

CivilTime CivilTime::fromDays(qint64 days)
{
    const qint64 z = days + 719468;
    const qint64 era = floorDivide(z, 146097);
    const qint64 dayOfEra = z - era * 146097;
    const qint64 yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const qint64 dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const qint64 shiftedMonth = (5 * dayOfYear + 2) / 153;
    CivilTime time;
    time.day = int(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
    time.month = int(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
    time.year = int(yearOfEra + era * 400 + (time.month <= 2 ? 1 : 0));
    return time;
}

CivilTime CivilTime::fromWallSeconds(qint64 wallSeconds)
{
    const qint64 days = floorDivide(wallSeconds, secondsPerDay);
    const qint64 secondOfDay = wallSeconds - days * secondsPerDay;
    CivilTime time = fromDays(days);
    time.hour = int(secondOfDay / 3600);
    time.minute = int(secondOfDay / 60 % 60);
    time.second = int(secondOfDay % 60);
    return time;
}

qint64 CivilTime::wallSeconds() const
{
    return daysFromDate(year, month, day) * secondsPerDay + hour * 3600 + minute * 60 + second;
}

int CivilTime::weekday(qint64 days)
{
    // 1970-01-01 was a Thursday.
    return int(days - floorDivide(days + 4, 7) * 7 + 4);
}

bool CivilTime::isLeapYear(int year)
{
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int CivilTime::daysInMonth(int year, int month)
{
    static constexpr int lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : lengths[month - 1];
}
