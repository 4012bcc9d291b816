#pragma once

#include <QImage>
#include <QSize>
#include <QString>
#include <QStringList>
#include <optional>

class Kanban;

// The custom board pictures: files of the pictures folder named by the boards' `bgImage`.
//
// A board's `bgImage` can come from an imported archive, so it is only ever a name: it becomes a
// path only as one existing regular file of the pictures folder, links resolved. A chosen picture
// is checked before it is copied, and a copy lands under its final name in one rename.
class BackgroundPictureFiles
{
public:
    // Larger files or pictures are refused.
    static constexpr qint64 maximumFileBytes = 64LL * 1024 * 1024;
    static constexpr qint64 maximumPixels = 100'000'000;

    // The file types the open panel offers.
    static const QStringList allowedFileTypes;

    // The custom picture file a board's `bgImage` names; none for an empty or built-in name, a
    // name that is not one file of the pictures folder, or a missing file.
    static std::optional<QString> pathOf(const QString& bgImage);

    // Why the file cannot become a board picture (not a PNG or JPEG, too large, unreadable,
    // gone); empty when it can.
    static QString refusal(const QString& path);

    // The picture decoded straight at the size that covers `area` keeping its proportions, with
    // the allocation held to the picture limits; null when it cannot be read within them.
    static QImage readCovering(const QString& path, const QSize& area);

    // The size that covers `area` with a picture of `size`, keeping its proportions.
    static QSize coverSize(const QSize& size, const QSize& area);

    // Copies `source` into the pictures folder as `fileName`, through a temporary file renamed
    // into place, replacing a file of that name. The copy's path, or none with `error` set.
    static std::optional<QString> copyIn(const QString& source, const QString& fileName, QString* error);

    // Deletes the custom picture file `bgImage` of `board` unless another board names it too; a
    // failed deletion prints "error removing existing picture " and the reason.
    static void removeUnshared(const Kanban& board, const QString& bgImage);
};
