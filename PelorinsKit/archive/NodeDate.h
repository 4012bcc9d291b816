#pragma once

#include <QByteArrayView>
#include <QDateTime>
#include <QString>
#include <optional>

// The date form of the JSON node format: "yyyy-MM-dd HH:mm:ss" in UTC, whole seconds, always in
// the Gregorian calendar with ASCII digits, whatever the user's locale or time zone.
namespace NodeDate {

// Fractions of a second are dropped, not rounded.
QString string(const QDateTime& date);
// A UTC instant, or nothing when the text is not exactly of the date form or names no valid
// moment (a 13th month, a 25th hour, 30 February).
std::optional<QDateTime> date(const QString& text);
// The same from UTF-8 text.
std::optional<QDateTime> date(QByteArrayView utf8);
// The same moment in milliseconds since 1970 (UTC), made without a QDateTime.
std::optional<qint64> milliseconds(QByteArrayView utf8);

} // namespace NodeDate
