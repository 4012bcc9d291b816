#include "Platform/core/UserDefaults.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(UserDefaults, AbsentKeysReadAsZeroFalseOrEmpty)
{
    QTemporaryDir dir;
    UserDefaults defaults(dir.filePath("prefs.conf"));
    EXPECT_FALSE(defaults.boolForKey("showArchived"));
    EXPECT_EQ(defaults.integerForKey("dueHour"), 0);
    EXPECT_EQ(defaults.doubleForKey("expandedViewWidth"), 0.0);
    EXPECT_TRUE(defaults.stringForKey("missing").isEmpty());
    EXPECT_TRUE(defaults.dataForKey("missing").isEmpty());
    EXPECT_FALSE(defaults.contains("missing"));
}

TEST(UserDefaults, RegisteringDefaultsKeepsExistingValuesOfAnyType)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("prefs.conf");
    {
        UserDefaults defaults(path);
        defaults.setValue("dueHour", 9);
        defaults.setValue("showArchived", false);
        defaults.setValue("dueSoonDefinition", "3"); // written as text by an older version
        defaults.synchronize();
    }
    UserDefaults defaults(path);
    defaults.registerDefaults({{"dueHour", 17}, {"showArchived", true}, {"dueSoonDefinition", 1}, {"dueMinute", 0},
                               {"viewAsMultiColumn", true}});
    EXPECT_EQ(defaults.integerForKey("dueHour"), 9);
    EXPECT_FALSE(defaults.boolForKey("showArchived"));
    EXPECT_EQ(defaults.integerForKey("dueSoonDefinition"), 3);
    EXPECT_TRUE(defaults.contains("dueMinute"));
    EXPECT_TRUE(defaults.boolForKey("viewAsMultiColumn"));
}

TEST(UserDefaults, ValuesSurviveReopening)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("prefs.conf");
    {
        UserDefaults defaults(path);
        defaults.setValue("numberOfLaunches", 4);
        defaults.setValue("firstSetupCompleted", true);
        defaults.setValue("lastSelectedSourceItem", QByteArray("\x00\x01uri", 5));
        defaults.synchronize();
    }
    UserDefaults defaults(path);
    EXPECT_EQ(defaults.integerForKey("numberOfLaunches"), 4);
    EXPECT_TRUE(defaults.boolForKey("firstSetupCompleted"));
    EXPECT_EQ(defaults.dataForKey("lastSelectedSourceItem"), QByteArray("\x00\x01uri", 5));
    defaults.removeObject("numberOfLaunches");
    EXPECT_EQ(defaults.integerForKey("numberOfLaunches"), 0);
}

TEST(UserDefaults, StandardFileLivesInTheConfigurationFolder)
{
    EXPECT_TRUE(UserDefaults::standardFilePath().endsWith("/com.morvance.Pelorins.conf"));
}
