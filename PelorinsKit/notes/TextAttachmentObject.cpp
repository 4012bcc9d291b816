#include "PelorinsKit/notes/TextAttachmentObject.h"

#include "PelorinsKit/notes/AttributeKey.h"
#include "PelorinsKit/notes/LinkAttachmentCell.h"
#include "PelorinsKit/notes/TextDocumentTextStorage.h"

#include <QPainter>
#include <QTextDocument>
#include <QTextFrame>

namespace {

std::optional<TextAttachment> attachmentOf(const QTextFormat& format)
{
    const QVariant value
        = format.property(TextDocumentTextStorage::characterAttributesProperty).toMap().value(AttributeKey::attachment);
    if (value.typeId() != qMetaTypeId<TextAttachment>())
        return std::nullopt;
    return value.value<TextAttachment>();
}

bool isLink(const TextAttachment& attachment)
{
    return attachment.fileType == AttributeKey::link;
}

} // namespace

TextAttachmentObject::TextAttachmentObject(const FileIconProvider* fileIcons, QObject* parent)
    : QObject(parent)
    , m_fileIcons(fileIcons)
{
}

QImage TextAttachmentObject::picture(const TextAttachment& attachment)
{
    if (!attachment.fileWrapper)
        return QImage();
    const QByteArray& bytes = attachment.fileWrapper->contents;
    const size_t key = qHash(bytes);
    if (const QImage* cached = m_pictures.object(key))
        return *cached;
    const QImage image = QImage::fromData(bytes);
    m_pictures.insert(key, new QImage(image), int(std::min<qsizetype>(image.sizeInBytes(), INT_MAX)));
    return image;
}

QSizeF TextAttachmentObject::intrinsicSize(QTextDocument* document, int, const QTextFormat& format)
{
    const std::optional<TextAttachment> attachment = attachmentOf(format);
    if (!attachment)
        return QSizeF();
    if (isLink(*attachment))
        return LinkAttachmentCell().cellSize();
    QSizeF size = picture(*attachment).size();
    // Lines are narrower than the document by its margins and the root frame's side margins.
    const QTextFrameFormat root = document->rootFrame()->frameFormat();
    const double available
        = document->textWidth() - 2 * document->documentMargin() - root.leftMargin() - root.rightMargin();
    if (document->textWidth() > 0 && size.width() > available && available > 0)
        size = size.scaled(available, size.height(), Qt::KeepAspectRatio);
    return size;
}

void TextAttachmentObject::drawObject(
    QPainter* painter, const QRectF& rect, QTextDocument*, int position, const QTextFormat& format)
{
    const std::optional<TextAttachment> attachment = attachmentOf(format);
    if (!attachment)
        return;
    if (isLink(*attachment)) {
        LinkAttachmentCell cell(m_fileIcons);
        cell.setHighlighted(m_highlightedRange.contains(position));
        cell.draw(*painter, rect, &*attachment);
        return;
    }
    const QImage image = picture(*attachment);
    if (!image.isNull())
        painter->drawImage(rect, image);
}
