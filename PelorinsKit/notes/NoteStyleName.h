#pragma once

#include <QString>
#include <optional>

// The named line styles of notes, stored by raw value under the "NOTESTYLENAME" attribute.
enum class NoteStyleName { title, header, body };

// Exact, case-sensitive match of a raw value; any other text names no style.
std::optional<NoteStyleName> noteStyleNameFromRawValue(const QString& rawValue);
QString rawValue(NoteStyleName name);
