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
// A picture's size is read from its header; it is decoded once at the size it is shown, and
// painting only draws what was decoded.
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

    // Decodes the pictures of the laid-out document ahead, at the size drawing them at this zoom
    // asks for, so that drawing them later only draws; on another thread, before it is drawn.
    void decodePictures(QTextDocument* document, qreal zoom);

    // Pictures decoded so far, for tests.
    int decodedPictures() const { return m_decodes; }

private:
    // An entry holds the picture's bytes, so that their address, the key, is never reused while
    // it lives.
    struct Header
    {
        QByteArray bytes;
        QSize size;
    };
    struct Decoded
    {
        QByteArray bytes;
        QImage image;
    };

    QSize pictureSize(const QByteArray& bytes);
    QImage picture(const QByteArray& bytes, QSize pixels);

    const FileIconProvider* m_fileIcons;
    TextRange m_highlightedRange;
    QCache<const char*, Header> m_sizes {4096};
    QCache<std::pair<const char*, quint64>, Decoded> m_pictures {64 * 1024 * 1024};
    int m_decodes = 0;
};
