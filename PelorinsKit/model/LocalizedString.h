#pragma once

#include <QString>

// The interface text for `key` in the user's language, from the program's "Localizable" table of
// translations; the key itself when it has no translation.
QString local(const QString& key);
