#pragma once

#include "PelorinsKit/notes/AttributedString.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QVariant>
#include <QVariantMap>

// The dictionary form of notes that travels in the JSON node format and on the notes editor's
// pasteboard: {"string": text, "runs": [{"range": {"location", "length"}, note attributes...}]}.
// It keeps what carries meaning (style name, checklist state, strike-through, picture and link
// references) and drops what is visual; JSONReader::attributedStringFrom reads it back. The keys
// and the conversion of values to JSON live here only, so that writer and reader cannot drift.
namespace AttributedStringDictionary {

inline const QString stringKey = QStringLiteral("string");
inline const QString runsKey = QStringLiteral("runs");
inline const QString rangeKey = QStringLiteral("range");
inline const QString locationKey = QStringLiteral("location");
inline const QString lengthKey = QStringLiteral("length");

// Lists and dictionaries nested deeper than this are written empty: link dictionaries are
// shallow, and a value without end must not exhaust the stack.
constexpr int maximumNestingDepth = 8;

// The attributes of one run that travel, without its "range".
QJsonObject runAttributes(const QVariantMap& attributes);

// One run per attribute run of the text, in text order; an empty text gives "runs": [].
QJsonObject dictionaryRepresentation(const AttributedString& text);

// True for an object that has both "string" and "runs", whatever their values: the reader takes
// such an object for notes.
bool isNotesDictionary(const QJsonValue& value);

// A value as JSON: dates in the node date form, URLs as their text (none when empty), colours as
// "#RRGGBBAA", bytes as Base64, notes in their dictionary form, numbers, Booleans, texts, and
// lists and dictionaries of these. Undefined for a value that has no such form; list elements and
// dictionary entries without one are left out.
QJsonValue jsonValue(const QVariant& value);

// A link card's dictionary made JSON-safe by jsonValue: "URL" as its text, dates, colours and a
// file link's "secureScopeBookmark" bytes in their text forms.
QJsonObject jsonLinkDictionary(const QVariantMap& linkData);
// The reverse: "URL" becomes a URL when it parses, "secureScopeBookmark" bytes, and the
// "startDate", "endDate" and "color" of "calendarData" a date and a colour when they have those
// forms; everything else stays as written.
QVariantMap linkDictionaryFromJson(const QJsonObject& json);

} // namespace AttributedStringDictionary
