#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// The plan keeps its texts as UTF-8, with a lone surrogate of a QString in the generalised form.
namespace NodePlanUtf8 {

// Whether UTF-8 text holds a surrogate in the generalised form (0xED 0xA0..0xBF), which only a
// lone surrogate of a QString gives.
const char* surrogateIn(QByteArrayView utf8);
// Whether text is well-formed UTF-8 (no surrogates, no overlong forms, nothing past U+10FFFF).
bool isWellFormedUtf8(QByteArrayView text);
// UTF-8 of a QString; a lone surrogate, which UTF-8 cannot hold, is written in the generalised
// form (as if it were a code point of its own), so that it comes back as it was.
QByteArray generalisedUtf8(QStringView text);
// The QString of generalisedUtf8's text.
QString fromGeneralisedUtf8(QByteArrayView utf8);

} // namespace NodePlanUtf8
