#pragma once

#include "PelorinsKit/notes/AttributedString.h"

#include <QJsonObject>
#include <QVariantMap>

// The dictionary form of notes that travels in the JSON node format and on the notes editor's
// pasteboard: {"string": text, "runs": [{"range": {"location", "length"}, note attributes...}]}.
// It keeps what carries meaning (style name, checklist state, strike-through, picture and link
// references) and drops what is visual; JSONReader::attributedStringFrom reads it back.

// One run per attribute run of the text, in text order; an empty text gives "runs": [].
QJsonObject dictionaryRepresentation(const AttributedString& text);

// A link card's dictionary made JSON-safe: "URL" as its text, dates in the node date form,
// colours as "#RRGGBBAA", bytes (a file link's "secureScopeBookmark") as Base64. Values that have
// no such form are left out.
QJsonObject jsonLinkDictionary(const QVariantMap& linkData);
// The reverse: "URL" becomes a URL when it parses, "secureScopeBookmark" bytes, and the
// "startDate", "endDate" and "color" of "calendarData" a date and a colour when they have those
// forms; everything else stays as written.
QVariantMap linkDictionaryFromJson(const QJsonObject& json);
