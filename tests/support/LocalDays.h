#pragma once

#include "PelorinsKit/model/DateHelpers.h"

#include <QDateTime>

// Days counted on the local calendar, as boards count them. Across a change to or from summer
// time a day has 23 or 25 hours, so a day before is not 24 hours before.
namespace LocalDays {

// Noon of the local day `offset` days after the day of `from` (before it when negative): a time
// every day has once, whatever its length.
inline QDateTime noon(int offset, const QDateTime& from = QDateTime::currentDateTimeUtc())
{
    return QDateTime(from.toLocalTime().date().addDays(offset), QTime(12, 0)).toUTC();
}

// The start of that day.
inline QDateTime start(int offset, const QDateTime& from = QDateTime::currentDateTimeUtc())
{
    return DateHelpers::beginningOfDate(noon(offset, from));
}

} // namespace LocalDays
