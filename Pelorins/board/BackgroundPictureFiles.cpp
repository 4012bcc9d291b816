#include "Pelorins/board/BackgroundPictureFiles.h"

#include "Pelorins/board/BackgroundArtwork.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/PictureFolders.h"
#include "Platform/core/ConsoleLog.h"
#include "Platform/core/objectgraph/ManagedObjectContext.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QSaveFile>
#include <cmath>

namespace {

// Room for the largest allowed picture at four bytes a pixel, in the reader's megabytes.
constexpr int allocationLimitMegabytes = int(BackgroundPictureFiles::maximumPixels * 4 / (1024 * 1024)) + 1;

// A reader of the file that knows its format from its contents, whatever its name says.
bool openPicture(QImageReader& reader, const QString& path, QString* why)
{
    reader.setFileName(path);
    reader.setDecideFormatFromContent(true);
    reader.setAllocationLimit(allocationLimitMegabytes);
    const QByteArray format = reader.format();
    if (format != "png" && format != "jpeg") {
        *why = QStringLiteral("not a PNG or JPEG picture");
        return false;
    }
    const QSize size = reader.size();
    if (size.isEmpty()) {
        *why = QStringLiteral("no picture size");
        return false;
    }
    if (qint64(size.width()) * size.height() > BackgroundPictureFiles::maximumPixels) {
        *why = QStringLiteral("more than 100 megapixels");
        return false;
    }
    return true;
}

} // namespace

const QStringList BackgroundPictureFiles::allowedFileTypes {
    QStringLiteral("png"), QStringLiteral("jpeg"), QStringLiteral("jpg")};

std::optional<QString> BackgroundPictureFiles::pathOf(const QString& bgImage)
{
    if (bgImage.isEmpty() || BackgroundArtwork::pictureNumber(bgImage))
        return std::nullopt;
    const std::optional<QString> folder = PictureFolders::picturesFolderURL();
    return folder ? PictureFolders::existingFilePath(*folder, bgImage) : std::nullopt;
}

QString BackgroundPictureFiles::refusal(const QString& path)
{
    const QFileInfo file(path);
    if (!file.exists())
        return QStringLiteral("the file is gone");
    if (!file.isFile() || !file.isReadable())
        return QStringLiteral("the file cannot be read");
    if (file.size() > maximumFileBytes)
        return QStringLiteral("the file is larger than 64 MB");
    QImageReader reader;
    QString why;
    if (!openPicture(reader, path, &why))
        return QStringLiteral("the file is ") + why;
    return {};
}

QImage BackgroundPictureFiles::readCovering(const QString& path, const QSize& area)
{
    if (QFileInfo(path).size() > maximumFileBytes || area.isEmpty())
        return {};
    QImageReader reader;
    QString why;
    if (!openPicture(reader, path, &why))
        return {};
    reader.setAutoTransform(true);
    QSize size = reader.size();
    // A picture turned by its orientation tag covers with its sides swapped.
    if (reader.transformation() & QImageIOHandler::TransformationRotate90)
        size.transpose();
    QSize scaled = coverSize(size, area);
    if (reader.transformation() & QImageIOHandler::TransformationRotate90)
        scaled.transpose();
    reader.setScaledSize(scaled);
    return reader.read();
}

QSize BackgroundPictureFiles::coverSize(const QSize& size, const QSize& area)
{
    if (size.isEmpty())
        return area;
    const double scale = std::max(double(area.width()) / size.width(), double(area.height()) / size.height());
    return QSize(std::max(1, int(std::ceil(size.width() * scale - 1e-9))),
        std::max(1, int(std::ceil(size.height() * scale - 1e-9))));
}

std::optional<QString> BackgroundPictureFiles::copyIn(const QString& source, const QString& fileName, QString* error)
{
    const std::optional<QString> folder = PictureFolders::picturesFolderURL();
    if (!folder) {
        *error = QStringLiteral("the pictures folder cannot be made");
        return std::nullopt;
    }
    if (!PictureFolders::isFileName(fileName)) {
        *error = QStringLiteral("the name ") + fileName + QStringLiteral(" is not a file name");
        return std::nullopt;
    }
    const QString destination = *folder + QLatin1Char('/') + fileName;
    QFile input(source);
    if (!input.open(QIODevice::ReadOnly)) {
        *error = input.errorString();
        return std::nullopt;
    }
    // The copy is written beside its place and renamed over it only once it is whole.
    QSaveFile output(destination);
    if (!output.open(QIODevice::WriteOnly)) {
        *error = output.errorString();
        return std::nullopt;
    }
    QByteArray chunk;
    while (!(chunk = input.read(1 << 20)).isEmpty()) {
        if (output.write(chunk) != chunk.size())
            break;
    }
    // Left uncommitted, the temporary file goes with `output`.
    if (input.error() != QFileDevice::NoError) {
        *error = input.errorString();
        return std::nullopt;
    }
    if (!output.commit()) {
        *error = output.errorString();
        return std::nullopt;
    }
    return destination;
}

void BackgroundPictureFiles::removeUnshared(const Kanban& board, const QString& bgImage)
{
    const std::optional<QString> path = pathOf(bgImage);
    if (!path)
        return;
    if (ManagedObjectContext* context = board.managedObjectContext()) {
        for (const Kanban* other : context->fetchAs<Kanban>(FetchRequest(QStringLiteral("Kanban")))) {
            if (other != &board && other->bgImage() == bgImage)
                return;
        }
    }
    QFile file(*path);
    if (!file.remove())
        ConsoleLog::write(QStringLiteral("error removing existing picture ") + file.errorString());
}
