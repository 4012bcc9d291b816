#pragma once

#include <QLatin1String>

// Names of the notices through which windows, panes and cells tell each other about changes,
// posted and observed through NotificationCenter. A few are observed but never posted; they stay
// part of the shared vocabulary.
namespace NotificationName {
inline constexpr QLatin1String PrintInfoChanged("PrintInfoChanged");
inline constexpr QLatin1String tagValueChanged("tagValueChanged");
// Capitalised on purpose: observers and posters elsewhere use this exact text.
inline constexpr QLatin1String backgroundChanged("BackgroundChanged");
inline constexpr QLatin1String dueSoonDefinitionChanged("dueSoonDefinitionChanged");
inline constexpr QLatin1String dueDateChanged("dueDateChanged");
inline constexpr QLatin1String showHideArchivedSelected("showHideArchivedSelected");
inline constexpr QLatin1String refreshToolBar("refreshToolBar");
inline constexpr QLatin1String itemMarkedDone("itemMarkedDone");
inline constexpr QLatin1String itemMarkedUnDone("itemMarkedUnDone");
inline constexpr QLatin1String stageTitlesChanged("stageTitlesChanged");
inline constexpr QLatin1String tutorialActionPerformed("tutorialActionPerformed");
inline constexpr QLatin1String projectTitleChanged("projectTitleChanged");
// User info {"listItem": the card whose "pelorins://" link was opened}.
inline constexpr QLatin1String cardURLReceived("cardURLReceived");
}
