#pragma once

#include "PelorinsKit/notes/TextAttachment.h"

#include <QRectF>
#include <QSize>
#include <QString>
#include <optional>

class FileIconProvider;
class QPainter;

// Draws a link card inside card notes: a web link, a Mail message, a calendar event or a file,
// each with an icon, a title line and a subtitle line, on a rounded background. Everything shown
// is read from the attachment's link dictionary at every draw.
class LinkAttachmentCell
{
public:
    static constexpr int width = 264;
    static constexpr int height = 40;

    enum class Kind { file, message, calendar, web };

    // What a card shows, in coordinates from the card's top left corner.
    struct Content
    {
        Kind kind = Kind::web;
        QString firstLine;
        QString secondLine;
        QRectF iconRect;
        // Files only: the path, and whether it could not be read.
        QString filePath;
        bool fileIsMissing = false;
    };

    static constexpr QRectF firstLineRect {40, 0, 216, 20};
    static constexpr QRectF secondLineRect {40, 20, 216, 20};

    // `fileIcons` may be null: cards of files then show a drawn document icon.
    explicit LinkAttachmentCell(const FileIconProvider* fileIcons = nullptr);

    QSize cellSize() const { return QSize(width, height); }

    // Set by the notes editor while the attachment is selected.
    bool isHighlighted() const { return m_highlighted; }
    void setHighlighted(bool highlighted) { m_highlighted = highlighted; }

    // What the card of `attachment` shows: none when it holds no readable link dictionary with
    // a URL, a title and a body, when the URL has no scheme, or when the scheme is none of the
    // known ones (that scheme is written to the console).
    static std::optional<Content> content(const TextAttachment& attachment);

    // The background, then the link's icon and texts; only the background without an attachment
    // or without a link to show.
    void draw(QPainter& painter, const QRectF& frame, const TextAttachment* attachment) const;

    // A file size as the desktop counts it, in decimal units: "2 KB" for 2,048 bytes.
    static QString byteCountText(qint64 bytes);

private:
    const FileIconProvider* m_fileIcons;
    bool m_highlighted = false;
};
