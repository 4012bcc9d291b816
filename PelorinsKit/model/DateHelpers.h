#pragma once

#include "Platform/core/UserDefaults.h"

#include <QDateTime>
#include <QLatin1String>
#include <QString>

// Day arithmetic and the wording of due dates. Days are those of the user's local time zone;
// results are UTC instants. Each function takes the current instant and the preferences it reads,
// defaulting to the clock and the standard defaults, and reads them afresh on every call.
namespace DateHelpers {

// Hour and minute of the default deadline of a new due date.
inline constexpr QLatin1String dueHourKey("dueHour");
inline constexpr QLatin1String dueMinuteKey("dueMinute");

// The first moment of the date's day.
QDateTime beginningOfDate(const QDateTime& date);
// The last whole second of the date's day.
QDateTime endOfDate(const QDateTime& date);
// Whole calendar days from `from`'s day to `date`'s day: positive when `date` is on a later day.
int differenceInDaysWithDate(const QDateTime& from, const QDateTime& date);

// The next moment, after `now`, at the default due time ("dueHour":"dueMinute"); `now` itself
// when the stored hour or minute is out of range.
QDateTime nearestDeadline(
    const QDateTime& now = QDateTime::currentDateTimeUtc(), const UserDefaults& defaults = UserDefaults::standard());

// Whether `date` falls within the window chosen under "dueSoonDefinition". The window has no lower
// bound: a past date counts as due soon (under "due today", only one earlier the same day).
bool dueSoon(const QDateTime& date, const QDateTime& now = QDateTime::currentDateTimeUtc(),
    const UserDefaults& defaults = UserDefaults::standard());

// The due-date text of a card's badge: "Today at 14:30", "Friday, 14:30", "Wed 16 Dec 2026",
// "Yesterday". Empty for an invalid date.
QString stringForDuedateCell(const QDateTime& date, const QDateTime& now = QDateTime::currentDateTimeUtc());
// The time of day of `date` in the user's short format, without seconds whatever the locale.
QString shortTimeString(const QDateTime& date);
// The same text as stringForDuedateCell, for calendar-event links and column texts.
QString relativeDateString(const QDateTime& date, const QDateTime& now = QDateTime::currentDateTimeUtc());

}
