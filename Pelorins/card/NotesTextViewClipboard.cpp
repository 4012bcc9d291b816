// What the notes editor copies and takes in from the clipboard and from drops.

#include "Pelorins/card/NotesTextView.h"

#include "Pelorins/card/ListItemCellView.h"
#include "PelorinsKit/archive/AttributedStringDictionary.h"
#include "PelorinsKit/archive/JSONReader.h"
#include "PelorinsKit/model/NoteAttachments.h"
#include "Platform/core/ConsoleLog.h"
#include "Platform/services/MailMessageHeaders.h"

#include <QImage>
#include <QJsonDocument>
#include <QMimeData>
#include <QMimeDatabase>
#include <QTemporaryDir>

namespace {

// Our own rich text on the pasteboard is read only up to this size.
constexpr qsizetype maximumPastedBytes = 16 * 1024 * 1024;
const QString mailMessageType = QStringLiteral("message/rfc822");

bool isMailFile(const QString& path)
{
    return path.endsWith(QStringLiteral(".eml"), Qt::CaseInsensitive)
        || QMimeDatabase().mimeTypeForFile(path).inherits(mailMessageType);
}

} // namespace

QMimeData* NotesTextView::createMimeDataFromSelection() const
{
    // Qt's own data lists its text types only: they are copied into plain data that takes ours.
    const std::unique_ptr<QMimeData> text(QTextEdit::createMimeDataFromSelection());
    auto* data = new QMimeData;
    for (const QString& format : text->formats())
        data->setData(format, text->data(format));
    const TextRange selection = selectedRanges().first();
    if (selection.length > 0) {
        const AttributedString selected = stripImageAttachments(m_storage.attributedSubstring(selection));
        data->setData(attributedStringType,
            QJsonDocument(AttributedStringDictionary::dictionaryRepresentation(selected))
                .toJson(QJsonDocument::Compact));
    }
    return data;
}

bool NotesTextView::canInsertFromMimeData(const QMimeData* source) const
{
    return source->hasImage() || source->hasFormat(mailMessageType) || source->hasUrls()
        || source->hasFormat(attributedStringType) || QTextEdit::canInsertFromMimeData(source);
}

void NotesTextView::insertFromMimeData(const QMimeData* source)
{
    if (source->hasImage()) {
        // A picture without a file: it is attached as a file of its own.
        const QImage image = qvariant_cast<QImage>(source->imageData());
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("Pasted Image.png"));
        if (!image.isNull() && folder.isValid() && image.save(path))
            insertImageAttachment(path);
        else
            ConsoleLog::write(QStringLiteral("Could not attach the image attachment"));
        return;
    }
    QList<std::pair<QString, QByteArray>> messages;
    if (source->hasFormat(mailMessageType))
        messages.append({QStringLiteral("message"),
            source->data(mailMessageType).left(MailMessageHeaders::maximumHeaderBytes + 4)});
    const QList<QUrl> urls = source->hasUrls() ? source->urls() : QList<QUrl>();
    for (const QUrl& url : urls)
        if (url.isLocalFile() && isMailFile(url.toLocalFile()))
            messages.append({url.toLocalFile(), QByteArray()});
    if (!messages.isEmpty()) {
        insertMail(messages);
        return;
    }
    if (!urls.isEmpty()) {
        for (const QUrl& url : urls)
            insertFileOrLink(url);
        return;
    }
    if (source->hasFormat(attributedStringType)) {
        const QByteArray bytes = source->data(attributedStringType);
        std::optional<AttributedString> pasted;
        if (bytes.size() > maximumPastedBytes) {
            ConsoleLog::write(QStringLiteral("Pasted notes are larger than %1 bytes").arg(maximumPastedBytes));
        } else {
            const QJsonDocument document = QJsonDocument::fromJson(bytes);
            if (document.isObject())
                pasted = JSONReader::attributedStringFrom(document.object());
            if (!pasted)
                ConsoleLog::write(QStringLiteral("Pasted notes could not be read"));
        }
        if (pasted) {
            restoreImageAttachments(*pasted);
            pasteAttributedString(*pasted);
            return;
        }
    }
    typeWithTypingAttributes([&] { QTextEdit::insertFromMimeData(source); });
}

void NotesTextView::pasteAttributedString(const AttributedString& pasted)
{
    if (isReadOnly())
        return;
    const TextRange range = selectedRanges().first();
    const QString text = m_storage.string();
    AttributedString fitted = pasted;
    const qsizetype firstBreak = fitted.string().indexOf(QLatin1Char('\n'));
    const qsizetype lastBreak = fitted.string().lastIndexOf(QLatin1Char('\n'));
    // Pasted into a line: its first line goes on in the style before the paste, its last line in
    // the style after it.
    if (range.location > 0 && text.at(range.location - 1) != QLatin1Char('\n')) {
        const QVariantMap before = m_storage.attributedSubstring({range.location - 1, 1}).attributes(0);
        fitted.setAttributes(before, {0, firstBreak >= 0 ? int(firstBreak) + 1 : fitted.length()});
    }
    if (range.end() < text.size() && text.at(range.end()) != QLatin1Char('\n')) {
        const QVariantMap after = m_storage.attributedSubstring({range.end(), 1}).attributes(0);
        const int from = lastBreak >= 0 ? int(lastBreak) + 1 : 0;
        fitted.setAttributes(after, {from, fitted.length() - from});
    }
    runStep(pasteTextActionName, [&] {
        m_storage.replaceCharacters(range, fitted);
        setSelectedRanges({{range.location + fitted.length(), 0}});
    });
    layoutCheckButtons();
    updateCellHeight();
}
