#pragma once

#include <QString>

// The translation context of the program's interface texts.
inline constexpr char localTextContext[] = "Localizable";

// The interface text for `key` in the user's language, from the application's translators; the
// key itself when none has a text for it.
QString local(const QString& key);
