#pragma once

#include "Platform/services/Updater.h"

// Updates come through the system's package manager; the program never looks for them itself,
// so it asks the user nothing about update checks, and "Check Updates…" says where updates come
// from.
class PackageManagerUpdater : public Updater
{
public:
    Message checkForUpdates() override;
};
