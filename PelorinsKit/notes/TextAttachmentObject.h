#pragma once

#include "PelorinsKit/notes/TextAttachment.h"
#include "PelorinsKit/notes/TextRange.h"

#include <QCache>
#include <QImage>
#include <QObject>
#include <QTextObjectInterface>

class FileIconProvider;

// Lays out and draws the attachments of notes held in a QTextDocument: a link card at its fixed
// size through LinkAttachmentCell, a picture at its size, scaled down to fit the text width.
class TextAttachmentObject : public QObject, public QTextObjectInterface
{
    Q_OBJECT
    Q_INTERFACES(QTextObjectInterface)
public:
    static constexpr int objectType = QTextFormat::UserObject + 1;

    explicit TextAttachmentObject(const FileIconProvider* fileIcons, QObject* parent = nullptr);

    // The attachments inside `range` are drawn highlighted; the editor sets it to its selection.
    void setHighlightedRange(TextRange range) { m_highlightedRange = range; }

    QSizeF intrinsicSize(QTextDocument* document, int position, const QTextFormat& format) override;
    void drawObject(QPainter* painter, const QRectF& rect, QTextDocument* document, int position,
        const QTextFormat& format) override;

private:
    QImage picture(const TextAttachment& attachment);

    const FileIconProvider* m_fileIcons;
    TextRange m_highlightedRange;
    // Decoded pictures by their bytes' hash, so that painting never decodes again.
    QCache<size_t, QImage> m_pictures {64 * 1024 * 1024};
};
