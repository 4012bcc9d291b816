#include "Platform/services/PackageManagerUpdater.h"

#include "Platform/core/UserDefaults.h"
#include "Platform/services/UpdaterDelegate.h"

#include <QCoreApplication>

PackageManagerUpdater::PackageManagerUpdater(UserDefaults& defaults)
    : m_defaults(defaults)
{
}

Updater::Message PackageManagerUpdater::checkForUpdates()
{
    const QString version = QCoreApplication::applicationVersion();
    const QString installed = version.isEmpty() ? QStringLiteral("This version of Pelorins is installed.")
                                                : QStringLiteral("Pelorins %1 is installed.").arg(version);
    return {QStringLiteral("Check Updates"),
        installed
            + QStringLiteral(" New versions come through your system's package manager: use it to check for and "
                             "install updates.")};
}

std::optional<Updater::Message> PackageManagerUpdater::permissionPrompt()
{
    if (!delegate() || !delegate()->updaterShouldPromptForPermissionToCheckForUpdates())
        return std::nullopt;
    if (m_defaults.boolForKey(noticeShownKey))
        return std::nullopt;
    m_defaults.setValue(noticeShownKey, true);
    m_defaults.synchronize();
    return Message {QStringLiteral("Automatic Updates"),
        QStringLiteral("Pelorins does not check for updates itself. Your system's package manager keeps "
                       "it up to date.")};
}
