#include "PelorinsKit/notes/TextAttachmentObject.h"

#include "PelorinsKit/notes/AttributeKey.h"
#include "PelorinsKit/notes/LinkAttachmentCell.h"
#include "PelorinsKit/notes/TextDocumentTextStorage.h"

#include <QBuffer>
#include <QImageReader>
#include <QPainter>
#include <QTextBlock>
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

QSize TextAttachmentObject::pictureSize(const QByteArray& bytes)
{
    if (const Header* known = m_sizes.object(bytes.constData()))
        return known->size;
    QBuffer buffer;
    buffer.setData(bytes);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    m_sizes.insert(bytes.constData(), new Header {bytes, size});
    return size;
}

QImage TextAttachmentObject::picture(const QByteArray& bytes, QSize pixels)
{
    const std::pair<const char*, quint64> key {
        bytes.constData(), (quint64(quint32(pixels.width())) << 32) | quint32(pixels.height())};
    if (const Decoded* cached = m_pictures.object(key))
        return cached->image;
    QBuffer buffer;
    buffer.setData(bytes);
    QImageReader reader(&buffer);
    // Decoded straight at the size shown; the reader's allocation limit refuses a huge picture.
    if (pixels.isValid() && pixels != reader.size())
        reader.setScaledSize(pixels);
    const QImage image = reader.read();
    ++m_decodes;
    m_pictures.insert(
        key, new Decoded {bytes, image}, int(std::clamp<qsizetype>(image.sizeInBytes() + bytes.size(), 1, INT_MAX)));
    return image;
}

QSizeF TextAttachmentObject::intrinsicSize(QTextDocument* document, int, const QTextFormat& format)
{
    const std::optional<TextAttachment> attachment = attachmentOf(format);
    if (!attachment)
        return QSizeF();
    if (isLink(*attachment))
        return LinkAttachmentCell().cellSize();
    if (!attachment->fileWrapper)
        return QSizeF();
    QSizeF size = pictureSize(attachment->fileWrapper->contents);
    // Lines are narrower than the document by its margins and the root frame's side margins.
    const QTextFrameFormat root = document->rootFrame()->frameFormat();
    const double available
        = document->textWidth() - 2 * document->documentMargin() - root.leftMargin() - root.rightMargin();
    if (document->textWidth() > 0 && size.width() > available && available > 0)
        size = size.scaled(available, size.height(), Qt::KeepAspectRatio);
    return size;
}

void TextAttachmentObject::decodePictures(QTextDocument* document, qreal zoom)
{
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        for (auto fragment = block.begin(); !fragment.atEnd(); ++fragment) {
            const QTextCharFormat format = fragment.fragment().charFormat();
            if (format.objectType() != objectType)
                continue;
            const std::optional<TextAttachment> attachment = attachmentOf(format);
            if (!attachment || isLink(*attachment) || !attachment->fileWrapper)
                continue;
            // As drawObject() measures the pixels a picture covers.
            const QSizeF size = intrinsicSize(document, fragment.fragment().position(), format);
            picture(attachment->fileWrapper->contents, (size * std::max(std::abs(zoom), 0.01)).toSize());
        }
    }
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
    if (!attachment->fileWrapper)
        return;
    const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    // The zoom of the column scales what is drawn; the picture is decoded for the pixels it covers.
    const QSize pixels = (rect.size() * ratio * std::max(std::abs(painter->transform().m11()), 0.01)).toSize();
    const QImage image = picture(attachment->fileWrapper->contents, pixels);
    if (!image.isNull())
        painter->drawImage(rect, image);
}
