#include "DateHelpers.h"

#include "DueSoonDefinition.h"

#include <QLocale>
#include <QRegularExpression>

namespace DateHelpers {

namespace {

// The instant of a wall-clock time on a local day. A time that a daylight-saving change skips
// lies that much later, as on a clock that was set forward.
QDateTime localDateTime(QDate day, QTime time)
{
    const QDateTime wallClock(day, time, Qt::LocalTime);
    if (wallClock.isValid())
        return wallClock.toUTC();
    const int offsetBeforeTheDay = day.startOfDay(Qt::LocalTime).addSecs(-1).offsetFromUtc();
    return QDateTime(day, time, Qt::OffsetFromUTC, offsetBeforeTheDay).toUTC();
}

QDate localDay(const QDateTime& date)
{
    return date.toLocalTime().date();
}

// Due-date labels are English whatever the user's locale; only the time beside a weekday follows
// the user's locale.
QLocale labelLocale()
{
    return QLocale(QLocale::English, QLocale::UnitedKingdom);
}

// The user's short time without seconds, which some locales show in their short format (the C
// locale of an environment without a locale among them).
QString shortTime(QTime time)
{
    static const QRegularExpression secondsField(QStringLiteral("\\W?(s{1,2}|z{1,3})"));
    const QLocale locale;
    return locale.toString(time, locale.timeFormat(QLocale::ShortFormat).remove(secondsField));
}

// Yesterday, today and tomorrow are named; other days show the medium-style date. The year is the
// calendar year, so late December never shows the following year.
QString relativeDay(QDate day, QDate today)
{
    switch (today.daysTo(day)) {
    case -1:
        return QStringLiteral("Yesterday");
    case 0:
        return QStringLiteral("Today");
    case 1:
        return QStringLiteral("Tomorrow");
    default:
        return labelLocale().toString(day, QStringLiteral("d MMM yyyy"));
    }
}

QString dueDateText(const QDateTime& date, const QDateTime& now)
{
    if (!date.isValid())
        return {};
    const int days = differenceInDaysWithDate(now, date);
    const bool later = now < date;
    const QDateTime local = date.toLocalTime();
    const QDate day = local.date();

    if (later && days >= 2 && days <= 6) {
        return labelLocale().toString(day, QStringLiteral("dddd")) + QStringLiteral(", ") + shortTime(local.time());
    }
    if (later && days >= 7)
        return labelLocale().toString(day, QStringLiteral("ddd")) + QLatin1Char(' ') + relativeDay(day, localDay(now));

    const QString dayText = relativeDay(day, localDay(now));
    if (later && days <= 1)
        return dayText + QStringLiteral(" at ") + labelLocale().toString(local.time(), QStringLiteral("HH:mm"));
    return dayText;
}

}

QDateTime beginningOfDate(const QDateTime& date)
{
    return localDay(date).startOfDay(Qt::LocalTime).toUTC();
}

QDateTime endOfDate(const QDateTime& date)
{
    return localDay(date).addDays(1).startOfDay(Qt::LocalTime).addSecs(-1).toUTC();
}

int differenceInDaysWithDate(const QDateTime& from, const QDateTime& date)
{
    return int(localDay(from).daysTo(localDay(date)));
}

QDateTime nearestDeadline(const QDateTime& now, const UserDefaults& defaults)
{
    const QDate today = localDay(now);
    const QTime dueTime(defaults.integerForKey(dueHourKey), defaults.integerForKey(dueMinuteKey));
    if (!dueTime.isValid())
        return now;

    const QDateTime candidate = localDateTime(today, dueTime);
    if (candidate > now)
        return candidate;
    // The same wall-clock time tomorrow: 23 or 25 hours away across a daylight-saving change.
    return localDateTime(today.addDays(1), dueTime);
}

bool dueSoon(const QDateTime& date, const QDateTime& now, const UserDefaults& defaults)
{
    if (!date.isValid())
        return false;
    const std::optional<DueSoonDefinition> definition
        = dueSoonDefinitionFromRawValue(defaults.integerForKey(dueSoonDefinitionKey));
    if (!definition)
        return false;

    const int days = differenceInDaysWithDate(now, date);
    switch (*definition) {
    case DueSoonDefinition::dueToday:
        return days == 0;
    case DueSoonDefinition::due24hours:
        // A window of 40 hours, not 24, as this setting has always meant.
        return now.msecsTo(date) < 144'000 * 1000LL;
    case DueSoonDefinition::due2days:
        return days < 3;
    case DueSoonDefinition::due3days:
        return days < 4;
    case DueSoonDefinition::due4days:
        return days < 5;
    case DueSoonDefinition::due5days:
        return days < 6;
    case DueSoonDefinition::due1week:
        return days < 8;
    }
    return false;
}

QString stringForDuedateCell(const QDateTime& date, const QDateTime& now)
{
    return dueDateText(date, now);
}

QString shortTimeString(const QDateTime& date)
{
    return shortTime(date.toLocalTime().time());
}

QString relativeDateString(const QDateTime& date, const QDateTime& now)
{
    return dueDateText(date, now);
}

}
