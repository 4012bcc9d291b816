#pragma once

#include <QString>

// Where the program keeps its data: "Pelorins" under the user's XDG data folder
// (~/.local/share/Pelorins). Tests point it at a temporary folder.
class DataFolders
{
public:
    static constexpr const char* folderName = "Pelorins";

    // The parent of the program's folder (the XDG data location, or the test override).
    static QString baseFolder();
    // The program's folder, created when missing. Empty when it cannot be created.
    static QString applicationSupportFolder();

    // Redirects every folder into `base` until reset with an empty string.
    static void setBaseFolderForTesting(const QString& base);
};
