#pragma once

#include "Platform/core/DataFolders.h"

#include <QLatin1String>

// The program's own folder inside the user's data folder: the store, the picture folders and the
// background pictures live in it.
inline constexpr QLatin1String applicationSupportDirectorySubFolderName(DataFolders::folderName);

// A title for a board's first stage.
inline constexpr QLatin1String tileOfFirstStage("In-Progress");
