#include "Platform/services/FileBookmark.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <sys/stat.h>

namespace {

const QString versionKey = QStringLiteral("v");
const QString pathKey = QStringLiteral("path");
const QString deviceKey = QStringLiteral("dev");
const QString inodeKey = QStringLiteral("ino");

struct Identity
{
    qint64 device = 0;
    qint64 inode = 0;
};

std::optional<Identity> identityOf(const QString& path, QString* error)
{
    struct stat status
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &status) != 0) {
        if (error)
            *error = QStringLiteral("The file \"%1\" could not be found.").arg(path);
        return std::nullopt;
    }
    return Identity {qint64(status.st_dev), qint64(status.st_ino)};
}

} // namespace

std::optional<QByteArray> FileBookmark::make(const QString& path, QString* error)
{
    if (path.isEmpty()) {
        if (error)
            *error = QStringLiteral("Only files can be bookmarked.");
        return std::nullopt;
    }
    const std::optional<Identity> identity = identityOf(path, error);
    if (!identity)
        return std::nullopt;
    const QJsonObject bookmark {{versionKey, version}, {pathKey, path}, {deviceKey, double(identity->device)},
        {inodeKey, double(identity->inode)}};
    return QJsonDocument(bookmark).toJson(QJsonDocument::Compact);
}

std::optional<QString> FileBookmark::resolve(const QByteArray& bytes, const QUrl& linkURL, bool* stale, QString* error)
{
    if (stale)
        *stale = false;
    const QJsonObject bookmark = QJsonDocument::fromJson(bytes).object();
    const bool ours = bookmark.value(versionKey).isDouble() && bookmark.value(pathKey).isString()
        && bookmark.value(deviceKey).isDouble() && bookmark.value(inodeKey).isDouble();
    if (!ours) {
        if (linkURL.isLocalFile() && QFile::exists(linkURL.toLocalFile()))
            return linkURL.toLocalFile();
        if (error)
            *error = QStringLiteral("The bookmark data is not in a readable format.");
        return std::nullopt;
    }
    const QString path = bookmark.value(pathKey).toString();
    const std::optional<Identity> now = identityOf(path, error);
    if (!now)
        return std::nullopt;
    if (stale)
        *stale = now->device != qint64(bookmark.value(deviceKey).toDouble())
            || now->inode != qint64(bookmark.value(inodeKey).toDouble());
    return path;
}
