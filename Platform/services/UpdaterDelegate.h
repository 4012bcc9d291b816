#pragma once

// What the program answers when the updater asks it.
class UpdaterDelegate
{
public:
    virtual ~UpdaterDelegate() = default;

    virtual bool updaterShouldPromptForPermissionToCheckForUpdates() const = 0;
};
