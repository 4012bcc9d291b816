#include "Pelorins/shell/SparkleHelper.h"

#include "Platform/core/UserDefaults.h"

SparkleHelper::SparkleHelper(UserDefaults& defaults)
    : m_defaults(defaults)
{
}

bool SparkleHelper::updaterShouldPromptForPermissionToCheckForUpdates() const
{
    return m_defaults.integerForKey(QStringLiteral("numberOfLaunches")) > 1;
}
