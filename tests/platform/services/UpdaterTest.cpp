#include "Platform/services/PackageManagerUpdater.h"

#include <gtest/gtest.h>

TEST(Updater, CheckingPointsToThePackageManager)
{
    PackageManagerUpdater updater;
    const Updater::Message message = updater.checkForUpdates();
    EXPECT_FALSE(message.title.isEmpty());
    EXPECT_TRUE(message.text.contains("package manager"));
}
