#pragma once

#include <QtGlobal>

// A date and time of day on some wall clock, without a zone. Also counted as seconds since
// 1970-01-01 00:00 of that same clock ("wall seconds"), so that repeating events can be stepped
// through with integer arithmetic: every day has 86,400 wall seconds, whatever the zone does.
struct CivilTime
{
    static constexpr qint64 secondsPerDay = 86400;

    int year = 1970;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;

    static CivilTime fromWallSeconds(qint64 wallSeconds);
    qint64 wallSeconds() const;

    // Days since 1970-01-01 of a date of the proleptic Gregorian calendar.
    static qint64 daysFromDate(int year, int month, int day);
    static CivilTime fromDays(qint64 days);
    // 0 is Sunday.
    static int weekday(qint64 days);
    static bool isLeapYear(int year);
    static int daysInMonth(int year, int month);
    static int daysInYear(int year) { return isLeapYear(year) ? 366 : 365; }
    // Division that rounds towards minus infinity, for days and periods before 1970.
    static qint64 floorDivide(qint64 value, qint64 divisor);
};
