#pragma once

#include <QString>
#include <optional>

// The folders of pictures in the program's data folder: "pictureAttachments" holds one folder per
// picture of card notes, named by a UUID; "pictures" holds the boards' background pictures.
//
// Folder and file names reach these folders from notes, picture records and imported packages,
// none of which can be trusted. A name becomes a path only through the checks below: a picture
// folder is named by a UUID, a file name is one path component, and the path found must stay
// inside its base folder. A refused name is written to the console and never touched.
class PictureFolders
{
public:
    static constexpr const char* attachmentPicturesFolderName = "pictureAttachments";
    static constexpr const char* picturesFolderName = "pictures";

    // The folder, created with its parents when missing; none, with a console line, when it
    // cannot be made. Looked up afresh on every call.
    static std::optional<QString> attachmentPicturesFolderURL();
    static std::optional<QString> picturesFolderURL();

    // A UUID in its 36-character text form, in either case.
    static bool isPictureFolderName(const QString& name);
    // One path component: not empty, not "." or "..", without "/" or NUL.
    static bool isFileName(const QString& name);

    // `base`/`folderName`, when the name is a picture folder's and the path stays inside `base`.
    static std::optional<QString> pictureFolderPath(const QString& base, const QString& folderName);
    // `base`/`folderName`/`filename` under the same checks, symbolic links resolved: an existing
    // file reached through a link that leaves `base` is refused as well.
    static std::optional<QString> pictureFilePath(
        const QString& base, const QString& folderName, const QString& filename);

    // `base`/`filename` when the name is one path component and the path, links resolved, is an
    // existing regular file inside `base`; an unsafe name is refused, a missing file is none.
    static std::optional<QString> existingFilePath(const QString& base, const QString& filename);

    // Writes the console line for a name that cannot become a path.
    static void refuseName(const QString& name);
};
