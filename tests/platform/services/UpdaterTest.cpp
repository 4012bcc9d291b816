#include "Platform/services/PackageManagerUpdater.h"

#include "Platform/core/UserDefaults.h"
#include "Platform/services/UpdaterDelegate.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct AnsweringDelegate : UpdaterDelegate
{
    bool answer = false;
    mutable int asked = 0;
    bool updaterShouldPromptForPermissionToCheckForUpdates() const override
    {
        ++asked;
        return answer;
    }
};

} // namespace

TEST(Updater, StartUpNoticeWaitsForTheDelegateAndAppearsOnce)
{
    QTemporaryDir dir;
    UserDefaults defaults(dir.filePath("prefs.conf"));
    PackageManagerUpdater updater(defaults);
    EXPECT_FALSE(updater.permissionPrompt());

    AnsweringDelegate delegate;
    updater.setDelegate(&delegate);
    EXPECT_FALSE(updater.permissionPrompt());
    EXPECT_EQ(delegate.asked, 1);
    EXPECT_FALSE(defaults.contains(PackageManagerUpdater::noticeShownKey));

    delegate.answer = true;
    const auto notice = updater.permissionPrompt();
    ASSERT_TRUE(notice);
    EXPECT_TRUE(notice->text.contains("package manager"));
    EXPECT_FALSE(updater.permissionPrompt());

    // Not on a later start either.
    PackageManagerUpdater later(defaults);
    later.setDelegate(&delegate);
    EXPECT_FALSE(later.permissionPrompt());
}

TEST(Updater, CheckingPointsToThePackageManager)
{
    QTemporaryDir dir;
    UserDefaults defaults(dir.filePath("prefs.conf"));
    PackageManagerUpdater updater(defaults);
    const Updater::Message message = updater.checkForUpdates();
    EXPECT_FALSE(message.title.isEmpty());
    EXPECT_TRUE(message.text.contains("package manager"));
    EXPECT_FALSE(defaults.contains(PackageManagerUpdater::noticeShownKey));
}
