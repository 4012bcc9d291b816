#include "Platform/core/ConsoleLog.h"
#include "Platform/core/DataFolders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

class DataFoldersTest : public ::testing::Test
{
protected:
    void TearDown() override { DataFolders::setBaseFolderForTesting({}); }
};

TEST_F(DataFoldersTest, ProgramFolderIsCreatedInsideTheBase)
{
    QTemporaryDir base;
    DataFolders::setBaseFolderForTesting(base.path());
    const QString folder = DataFolders::applicationSupportFolder();
    EXPECT_EQ(folder, QDir(base.path()).filePath("Pelorins"));
    EXPECT_TRUE(QFileInfo(folder).isDir());
}

TEST_F(DataFoldersTest, DefaultBaseIsTheXdgDataLocation)
{
    EXPECT_EQ(DataFolders::baseFolder(), QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
}

TEST_F(DataFoldersTest, UncreatableFolderIsReportedAndEmpty)
{
    QTemporaryDir base;
    QFile blocker(base.filePath("file"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    DataFolders::setBaseFolderForTesting(base.filePath("file"));
    ConsoleLog::Capture capture;
    EXPECT_TRUE(DataFolders::applicationSupportFolder().isEmpty());
    ASSERT_EQ(capture.lines().size(), 1);
    EXPECT_TRUE(capture.lines().first().startsWith("could not create the data folder "));
}
