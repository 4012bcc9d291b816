#pragma once

#include "PelorinsKit/notes/AttributedString.h"

#include <QByteArray>
#include <QCborArray>
#include <QCborValue>
#include <QList>
#include <QVariantMap>
#include <memory>
#include <optional>
#include <span>

struct z_stream_s;

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

    // A run of stored notes: a length and an index into the notes' attribute sets.
    struct StoredRun
    {
        qsizetype length = 0;
        qsizetype set = 0;
    };

    // Attributes whose values have no stored form are left out, each with a console line.
    static QByteArray encode(const AttributedString& text);
    // One attribute set as encode() stores it; nothing when a value has no stored form.
    static std::optional<QByteArray> encodeAttributeSet(const QVariantMap& attributes);

    // Encodes many notes in a row, as encode() does, with one compressor kept for all of them:
    // setting one up and freeing it costs more than compressing a card's notes. One per thread.
    class Encoder
    {
    public:
        Encoder();
        ~Encoder();
        Encoder(const Encoder&) = delete;
        Encoder& operator=(const Encoder&) = delete;

        QByteArray encode(const AttributedString& text);
        // Notes given by the parts they are stored as (see readStored): the text, its distinct
        // attribute sets each as encodeAttributeSet gives it, and runs covering the text. The
        // same bytes as encode() of the notes they describe.
        QByteArray encode(
            const QString& text, std::span<const QByteArray* const> attributeSets, std::span<const StoredRun> runs);

    private:
        // What qCompress gives: the size, big-endian, then the zlib stream, in m_compressed.
        void compress(const QByteArray& data);

        // None when zlib could not set one up; qCompress then does the work.
        std::unique_ptr<z_stream_s> m_stream;
        // Kept from note to note, so that each note costs one new block: its stored bytes.
        QByteArray m_content;
        QByteArray m_compressed;
    };
    static std::optional<AttributedString> decode(const QByteArray& data);

    // Stored notes taken apart without building their attribute values, for a reader that needs
    // only some of them (the archive writer): the text, the distinct attribute sets as stored and
    // the runs, each a length and an index into the sets, checked to cover the text exactly.
    // Decoding every set with decodeAttributeSet and joining equal neighbours gives what decode()
    // gives. Nothing, with the reason, when the bytes are no readable document; no console line.
    struct StoredNotes
    {
        QString text;
        QCborArray attributeSets;
        QList<StoredRun> runs;
    };
    static std::optional<StoredNotes> readStored(const QByteArray& data, QString* reason);
    static std::optional<QVariantMap> decodeAttributeSet(const QCborValue& set);

    // Takes many stored notes apart in a row on one thread, as readStored() does, keeping its
    // decompressor and buffers and giving each attribute set as its CBOR bytes (equal sets are
    // then found by their bytes, without building them). Documents of an unusual shape are left
    // to readStored(), so that it accepts and refuses exactly what readStored() does, with the
    // same reasons. A set's bytes are not checked here: decoding them is the caller's first use.
    class StoredReader
    {
    public:
        StoredReader();
        ~StoredReader();
        StoredReader(const StoredReader&) = delete;
        StoredReader& operator=(const StoredReader&) = delete;

        struct Parts
        {
            QString text;
            QList<QByteArrayView> attributeSets;
            QList<StoredRun> runs;
        };
        // Valid until the next call; nothing, with the reason, as readStored() would say.
        const Parts* read(const QByteArray& data, QString* reason);

    private:
        bool readUsual(const QByteArray& data);
        bool inflateContent(QByteArrayView compressed);

        std::unique_ptr<z_stream_s> m_stream;
        QByteArray m_content;
        QByteArray m_unusualSets;
        Parts m_parts;
    };

    // The contents of a link card's attachment: its link dictionary. A dictionary holding a value
    // without a stored form gives empty contents. Unreadable contents give no dictionary and no
    // console line; the caller decides what that means.
    static QByteArray encodeDictionary(const QVariantMap& dictionary);
    static std::optional<QVariantMap> decodeDictionary(const QByteArray& data);
};
