#pragma once

#include "PelorinsKit/notes/AttributedString.h"

#include <QByteArray>
#include <QVariantMap>
#include <optional>

// The stored form of rich text: a versioned CBOR document holding, compressed, the text, its
// distinct attribute sets and its runs. Fonts, colours, paragraph styles, attachments and link
// dictionaries (with their URLs, dates, colours and bookmark bytes) keep their types through a
// round trip.
//
// Reading never trusts the bytes: anything that is not a well-formed document of a known
// version reads as absent notes, with a console line saying why.
class RichTextCodec
{
public:
    static constexpr int currentVersion = 1;

    // Attributes whose values have no stored form are left out, each with a console line.
    static QByteArray encode(const AttributedString& text);
    static std::optional<AttributedString> decode(const QByteArray& data);

    // The contents of a link card's attachment: its link dictionary. A dictionary holding a value
    // without a stored form gives empty contents. Unreadable contents give no dictionary and no
    // console line; the caller decides what that means.
    static QByteArray encodeDictionary(const QVariantMap& dictionary);
    static std::optional<QVariantMap> decodeDictionary(const QByteArray& data);
};
