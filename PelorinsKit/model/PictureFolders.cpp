#include "PelorinsKit/model/PictureFolders.h"

#include "Platform/core/ConsoleLog.h"
#include "Platform/core/DataFolders.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

const QString pictureDirError = QStringLiteral("error getting picture dir: ");

std::optional<QString> folderInDataFolder(const char* name)
{
    const QString dataFolder = DataFolders::applicationSupportFolder();
    if (dataFolder.isEmpty()) {
        ConsoleLog::write(pictureDirError + QStringLiteral("no data folder"));
        return std::nullopt;
    }
    const QString path = QDir(dataFolder).filePath(QLatin1String(name));
    if (!QDir().mkpath(path)) {
        ConsoleLog::write(pictureDirError + QStringLiteral("could not create ") + path);
        return std::nullopt;
    }
    return path;
}

bool isInside(const QString& path, const QString& base)
{
    const QString cleanBase = QDir::cleanPath(base);
    return !cleanBase.isEmpty() && QDir::cleanPath(path).startsWith(cleanBase + QLatin1Char('/'));
}

} // namespace

std::optional<QString> PictureFolders::attachmentPicturesFolderURL()
{
    return folderInDataFolder(attachmentPicturesFolderName);
}

std::optional<QString> PictureFolders::picturesFolderURL()
{
    return folderInDataFolder(picturesFolderName);
}

bool PictureFolders::isPictureFolderName(const QString& name)
{
    static const QRegularExpression uuid(
        QStringLiteral("^[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}$"));
    return uuid.match(name).hasMatch();
}

bool PictureFolders::isFileName(const QString& name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..")
        && !name.contains(QLatin1Char('/')) && !name.contains(QChar(0));
}

std::optional<QString> PictureFolders::pictureFolderPath(const QString& base, const QString& folderName)
{
    if (!isPictureFolderName(folderName)) {
        refuseName(folderName);
        return std::nullopt;
    }
    const QString path = QDir(base).filePath(folderName);
    if (!isInside(path, base)) {
        refuseName(folderName);
        return std::nullopt;
    }
    return path;
}

std::optional<QString> PictureFolders::pictureFilePath(
    const QString& base, const QString& folderName, const QString& filename)
{
    const std::optional<QString> folder = pictureFolderPath(base, folderName);
    if (!folder)
        return std::nullopt;
    if (!isFileName(filename)) {
        refuseName(filename);
        return std::nullopt;
    }
    const QString path = QDir(*folder).filePath(filename);
    // A link inside the picture folder must not lead out of it.
    const QString canonicalBase = QFileInfo(base).canonicalFilePath();
    const QString canonicalPath = QFileInfo(path).canonicalFilePath();
    if (!isInside(path, base) || (!canonicalPath.isEmpty() && !isInside(canonicalPath, canonicalBase))) {
        refuseName(folderName + QLatin1Char('/') + filename);
        return std::nullopt;
    }
    return path;
}

std::optional<QString> PictureFolders::existingFilePath(const QString& base, const QString& filename)
{
    if (!isFileName(filename)) {
        refuseName(filename);
        return std::nullopt;
    }
    const QString path = QDir(base).filePath(filename);
    const QFileInfo file(path);
    if (!file.exists())
        return std::nullopt;
    if (!isInside(path, base) || !isInside(file.canonicalFilePath(), QFileInfo(base).canonicalFilePath())) {
        refuseName(filename);
        return std::nullopt;
    }
    return file.isFile() ? std::optional<QString>(path) : std::nullopt;
}

void PictureFolders::refuseName(const QString& name)
{
    ConsoleLog::write(QStringLiteral("refusing picture path name ") + name);
}
