#include "PelorinsKit/model/NoteAttachments.h"

#include "PelorinsKit/notes/AttributeKey.h"
#include "PelorinsKit/model/PictureFolders.h"
#include "PelorinsKit/notes/RichTextCodec.h"
#include "Platform/core/ConsoleLog.h"

#include <QDebug>
#include <QFile>

namespace {

QString describe(const QVariantMap& dictionary)
{
    QString text;
    QDebug(&text).noquote().nospace() << dictionary;
    return text;
}

// The ranges of the runs carrying `key`, in text order.
QList<TextRange> rangesCarrying(const AttributedString& text, const QString& key)
{
    QList<TextRange> ranges;
    text.enumerateAttribute(key, TextRange {0, text.length()}, [&ranges](const QVariant& value, TextRange range) {
        if (value.isValid())
            ranges.append(range);
    });
    return ranges;
}

// Calls `replace` for each attachment character of the ranges, from the end of the text back.
// A run may hold several attachment characters (equal neighbours merge), and each stands for an
// attachment of its own; replacing one character by one keeps every other position valid.
template <typename Replace>
void eachAttachmentCharacterFromTheEnd(const AttributedString& text, const QList<TextRange>& ranges, Replace replace)
{
    for (qsizetype r = ranges.size() - 1; r >= 0; --r)
        for (int position = ranges.at(r).end() - 1; position >= ranges.at(r).location; --position)
            if (text.string().at(position) == AttributedString::attachmentCharacter)
                replace(position);
}

std::optional<QByteArray> readPicture(const QVariantMap& attributes)
{
    const QVariant folder = attributes.value(AttributeKey::fileFolderUUID);
    const QVariant filename = attributes.value(AttributeKey::filename);
    if (folder.typeId() != QMetaType::QString || filename.typeId() != QMetaType::QString)
        return std::nullopt;
    const std::optional<QString> base = PictureFolders::attachmentPicturesFolderURL();
    if (!base)
        return std::nullopt;
    const std::optional<QString> path = PictureFolders::pictureFilePath(*base, folder.toString(), filename.toString());
    if (!path)
        return std::nullopt;
    QFile file(*path);
    if (!file.open(QIODevice::ReadOnly)) {
        ConsoleLog::write(QStringLiteral("Could not attach the image attachment"));
        return std::nullopt;
    }
    return file.readAll();
}

} // namespace

AttributedString stripImageAttachments(const AttributedString& from)
{
    AttributedString copy = from;
    QList<TextRange> linkRuns;
    from.enumerateAttribute(
        AttributeKey::attachment, TextRange {0, from.length()}, [&](const QVariant& value, TextRange range) {
            if (value.typeId() != qMetaTypeId<TextAttachment>())
                return;
            if (value.value<TextAttachment>().fileType == AttributeKey::link)
                linkRuns.append(range);
            else
                copy.removeAttribute(AttributeKey::attachment, range);
        });
    for (const TextRange& range : std::as_const(linkRuns)) {
        const TextAttachment attachment
            = from.attribute(AttributeKey::attachment, range.location).value<TextAttachment>();
        const std::optional<QVariantMap> dictionary = RichTextCodec::decodeDictionary(attachment.contents);
        if (!dictionary)
            continue;
        ConsoleLog::write(QStringLiteral("dictionary for stripped attachment is ") + describe(*dictionary));
        copy.addAttribute(AttributeKey::attachmentLinkData, *dictionary, range);
        copy.removeAttribute(AttributeKey::attachment, range);
    }
    return copy;
}

void restoreImageAttachments(AttributedString& in)
{
    // Link cards come back with their link dictionary and nothing else.
    const QList<TextRange> linkRanges = rangesCarrying(in, AttributeKey::attachmentLinkData);
    eachAttachmentCharacterFromTheEnd(in, linkRanges, [&in](int position) {
        const QVariant value = in.attribute(AttributeKey::attachmentLinkData, position);
        if (value.typeId() != QMetaType::QVariantMap)
            return;
        const TextAttachment attachment {
            AttributeKey::link, RichTextCodec::encodeDictionary(value.toMap()), std::nullopt};
        AttributedString card = AttributedString::withAttachment(attachment);
        card.addAttribute(AttributeKey::attachmentLinkData, value, TextRange {0, 1});
        in.replaceCharacters(TextRange {position, 1}, card);
    });

    // Pictures keep every attribute of their character.
    const QList<TextRange> pictureRanges = rangesCarrying(in, AttributeKey::fileFolderUUID);
    eachAttachmentCharacterFromTheEnd(in, pictureRanges, [&in](int position) {
        QVariantMap attributes = in.attributes(position);
        const std::optional<QByteArray> contents = readPicture(attributes);
        if (!contents)
            return;
        TextAttachment attachment;
        attachment.fileWrapper
            = TextAttachment::FileWrapper {attributes.value(AttributeKey::filename).toString(), *contents};
        attributes.insert(AttributeKey::attachment, QVariant::fromValue(attachment));
        in.replaceCharacters(
            TextRange {position, 1}, AttributedString(QString(AttributedString::attachmentCharacter), attributes));
    });
}
