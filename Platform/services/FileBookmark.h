#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <optional>

// Keeps a link to a file the user attached: the file's path with the device and inode it had, as
// JSON bytes {"v", "path", "dev", "ino"}. Nothing here grants access; starting and stopping
// access are kept for the callers' symmetry and do nothing.
class FileBookmark
{
public:
    static constexpr int version = 1;

    // The bookmark of an existing file or folder; none, with `error` set, when it cannot be
    // reached.
    static std::optional<QByteArray> make(const QString& path, QString* error = nullptr);

    // The path the bookmark leads to. `stale` is set when the path now holds another file than
    // the one bookmarked. A missing file gives none with `error` set. Bytes that are not our
    // bookmark (a link made on another system) lead to the local path of `linkURL`, the link's
    // own address, when it has one.
    static std::optional<QString> resolve(
        const QByteArray& bytes, const QUrl& linkURL, bool* stale = nullptr, QString* error = nullptr);

    static void startAccessingSecurityScopedResource(const QString&) { }
    static void stopAccessingSecurityScopedResource(const QString&) { }
};
