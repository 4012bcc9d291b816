#include "PelorinsKit/archive/ArchiveNotesText.h"

#include "PelorinsKit/archive/AttributedStringDictionary.h"
#include "PelorinsKit/archive/JSONTextWriter.h"
#include "PelorinsKit/notes/AttributeKey.h"
#include "PelorinsKit/notes/RichTextCodec.h"

#include <QCborStreamReader>
#include <QCborValue>
#include <QJsonDocument>
#include <QJsonObject>

using AttributedStringDictionary::rangeKey;

namespace {

// The members of a JSON object's text, without its braces.
QByteArray membersText(const QJsonObject& object)
{
    const QByteArray text = QJsonDocument(object).toJson(QJsonDocument::Compact);
    return text.mid(1, text.size() - 2);
}

} // namespace

const ArchiveNotesText::Set& ArchiveNotesText::set(QByteArrayView stored)
{
    auto found = m_sets.find(stored);
    if (found != m_sets.end())
        return found->second;
    Set set;
    QCborStreamReader reader(stored.data(), stored.size());
    const QCborValue value = QCborValue::fromCbor(reader);
    set.isCbor = reader.lastError() == QCborError::NoError && reader.currentOffset() == stored.size();
    if (set.isCbor)
        set.attributes = RichTextCodec::decodeAttributeSet(value);
    if (set.attributes) {
        QJsonObject before;
        QJsonObject after;
        const QJsonObject run = AttributedStringDictionary::runAttributes(*set.attributes);
        for (auto it = run.constBegin(); it != run.constEnd(); ++it)
            (it.key() < rangeKey ? before : after).insert(it.key(), it.value());
        set.beforeRange = membersText(before);
        set.afterRange = membersText(after);
        set.pictureFolder = run.value(AttributeKey::fileFolderUUID).toString();
    }
    return m_sets.emplace(stored.toByteArray(), std::move(set)).first->second;
}

std::optional<QByteArray> ArchiveNotesText::dictionaryText(
    const QByteArray& stored, QString* reason, QStringList* pictureFolders)
{
    const RichTextCodec::StoredReader::Parts* notes = m_reader.read(stored, reason);
    if (!notes)
        return std::nullopt;
    QList<const Set*> sets;
    sets.reserve(notes->attributeSets.size());
    for (QByteArrayView storedSet : notes->attributeSets) {
        const Set& decoded = set(storedSet);
        if (!decoded.isCbor) {
            // Bytes the reader passed over that are no CBOR: the document is unreadable, as
            // readStored() says.
            if (!RichTextCodec::readStored(stored, reason))
                return std::nullopt;
        }
        if (!decoded.attributes) {
            *reason = QStringLiteral("unreadable attribute value");
            return std::nullopt;
        }
        sets.append(&decoded);
    }

    // Written in a buffer kept from note to note, then copied at its size: growing a fresh array
    // for every note cost more than the copy.
    QByteArray& text = m_text;
    text.resize(0);
    text.append("{\"runs\":[");
    qsizetype location = 0;
    for (qsizetype i = 0; i < notes->runs.size();) {
        // Neighbours with equal attributes are one run once decoded.
        const Set* runSet = sets.at(notes->runs.at(i).set);
        qsizetype length = 0;
        do {
            length += notes->runs.at(i).length;
            ++i;
        } while (i < notes->runs.size()
            && (sets.at(notes->runs.at(i).set) == runSet
                || *sets.at(notes->runs.at(i).set)->attributes == *runSet->attributes));
        if (location > 0)
            text.append(',');
        text.append('{');
        if (!runSet->beforeRange.isEmpty())
            text.append(runSet->beforeRange).append(',');
        text.append("\"range\":{\"length\":")
            .append(QByteArray::number(length))
            .append(",\"location\":")
            .append(QByteArray::number(location))
            .append('}');
        if (!runSet->afterRange.isEmpty())
            text.append(',').append(runSet->afterRange);
        text.append('}');
        location += length;
        if (!runSet->pictureFolder.isEmpty())
            pictureFolders->append(runSet->pictureFolder);
    }
    text.append("],\"string\":");
    JSONTextWriter::appendEscaped(text, notes->text);
    text.append('}');
    return QByteArray(text.constData(), text.size());
}
