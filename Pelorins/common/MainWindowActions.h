#pragma once

#include <QLatin1String>

// Names of the actions that the main window's menus and toolbar send through the routing.
namespace MainWindowActions {
inline constexpr QLatin1String showHideSidebar("showHideSidebar:");
inline constexpr QLatin1String viewAsSingleColumn("viewAsSingleColumn:");
inline constexpr QLatin1String viewAsMultipleColumns("viewAsMultipleColumns:");
inline constexpr QLatin1String showProjectSettings("showProjectSettings:");
inline constexpr QLatin1String jumpToBookmarkedSection("jumpToBookmarkedSection:");
inline constexpr QLatin1String insertNewSectionAfter("insertNewSectionAfter:");
inline constexpr QLatin1String insertNewSectionBefore("insertNewSectionBefore:");
inline constexpr QLatin1String addFolderSelected("addFolderSelected:");
inline constexpr QLatin1String addKanbanSelected("addKanbanSelected:");
inline constexpr QLatin1String duplicateSelected("duplicateSelected:");
inline constexpr QLatin1String addExampleProjects("addExampleProjects:");
inline constexpr QLatin1String showImport("showImport:");
inline constexpr QLatin1String showExport("showExport:");
inline constexpr QLatin1String showHidePrintSetup("showHidePrintSetup:");
inline constexpr QLatin1String searchKanban("searchKanban:");
inline constexpr QLatin1String zoomMenuSelected("zoomMenuSelected:");
inline constexpr QLatin1String showTagsView("showTagsView:");
inline constexpr QLatin1String showInfoView("showInfoView:");
inline constexpr QLatin1String showBackgroundPicker("showBackgroundPicker:");
inline constexpr QLatin1String toggleFullScreen("toggleFullScreen:");
inline constexpr QLatin1String getResponderChain("getResponderChain:");
inline constexpr QLatin1String printSelected("printSelected:");
inline constexpr QLatin1String showTestPrint("showTestPrint:");
inline constexpr QLatin1String getOffset("getOffset:");
}
