#include "PelorinsKit/store/StripAttachmentCellMigrationPolicyV32toV33.h"

#include "PelorinsKit/notes/AttributeKey.h"
#include "PelorinsKit/model/NoteAttachments.h"
#include "PelorinsKit/model/PictureFolders.h"
#include "PelorinsKit/notes/RichTextCodec.h"
#include "Platform/core/ConsoleLog.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QUuid>

namespace {

const QString notesKey = QStringLiteral("attributedNotes");

bool isAttachment(const QVariant& value)
{
    return value.typeId() == qMetaTypeId<TextAttachment>();
}

void copyPictureOut(AttributedString& copy, const TextAttachment& attachment, TextRange range)
{
    if (!attachment.fileWrapper || attachment.fileWrapper->filename.isEmpty())
        return;
    const QString& filename = attachment.fileWrapper->filename;
    const QString folderName = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    const std::optional<QString> base = PictureFolders::attachmentPicturesFolderURL();
    if (!base)
        return;
    // The name comes from the old notes: it must name a file inside its new folder.
    const std::optional<QString> path = PictureFolders::pictureFilePath(*base, folderName, filename);
    if (!path)
        return;

    copy.addAttributes(
        QVariantMap {{AttributeKey::filename, filename}, {AttributeKey::fileFolderUUID, folderName}}, range);
    if (!QDir().mkpath(QFileInfo(*path).absolutePath()))
        ConsoleLog::write(QStringLiteral("error creating image folder"));
    QSaveFile file(*path);
    const QByteArray& contents = attachment.fileWrapper->contents;
    if (!file.open(QIODevice::WriteOnly) || file.write(contents) != contents.size() || !file.commit())
        ConsoleLog::write(QStringLiteral("Error writing to file"));
}

} // namespace

const QString StripAttachmentCellMigrationPolicyV32toV33::registeredName
    = QStringLiteral("PelorinsKit.StripAttachmentCellMigrationPolicyV32toV33");

bool StripAttachmentCellMigrationPolicyV32toV33::createDestinationInstances(
    const MigrationRecord&, MigrationRecord& destination, QString*)
{
    const QVariant stored = destination.values.value(notesKey);
    if (stored.typeId() != QMetaType::QByteArray || stored.toByteArray().isEmpty())
        return true;
    const std::optional<AttributedString> notes = RichTextCodec::decode(stored.toByteArray());
    if (!notes)
        return true;

    const AttributedString copy = copyImageAttachmentsToApplicationsFolder(*notes);
    // The attachments left are pictures, kept with their bytes until the card store strips them,
    // and link cards whose contents could not be read.
    copy.enumerateAttribute(
        AttributeKey::attachment, TextRange {0, notes->length()}, [](const QVariant& value, TextRange range) {
            if (isAttachment(value))
                ConsoleLog::write(QStringLiteral("Remove: Found attachment at {%1, %2} during migration")
                                      .arg(range.location)
                                      .arg(range.length));
        });
    if (!(copy == *notes))
        destination.values.insert(notesKey, RichTextCodec::encode(copy));
    return true;
}

AttributedString StripAttachmentCellMigrationPolicyV32toV33::copyImageAttachmentsToApplicationsFolder(
    const AttributedString& attributedString)
{
    AttributedString copy = attributedString;
    QList<TextRange> pictures;
    QList<TextRange> links;
    attributedString.enumerateAttribute(AttributeKey::attachment, TextRange {0, attributedString.length()},
        [&](const QVariant& value, TextRange range) {
            if (isAttachment(value))
                (value.value<TextAttachment>().fileType == AttributeKey::link ? links : pictures).append(range);
        });

    for (const TextRange& range : std::as_const(pictures)) {
        if (attributedString.attribute(AttributeKey::fileFolderUUID, range.location).isValid())
            continue;
        copyPictureOut(
            copy, attributedString.attribute(AttributeKey::attachment, range.location).value<TextAttachment>(), range);
    }
    // Link cards take the stored form the card store gives them.
    for (const TextRange& range : std::as_const(links))
        copy.replaceCharacters(range, stripImageAttachments(copy.attributedSubstring(range)));
    return copy;
}
