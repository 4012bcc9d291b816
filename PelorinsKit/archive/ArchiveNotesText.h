#pragma once

#include "PelorinsKit/notes/RichTextCodec.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <optional>
#include <unordered_map>

// Notes in their dictionary form as JSON text, made straight from their stored encoding: the
// same bytes QJsonDocument writes for the dictionary of the decoded notes, without building the
// fonts, colours and paragraph styles of every run. Each distinct stored attribute set is decoded
// once for the life of the instance, which a whole archive shares. An instance belongs to one
// thread.
class ArchiveNotesText
{
public:
    // Nothing when the stored notes are unreadable, with the reason decoding them would give.
    // The picture folders the runs name are added to `pictureFolders`, in text order.
    std::optional<QByteArray> dictionaryText(const QByteArray& stored, QString* reason, QStringList* pictureFolders);

private:
    // A stored attribute set decoded, and its attributes that travel as JSON text on both sides of
    // "range", which sorts among them.
    struct Set
    {
        bool isCbor = false;
        std::optional<QVariantMap> attributes;
        QByteArray beforeRange;
        QByteArray afterRange;
        QString pictureFolder;
    };
    const Set& set(QByteArrayView stored);

    // Sets are found by their stored bytes, without building them.
    struct BytesHash
    {
        using is_transparent = void;
        size_t operator()(QByteArrayView bytes) const { return qHash(bytes); }
    };
    struct BytesEqual
    {
        using is_transparent = void;
        bool operator()(QByteArrayView a, QByteArrayView b) const { return a == b; }
    };
    RichTextCodec::StoredReader m_reader;
    // Node-based, so the sets a note's runs point at stay put while later sets are added.
    std::unordered_map<QByteArray, Set, BytesHash, BytesEqual> m_sets;
    QByteArray m_text;
};
