#include "Platform/services/PackageManagerUpdater.h"

#include <QCoreApplication>

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
