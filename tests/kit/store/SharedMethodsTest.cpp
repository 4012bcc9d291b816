#include "PelorinsKit/store/SharedMethods.h"
#include "PelorinsKit/model/ImageAttachment.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/model/PictureFolders.h"
#include "PelorinsKit/store/CoreDataManager.h"
#include "PelorinsKit/store/CoreDataMigrator.h"
#include "PelorinsKit/store/StoreLoading.h"
#include "Platform/core/ConsoleLog.h"
#include "Platform/core/DataFolders.h"
#include "support/StoreBuilder.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QString usedFolder = QStringLiteral("11111111-2222-4333-8444-555555555555");
const QString orphanFolder = QStringLiteral("66666666-7777-4888-9999-AAAAAAAAAAAA");

class SharedMethodsTest : public ::testing::Test
{
protected:
    SharedMethodsTest()
    {
        DataFolders::setBaseFolderForTesting(base.path());
        manager.setup([] {}, [](const StoreError& error) { FAIL() << error.message().toStdString(); });
    }
    ~SharedMethodsTest() override { DataFolders::setBaseFolderForTesting(QString()); }

    QString pictureFolder() const { return base.filePath(QStringLiteral("Pelorins/pictureAttachments")); }
    QString picture(const QString& folder) const { return pictureFolder() + '/' + folder + "/picture.png"; }

    ImageAttachment* record(const QString& folder) { return ImageAttachment::create(folder, manager.context()); }

    QTemporaryDir base;
    CoreDataManager manager {std::make_shared<CoreDataMigrator>()};
    SharedMethods methods {manager};
};

TEST_F(SharedMethodsTest, FolderGetters_CreateTheFoldersInTheDataFolder)
{
    const std::optional<QString> pictures = PictureFolders::attachmentPicturesFolderURL();
    ASSERT_TRUE(pictures);
    EXPECT_EQ(*pictures, pictureFolder());
    EXPECT_TRUE(QFileInfo(pictureFolder()).isDir());
    EXPECT_EQ(PictureFolders::attachmentPicturesFolderURL(), pictures);
    EXPECT_EQ(PictureFolders::picturesFolderURL(), base.filePath("Pelorins/pictures"));

    writeFile(base.filePath("blocked/Pelorins"), "a file where the folder should be");
    DataFolders::setBaseFolderForTesting(base.filePath("blocked"));
    ConsoleLog::Capture capture;
    EXPECT_FALSE(PictureFolders::attachmentPicturesFolderURL());
    EXPECT_TRUE(capture.lines().last().startsWith("error getting picture dir: "));
}

TEST_F(SharedMethodsTest, CleanUp_DeletesOnlyRecordsAndFoldersThatNoCardUses)
{
    ASSERT_TRUE(manager.context());
    StoreBuilder build(*manager.context());
    ListItem* card = build.addCard(build.addBoard("Board")->column().first());
    ImageAttachment* used = record(usedFolder);
    used->setListItems({card});
    ImageAttachment* orphan = record(orphanFolder);
    writeFile(picture(usedFolder), "used");
    writeFile(picture(orphanFolder), "orphan");

    ConsoleLog::Capture capture;
    methods.cleanUpImageAttachments();

    EXPECT_TRUE(orphan->isDeleted());
    EXPECT_FALSE(QFileInfo::exists(pictureFolder() + '/' + orphanFolder));
    EXPECT_TRUE(capture.contains("Deleted image at: " + pictureFolder() + '/' + orphanFolder));
    EXPECT_FALSE(used->isDeleted());
    EXPECT_EQ(readFile(picture(usedFolder)), "used");
    EXPECT_TRUE(manager.context()->hasChanges()) << "the caller saves";
}

TEST_F(SharedMethodsTest, CleanUp_BeforeTheCardsAreReadStillSeesEveryCardThatUsesARecord)
{
    StoreBuilder build(*manager.context());
    build.addCard(build.addBoard("Shown")->column().first());
    ListItem* card = build.addCard(build.addBoard("Not read yet")->column().first());
    record(usedFolder)->setListItems({card});
    record(orphanFolder);
    writeFile(picture(usedFolder), "used");
    writeFile(picture(orphanFolder), "orphan");
    ASSERT_TRUE(manager.saveContext());

    CoreDataManager started {std::make_shared<CoreDataMigrator>()};
    started.setup([] {}, [](const StoreError& error) { FAIL() << error.message().toStdString(); });
    // The thread reading the cards has started; nothing it read is in before the event loop runs.
    started.loading()->start();
    ASSERT_FALSE(started.loading()->isWholeStoreLoaded());
    SharedMethods(started).cleanUpImageAttachments();
    ASSERT_TRUE(started.saveContext());
    EXPECT_EQ(readFile(picture(usedFolder)), "used");
    EXPECT_FALSE(QFileInfo::exists(pictureFolder() + '/' + orphanFolder));
    QStringList kept;
    for (const ImageAttachment* left : started.context()->fetchAs<ImageAttachment>(ImageAttachment::fetchRequest()))
        kept << left->folderUUID();
    EXPECT_EQ(kept, QStringList {usedFolder});
}

TEST_F(SharedMethodsTest, CleanUp_KeepsARecordWhoseFolderIsGone)
{
    ImageAttachment* orphan = record(orphanFolder);
    ConsoleLog::Capture capture;
    methods.cleanUpImageAttachments();
    EXPECT_FALSE(orphan->isDeleted());
    ASSERT_EQ(capture.lines().size(), 1);
    EXPECT_TRUE(capture.lines().first().startsWith("Error deleting image folder "));
}

TEST_F(SharedMethodsTest, CleanUp_NeverDeletesOutsideThePictureFolder)
{
    QTemporaryDir outside;
    writeFile(outside.filePath("keep/file"), "keep");
    QDir().mkpath(pictureFolder());
    // A picture folder that is a link to a folder elsewhere.
    ASSERT_TRUE(QFile::link(outside.filePath("keep"), pictureFolder() + '/' + orphanFolder));
    writeFile(base.filePath("victim/file"), "keep");
    writeFile(base.filePath("Pelorins/CocoaAppCD.backup"), "keep");

    const QStringList hostile {"../../victim", base.filePath("victim"), "a/../../b", "..", "../CocoaAppCD.backup", ""};
    QList<ImageAttachment*> records {record(orphanFolder)};
    for (const QString& name : hostile)
        records.append(record(name));

    ConsoleLog::Capture capture;
    methods.cleanUpImageAttachments();

    for (ImageAttachment* each : records)
        EXPECT_FALSE(each->isDeleted()) << each->folderUUID().toStdString();
    EXPECT_EQ(readFile(outside.filePath("keep/file")), "keep");
    EXPECT_EQ(readFile(base.filePath("victim/file")), "keep");
    EXPECT_EQ(readFile(base.filePath("Pelorins/CocoaAppCD.backup")), "keep");
    EXPECT_TRUE(QFileInfo::exists(pictureFolder()));
    for (const QString& name : hostile)
        EXPECT_TRUE(capture.contains("refusing picture path name " + name)) << name.toStdString();
}

TEST_F(SharedMethodsTest, CopyFromPackage_BringsInRealPictureFoldersOnly)
{
    QTemporaryDir outside;
    writeFile(outside.filePath("secret"), "secret");
    const QString package = base.filePath("Board.pelorins");
    const QString source = package + "/pictureAttachments/";
    writeFile(source + usedFolder + "/picture.png", "picture");
    writeFile(source + usedFolder + "/nested/more.png", "more");
    ASSERT_TRUE(QFile::link(outside.filePath("secret"), source + usedFolder + "/stolen.png"));
    ASSERT_TRUE(QFile::link(outside.path(), source + orphanFolder));
    writeFile(source + "not-a-uuid/picture.png", "picture");

    ConsoleLog::Capture capture;
    methods.copyImageAttachmentsToAttachmentsFolder(package);

    EXPECT_EQ(readFile(picture(usedFolder)), "picture");
    EXPECT_EQ(readFile(pictureFolder() + '/' + usedFolder + "/nested/more.png"), "more");
    EXPECT_FALSE(QFileInfo(pictureFolder() + '/' + usedFolder + "/stolen.png").exists()) << "links inside are skipped";
    EXPECT_FALSE(QFileInfo(pictureFolder() + '/' + orphanFolder).exists()) << "a linked folder is not copied";
    EXPECT_FALSE(QFileInfo::exists(pictureFolder() + "/not-a-uuid"));
    EXPECT_TRUE(capture.contains("refusing picture path name not-a-uuid"));

    // A second import of the same package changes nothing that is there.
    writeFile(picture(usedFolder), "edited since");
    capture.clear();
    methods.copyImageAttachmentsToAttachmentsFolder(package);
    EXPECT_EQ(readFile(picture(usedFolder)), "edited since");
    EXPECT_TRUE(capture.lines().first().startsWith("Could not copy file " + source + usedFolder));
}

TEST_F(SharedMethodsTest, CopyFromPackage_AFolderOfLinksBringsInNothingAndSaysWhy)
{
    QTemporaryDir outside;
    writeFile(outside.filePath("secret.png"), "secret");
    const QString linked = base.filePath("Board.pelorins/pictureAttachments/") + usedFolder + "/photo.png";
    QDir().mkpath(QFileInfo(linked).path());
    ASSERT_TRUE(QFile::link(outside.filePath("secret.png"), linked));

    ConsoleLog::Capture capture;
    methods.copyImageAttachmentsToAttachmentsFolder(base.filePath("Board.pelorins"));

    EXPECT_FALSE(QFileInfo::exists(pictureFolder() + '/' + usedFolder)) << "no empty picture folder";
    EXPECT_EQ(capture.lines(), QStringList {"Skipping " + linked + " in the archive's pictures: not a regular file"});
}

TEST_F(SharedMethodsTest, CopyFromPackage_WithoutPicturesSaysSo)
{
    QDir().mkpath(base.filePath("Empty.pelorins"));
    ConsoleLog::Capture capture;
    methods.copyImageAttachmentsToAttachmentsFolder(base.filePath("Empty.pelorins"));
    EXPECT_EQ(capture.lines(), QStringList {"Error getting the contents of document package"});
    EXPECT_TRUE(QDir(pictureFolder()).isEmpty());
}

// What an export copies into its package: real picture folders of the data folder only, each
// complete, and nothing written or read through a link.
TEST_F(SharedMethodsTest, CopyToPackage_CopiesRealPictureFoldersWholeAndNeverFollowsLinks)
{
    QTemporaryDir outside;
    writeFile(outside.filePath("secret"), "secret");
    writeFile(picture(usedFolder), "picture");
    ASSERT_TRUE(QFile::link(outside.filePath("secret"), pictureFolder() + '/' + usedFolder + "/stolen.png"));
    ASSERT_TRUE(QFile::link(outside.path(), pictureFolder() + '/' + orphanFolder));
    const QString package = base.filePath("Export.Pelorins");
    writeFile(package + "/pictureAttachments/" + usedFolder + "/stale.png", "from an earlier export");

    ConsoleLog::Capture capture;
    QString error;
    ASSERT_TRUE(methods.copyPictureFoldersToPackage({usedFolder, orphanFolder, "../outside"}, package, &error))
        << error.toStdString();
    const QString copied = package + "/pictureAttachments/" + usedFolder;
    EXPECT_EQ(readFile(copied + "/picture.png"), "picture");
    EXPECT_FALSE(QFileInfo::exists(copied + "/stale.png")) << "the folder ends as its source is";
    EXPECT_FALSE(QFileInfo(copied + "/stolen.png").exists()) << "links inside are skipped";
    EXPECT_FALSE(QFileInfo::exists(package + "/pictureAttachments/" + orphanFolder)) << "a linked folder is skipped";
    EXPECT_TRUE(capture.contains("refusing picture path name ../outside"));

    // A package whose picture folder is a link is never written through.
    const QString linkedPackage = base.filePath("Linked.Pelorins");
    QDir().mkpath(linkedPackage);
    ASSERT_TRUE(QFile::link(outside.path(), linkedPackage + "/pictureAttachments"));
    EXPECT_FALSE(methods.copyPictureFoldersToPackage({usedFolder}, linkedPackage, &error));
    EXPECT_EQ(QDir(outside.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList {"secret"});
}

} // namespace
