#pragma once

#include <QValidator>

// Accepts a whole number, with an optional sign and blanks around it, or nothing at all. Unlike
// QIntValidator it refuses a lone sign.
class OnlyIntegerNumberFormatter : public QValidator
{
    Q_OBJECT

public:
    using QValidator::QValidator;

    State validate(QString& input, int& position) const override;
};
