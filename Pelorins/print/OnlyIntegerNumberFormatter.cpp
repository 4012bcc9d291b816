#include "Pelorins/print/OnlyIntegerNumberFormatter.h"

#include <QRegularExpression>

QValidator::State OnlyIntegerNumberFormatter::validate(QString& input, int&) const
{
    static const QRegularExpression integer(QStringLiteral("^\\s*[+-]?\\d+\\s*$"));
    return input.isEmpty() || integer.match(input).hasMatch() ? Acceptable : Invalid;
}
