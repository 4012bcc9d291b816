#pragma once

#include "Platform/services/UpdaterDelegate.h"

class UserDefaults;

// Answers the updater: no question about update checks on the very first launch.
class SparkleHelper : public UpdaterDelegate
{
public:
    explicit SparkleHelper(UserDefaults& defaults);

    bool updaterShouldPromptForPermissionToCheckForUpdates() const override;

private:
    UserDefaults& m_defaults;
};
