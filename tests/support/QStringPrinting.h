#pragma once

#include <QString>
#include <ostream>

// Shows texts in test failures as quoted text rather than as bytes, also inside lists.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE
