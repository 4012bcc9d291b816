// The notes editor's attachments: pictures, files, links, calendar events and mail messages.

#include "Pelorins/card/NotesTextView.h"

#include "Pelorins/card/CalendarEventLink.h"
#include "Pelorins/card/ListItemCellView.h"
#include "PelorinsKit/model/DateHelpers.h"
#include "PelorinsKit/model/ImageAttachment.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/model/LocalizedString.h"
#include "PelorinsKit/model/PictureFolders.h"
#include "PelorinsKit/notes/AttributeKey.h"
#include "PelorinsKit/notes/NoteTextConventions.h"
#include "PelorinsKit/notes/NotesTextViewFormatHelper.h"
#include "PelorinsKit/notes/RichTextCodec.h"
#include "Platform/core/ConsoleLog.h"
#include "Platform/core/UserDefaults.h"
#include "Platform/services/CalendarEvent.h"
#include "Platform/services/FileBookmark.h"
#include "Platform/services/MailMessageHeaders.h"
#include "Platform/widgets/FileDialogPanelPresenter.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QJsonDocument>
#include <QMimeDatabase>
#include <QUuid>

namespace {

bool isPictureFile(const QString& path)
{
    return QMimeDatabase()
        .mimeTypeForFile(path, QMimeDatabase::MatchExtension)
        .name()
        .startsWith(QStringLiteral("image/"));
}

// Whether the bytes decode as a picture. They are decoded small: a JPEG reader then skips most
// of the work of the full size, which takes long for a photo and is never shown (the notes show
// the picture decoded at the size it is drawn).
bool decodesAsPicture(const QByteArray& bytes)
{
    constexpr int side = 64;
    QBuffer buffer;
    buffer.setData(bytes);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty())
        return false;
    if (size.width() > side || size.height() > side)
        reader.setScaledSize(size.scaled(side, side, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
    return !reader.read().isNull();
}

QString describe(const QVariant& value)
{
    return QString::fromUtf8(QJsonDocument::fromVariant(value).toJson(QJsonDocument::Compact));
}

} // namespace

QVariantMap NotesTextView::emptyCalendarData()
{
    return {{QString(), QString()}};
}

void NotesTextView::addAttachment()
{
    static FileDialogPanelPresenter desktopPanels(UserDefaults::standard());
    FilePanelPresenter& panels = m_filePanels ? *m_filePanels : desktopPanels;
    FilePanelPresenter::OpenPanel panel;
    panel.identifier = QStringLiteral("attachFile");
    panel.message = local(QStringLiteral("Choose files to attach."));
    const std::optional<QString> path = panels.runOpenPanel(panel, window());
    if (!path)
        return;
    insertFileOrLink(QUrl::fromLocalFile(*path));
}

void NotesTextView::insertFileOrLink(const QUrl& url)
{
    const QString name = QFileInfo(url.path()).fileName();
    if (name.isEmpty())
        return;
    if (!QFileInfo(name).suffix().isEmpty() && isPictureFile(name)) {
        if (url.isLocalFile())
            insertImageAttachment(url.toLocalFile());
        else
            ConsoleLog::write(QStringLiteral("Could not copy file to the destination url ") + url.toString()
                + QStringLiteral(" is not a local file"));
        return;
    }
    insertLinkAttachment(name, QStringLiteral("body"), url, emptyCalendarData());
}

bool NotesTextView::insertImageAttachment(const QString& path)
{
    const auto fail = [](const QString& line) {
        ConsoleLog::write(line);
        return false;
    };
    // Readable, and small enough to decode, before anything is made.
    QImageReader reader(path);
    const QSize size = reader.size();
    const qint64 bytes = qint64(size.width()) * size.height() * 4;
    if (!reader.canRead() || size.isEmpty() || bytes > qint64(QImageReader::allocationLimit()) * 1024 * 1024)
        return fail(QStringLiteral("Could not attach the image attachment"));
    const std::optional<QString> pictures = PictureFolders::attachmentPicturesFolderURL();
    if (!pictures)
        return fail(QStringLiteral("error creating image folder"));
    const QString folderName = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    const QString folder = QDir(*pictures).filePath(folderName);
    if (QFileInfo::exists(folder) || !QDir().mkpath(folder))
        return fail(QStringLiteral("error creating image folder"));
    const auto removeFolder = [&folder] { QDir(folder).removeRecursively(); };
    const QString filename = QFileInfo(path).fileName();
    const QString copy = QDir(folder).filePath(filename);
    QFile source(path);
    if (!source.copy(copy)) {
        removeFolder();
        return fail(QStringLiteral("Could not copy file to the destination url ") + source.errorString());
    }
    QFile copied(copy);
    const QByteArray contents = copied.open(QIODevice::ReadOnly) ? copied.readAll() : QByteArray();
    if (contents.isEmpty() || !decodesAsPicture(contents)) {
        removeFolder();
        return fail(QStringLiteral("Could not attach the image attachment"));
    }

    ListItem* card = m_parentCell ? m_parentCell->objectValue() : nullptr;
    if (card) {
        if (ImageAttachment* record = ImageAttachment::create(folderName, card->managedObjectContext())) {
            QList<ImageAttachment*> records = card->imageAttachments();
            records.append(record);
            card->setImageAttachments(records);
        }
    }
    TextAttachment attachment;
    attachment.fileWrapper = TextAttachment::FileWrapper {filename, contents};
    AttributedString picture = AttributedString::withAttachment(attachment);
    picture.addAttributes({{AttributeKey::filename, filename}, {AttributeKey::fileFolderUUID, folderName}}, {0, 1});
    insertAttachment(picture);
    if (m_parentCell)
        m_parentCell->saveNow();
    return true;
}

void NotesTextView::insertLinkAttachment(
    const QString& title, const QString& body, const QUrl& url, const QVariantMap& calendarData)
{
    QVariantMap link {{QStringLiteral("URL"), url}, {QStringLiteral("title"), title}, {QStringLiteral("body"), body},
        {QStringLiteral("calendarData"), calendarData}};
    QString error = QStringLiteral("the link is not a file");
    const std::optional<QByteArray> bookmark
        = url.isLocalFile() ? FileBookmark::make(url.toLocalFile(), &error) : std::nullopt;
    if (bookmark)
        link.insert(QStringLiteral("secureScopeBookmark"), *bookmark);
    else
        ConsoleLog::write(QStringLiteral("Could not bookmark data ") + error);
    AttributedString card = AttributedString::withAttachment(
        TextAttachment {AttributeKey::link, RichTextCodec::encodeDictionary(link), std::nullopt});
    card.addAttribute(AttributeKey::attachmentLinkData, link, {0, 1});
    ConsoleLog::write(QStringLiteral("Add attachment, length ") + QString::number(card.length()));
    QVariantMap shown = card.attributes(0);
    shown.remove(AttributeKey::attachment);
    ConsoleLog::write(QStringLiteral("Attachment attributes ") + describe(shown));
    insertAttachment(card);
}

void NotesTextView::insertCalendarEventLink(const CalendarEvent& event)
{
    const std::optional<QUrl> url = CalendarEventLink::url(event.calendarItemExternalIdentifier);
    if (!url)
        return;
    const QString title = event.title.isEmpty() ? local(QStringLiteral("Event")) : event.title;
    const QVariantMap calendarData {{QStringLiteral("calendarTitle"), event.calendar.title},
        {QStringLiteral("color"), event.calendar.color}, {QStringLiteral("startDate"), event.startDate},
        {QStringLiteral("endDate"), event.endDate}};
    insertLinkAttachment(title, DateHelpers::relativeDateString(event.startDate), *url, calendarData);
}

void NotesTextView::insertAttachment(const AttributedString& attachment)
{
    runStep(addAttachmentActionName, [&] {
        // At the selection's start: the selected text stays, after it.
        const int at = selectedRanges().first().location;
        m_storage.insert(attachment, std::clamp(at, 0, m_storage.length()));
        setSelectedRanges({{at + attachment.length(), 0}});
        if (m_formatHelper)
            m_formatHelper->ensureAttachmensOnItsOwnLine();
        removeStylesFromAttachmentLines();
    });
    layoutCheckButtons();
    updateCellHeight();
}

void NotesTextView::removeStylesFromAttachmentLines()
{
    if (!m_formatHelper)
        return;
    const QList<TextRange> attachments = m_storage.attachmentRanges();
    if (attachments.isEmpty())
        return;
    for (const TextRange& line : m_formatHelper->getLinesInSelection(attachments, m_storage.string()))
        m_storage.remove(knownAttributeNames(), line);
}

bool NotesTextView::insertMail(const QList<std::pair<QString, QByteArray>>& messages)
{
    QStringList names;
    for (const auto& [name, bytes] : messages)
        names.append(name);
    ConsoleLog::write(QStringLiteral("automatorPlist: ") + describe(names));
    bool inserted = false;
    // Each message stands alone: one that cannot be read leaves the others.
    for (const auto& [name, bytes] : messages) {
        ConsoleLog::write(QStringLiteral("plistDictionary: ") + name);
        QString error;
        const std::optional<MailMessageHeaders> headers
            = bytes.isEmpty() ? MailMessageHeaders::read(name, &error) : MailMessageHeaders::parse(bytes, &error);
        if (!headers) {
            ConsoleLog::write(QStringLiteral("Could not read the mail message ") + name + QStringLiteral(": ") + error);
            continue;
        }
        insertLinkAttachment(headers->subject, headers->sender, headers->linkURL(), emptyCalendarData());
        inserted = true;
    }
    return inserted;
}
