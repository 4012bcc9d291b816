#pragma once

#include <QJsonValue>
#include <cmath>
#include <limits>

// Numbers of the JSON node format as older writers wrote them: integers may come as true/false
// and Booleans as numbers, both being numbers to those writers.
namespace NodeNumbers {

inline bool isIntegral(const QJsonValue& value)
{
    if (value.isBool())
        return true;
    if (!value.isDouble())
        return false;
    const double number = value.toDouble();
    return std::isfinite(number) && std::trunc(number) == number;
}

// Saturates beyond the range of qint64.
inline qint64 integerOf(const QJsonValue& value)
{
    if (value.isBool())
        return value.toBool() ? 1 : 0;
    const double number = value.toDouble();
    if (number >= 9.2e18)
        return std::numeric_limits<qint64>::max();
    if (number <= -9.2e18)
        return std::numeric_limits<qint64>::min();
    return qint64(number);
}

inline bool booleanOf(const QJsonValue& value)
{
    return value.isBool() ? value.toBool() : value.toDouble() != 0;
}

} // namespace NodeNumbers
