#include "PelorinsKit/archive/JSONReader.h"
#include "PelorinsKit/model/DoneDate.h"
#include "PelorinsKit/model/Folder.h"
#include "PelorinsKit/model/ImageAttachment.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/model/ListItemHistory.h"
#include "PelorinsKit/model/Root.h"
#include "PelorinsKit/model/Tag.h"
#include "PelorinsKit/notes/AttributeKey.h"
#include "PelorinsKit/notes/NoteTextConventions.h"
#include "PelorinsKit/store/CoreDataManager.h"
#include "PelorinsKit/store/CoreDataMigrator.h"
#include "Platform/core/ConsoleLog.h"
#include "Platform/core/DataFolders.h"
#include "support/QStringPrinting.h"

#include <QColor>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMap>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QUrl>
#include <gtest/gtest.h>

namespace {

const QString packagePicture = QStringLiteral("7C9E6679-7425-40DE-944B-E07FC1F90AE7");

QString fixturePackage()
{
    return QStringLiteral(PELORINS_TESTS_DIR "/kit/archive/data/CompatibilityArchive");
}

QDateTime utc(int year, int month, int day, int hour = 0, int minute = 0, int second = 0)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second), QTimeZone::utc());
}

class ArchiveImportTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        DataFolders::setBaseFolderForTesting(base.path());
        manager.setup([] {}, [](const StoreError& error) { FAIL() << error.message().toStdString(); });
        ASSERT_TRUE(manager.context());
    }
    void TearDown() override { DataFolders::setBaseFolderForTesting(QString()); }

    QString picturesFolder() const { return base.filePath(QStringLiteral("Pelorins/pictureAttachments")); }

    QString writeFile(const QString& name, const QByteArray& contents)
    {
        const QString path = files.filePath(name);
        QFileInfo(path).dir().mkpath(QStringLiteral("."));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents);
        return path;
    }

    // Every file of the data folder with its contents; the store's shared-memory index only by
    // name, since SQLite rewrites it without changing what the store holds.
    QMap<QString, QByteArray> dataFolderFiles() const
    {
        QMap<QString, QByteArray> files;
        const QDir folder(base.filePath(QStringLiteral("Pelorins")));
        QDirIterator it(folder.path(), QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot,
            QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            QFile file(path);
            const bool readable = !path.endsWith(QLatin1String("-shm")) && file.open(QIODevice::ReadOnly);
            files.insert(folder.relativeFilePath(path), readable ? file.readAll() : QByteArray());
        }
        return files;
    }

    QTemporaryDir base;
    QTemporaryDir files;
    CoreDataManager manager {std::make_shared<CoreDataMigrator>()};
};

TEST_F(ArchiveImportTest, TheCompatibilityPackageImportsIntoTheRightTree)
{
    manager.importFrom(QUrl::fromLocalFile(fixturePackage()));
    EXPECT_FALSE(manager.context()->hasChanges());

    Root* root = manager.getRootObject(false);
    ASSERT_TRUE(root);
    ASSERT_EQ(root->children().size(), 2);
    auto* folder = dynamic_cast<Folder*>(root->children().at(0));
    auto* home = dynamic_cast<Kanban*>(root->children().at(1));
    ASSERT_TRUE(folder && home);
    EXPECT_EQ(folder->title(), QStringLiteral("Archive"));
    EXPECT_TRUE(folder->expanded());
    ASSERT_EQ(folder->children().size(), 1);
    EXPECT_EQ(static_cast<Kanban*>(folder->children().first())->title(), QStringLiteral("Garden"));

    EXPECT_EQ(home->title(), QStringLiteral("Home"));
    EXPECT_EQ(home->uniqueIdentifier(), QStringLiteral("2B3C4D5E-6F7A-4B2C-8D3E-4F5A6B7C8D9E"));
    EXPECT_EQ(home->bgImage(), QStringLiteral("leaves"));
    EXPECT_EQ(home->colour(), 2);
    EXPECT_TRUE(home->isExport());
    ASSERT_EQ(home->column().size(), 2);
    KanbanColumn* todo = home->column().at(0);
    KanbanColumn* doing = home->column().at(1);
    EXPECT_FALSE(todo->bookmarked());
    EXPECT_TRUE(doing->bookmarked());

    // Tags written under the board and under each card are one object each.
    ASSERT_EQ(home->tags().size(), 2);
    ASSERT_EQ(todo->item().size(), 1);
    ListItem* shopping = todo->item().first();
    EXPECT_EQ(shopping->tags(), home->tags());
    EXPECT_EQ(shopping->dueDate(), utc(2024, 3, 5, 17, 4, 9));
    EXPECT_EQ(shopping->eventsArray(), (QStringList {QStringLiteral("EV-1"), QStringLiteral("EV-2")}));
    EXPECT_EQ(shopping->notesExpanded(), true);
    EXPECT_EQ(shopping->priority(), true);
    EXPECT_EQ(shopping->timeWorked(), 2.5);
    ASSERT_EQ(shopping->history().size(), 2);
    EXPECT_EQ(shopping->history().at(1)->action(), ListItemAction::moved);
    EXPECT_EQ(shopping->history().at(1)->kanbanColumnUniqueIdentifier(), doing->uniqueIdentifier());

    const std::optional<AttributedString> notes = shopping->attributedNotes();
    ASSERT_TRUE(notes);
    EXPECT_EQ(notes->attributes(0), titleAttributes());
    EXPECT_EQ(notes->attribute(AttributeKey::isChecklistChecked, 23), QVariant(true));
    EXPECT_EQ(notes->attribute(AttributeKey::fileFolderUUID, 29), QVariant(packagePicture));
    const QVariantMap shop = notes->attribute(AttributeKey::attachmentLinkData, 30).toMap();
    EXPECT_EQ(
        shop.value(QStringLiteral("URL")), QVariant(QUrl(QStringLiteral("https://example.org/seeds?kind=tomato"))));
    const QVariantMap planting = notes->attribute(AttributeKey::attachmentLinkData, 31).toMap();
    const QVariantMap calendarData = planting.value(QStringLiteral("calendarData")).toMap();
    EXPECT_EQ(calendarData.value(QStringLiteral("startDate")), QVariant(utc(2024, 3, 9, 9)));
    EXPECT_EQ(calendarData.value(QStringLiteral("color")).value<QColor>(), QColor(0x33, 0x66, 0xCC));

    // The package's picture came along, and the card has its record.
    EXPECT_TRUE(QFileInfo::exists(QDir(picturesFolder()).filePath(packagePicture + QStringLiteral("/photo.png"))));
    ASSERT_EQ(shopping->imageAttachments().size(), 1);
    EXPECT_EQ(shopping->imageAttachments().first()->folderUUID(), packagePicture);

    // A picture carried in the notes themselves gets a folder of its own.
    ListItem* photo = doing->item().value(0);
    ASSERT_TRUE(photo);
    const QString imported = photo->attributedNotes()->attribute(AttributeKey::fileFolderUUID, 6).toString();
    EXPECT_EQ(QImage(QDir(picturesFolder()).filePath(imported + QStringLiteral("/imported.png"))).size(), QSize(2, 2));
    ASSERT_EQ(photo->imageAttachments().size(), 1);

    // The done card under the done column and under its day group is one card.
    ASSERT_EQ(home->mainColumn()->item().size(), 1);
    ListItem* done = home->mainColumn()->item().first();
    EXPECT_TRUE(done->done());
    ASSERT_EQ(home->doneDates().size(), 1);
    EXPECT_EQ(home->doneDates().first()->items(), QList<ListItem*> {done});
    EXPECT_EQ(home->doneDates().first()->doneDate(), utc(2024, 3, 4));
    EXPECT_EQ(done->tags(), QList<Tag*> {home->tags().first()});
    EXPECT_EQ(done->history().size(), 1);
}

TEST_F(ArchiveImportTest, APlainFileIsReadWithoutCopyingPictures)
{
    manager.importFrom(QUrl::fromLocalFile(fixturePackage() + QStringLiteral("/archive.Pelorins")));
    Root* root = manager.getRootObject(false);
    ASSERT_TRUE(root);
    EXPECT_EQ(root->children().size(), 2);
    EXPECT_FALSE(QFileInfo::exists(QDir(picturesFolder()).filePath(packagePicture)));
}

TEST_F(ArchiveImportTest, AnUnreadableArchiveIsReportedAndTheRootStillSaved)
{
    ConsoleLog::Capture capture;
    manager.importFrom(QUrl::fromLocalFile(files.filePath(QStringLiteral("missing.Pelorins"))));
    EXPECT_EQ(capture.lines().value(0), QStringLiteral("error determin if url is a directory"));
    EXPECT_TRUE(capture.contains(QStringLiteral("could not import introductory tutorial")));
    ASSERT_TRUE(manager.getRootObject(false));
    EXPECT_FALSE(manager.context()->hasChanges());
}

// Each archive comes as a package with a picture, which must not come in either.
TEST_F(ArchiveImportTest, HostileOrMisshapenArchivesAreRefusedAndChangeNothing)
{
    Root* root = manager.getRootObject(true);
    auto* existing = manager.context()->insertNewObject<Kanban>(QStringLiteral("Kanban"));
    existing->setTitle(QStringLiteral("Mine"));
    existing->setParent(root);
    ASSERT_TRUE(manager.saveContext());

    struct Case
    {
        const char* name;
        QByteArray archive;
        const char* reason;
    };
    const QByteArray whole = R"([{"Kanban": {"title": "Home", "column": [{"KanbanColumn": {"title": "To Do"}}]}}])";
    const QByteArray deep = QByteArray(100000, '[') + QByteArray(100000, ']');
    const QList<Case> cases {
        {"an empty file", QByteArray(), "could not import introductory tutorial"},
        {"not JSON", "[{\"Kanban\": ", "cannot be read as JSON"},
        {"truncated", whole.left(whole.size() - 5), "cannot be read as JSON"},
        {"invalid UTF-8", "[{\"Kanban\": {\"title\": \"\xff\xfe\"}}]",
            "cannot be read as JSON: invalid UTF8 string"},
        {"nested 100,000 deep", deep, "cannot be read as JSON: too deeply nested document"},
        {"not an array", R"({"Kanban": {"title": "x"}})", "is not a JSON array"},
        {"text after a NUL byte", QByteArray(whole) + QByteArray(1, '\0') + "{{{", "garbage at the end of the document"},
        {"an array of texts", R"(["Kanban"])", "the payload holds something other than nodes"},
        {"a root", R"([{"Kanban": {"title": "ok"}}, {"Root": {"children": []}}])",
            "a \"Root\" node at the top, where only folders and boards belong"},
        {"a card at the top", R"([{"Kanban": {"title": "Home"}}, {"ListItem": {"done": false}}])",
            "a \"ListItem\" node at the top, where only folders and boards belong"},
        {"the done column among the stage columns", R"([{"Kanban": {"title": "Home",
            "column": [{"KanbanColumn": {"title": "To Do", "objectIDURI": "c1"}},
                {"KanbanColumn": {"title": "Done", "objectIDURI": "c2"}}],
            "mainColumn": {"KanbanColumn": {"title": "Done", "objectIDURI": "c2"}}}}])",
            "\"c2\" is both the done column and a stage column of a board"},
        {"a background outside the backgrounds folder",
            R"([{"Kanban": {"title": "Home", "bgImage": "../../somewhere/file"}}])",
            "unsafe background picture name \"../../somewhere/file\""},
        {"a background in a subfolder", R"([{"Kanban": {"title": "Home", "bgImage": "sub/file.png"}}])",
            "unsafe background picture name \"sub/file.png\""},
        {"a picture path that leaves the picture folder",
            R"([{"Kanban": {"title": "x", "column": [{"KanbanColumn": {"item": [{"ListItem": {"attributedNotes": {"string": "\ufffc", "runs": [{"range": {"location": 0, "length": 1}, "fileFolderUUID": "..", "filename": "CocoaAppCD.storedata"}]}}}]}}]}}])",
            "unsafe picture name \"..\""},
    };
    for (const Case& c : cases) {
        const QString name = QString::fromLatin1(c.name);
        writeFile(name + QStringLiteral("/archive.Pelorins"), c.archive);
        writeFile(name + QStringLiteral("/pictureAttachments/") + packagePicture + QStringLiteral("/photo.png"), "png");
        const QMap<QString, QByteArray> before = dataFolderFiles();
        ConsoleLog::Capture capture;
        manager.importFrom(QUrl::fromLocalFile(files.filePath(name)));
        EXPECT_TRUE(capture.contains(QStringLiteral("could not import introductory tutorial"))) << c.name;
        EXPECT_FALSE(capture.lines().filter(QString::fromUtf8(c.reason)).isEmpty())
            << c.name << "\n"
            << capture.lines().join('\n').toStdString();
        EXPECT_EQ(root->children(), QList<DisplayItem*> {existing}) << c.name;
        EXPECT_FALSE(manager.context()->hasChanges()) << c.name;
        EXPECT_EQ(dataFolderFiles(), before) << c.name;
    }
    EXPECT_EQ(existing->title(), QStringLiteral("Mine"));
}

TEST_F(ArchiveImportTest, BackgroundsNamedByOneFileNameAreKeptAndAnEmptyOneIsNone)
{
    const QString path = writeFile(QStringLiteral("backgrounds.Pelorins"),
        R"([{"Kanban": {"title": "Built in", "bgImage": "wlbackground07"}},
            {"Kanban": {"title": "Own", "bgImage": "My Garden.png"}},
            {"Kanban": {"title": "Colour", "bgImage": ""}}])");
    manager.importFrom(QUrl::fromLocalFile(path));
    const QList<DisplayItem*> boards = manager.getRootObject(false)->children();
    ASSERT_EQ(boards.size(), 3);
    EXPECT_EQ(boards.at(0)->bgImage(), QStringLiteral("wlbackground07"));
    EXPECT_EQ(boards.at(1)->bgImage(), QStringLiteral("My Garden.png"));
    EXPECT_FALSE(boards.at(2)->value(QStringLiteral("bgImage")).isValid());
}

TEST_F(ArchiveImportTest, AnOversizedArchiveIsRefusedBeforeItIsRead)
{
    const QString path = files.filePath(QStringLiteral("huge.Pelorins"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    // Sparse: the size is what counts, not the bytes.
    ASSERT_TRUE(file.resize(qint64(513) * 1024 * 1024));
    file.close();
    ConsoleLog::Capture capture;
    manager.importFrom(QUrl::fromLocalFile(path));
    EXPECT_TRUE(capture.contains(QStringLiteral("could not import introductory tutorial")));
    ASSERT_TRUE(manager.getRootObject(false));
    EXPECT_TRUE(manager.getRootObject(false)->children().isEmpty());
}

TEST_F(ArchiveImportTest, ImportsGoThroughTheStoresOwnReaderWhoseMappingsLast)
{
    JSONReader* reader = manager.jsonReader();
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->managedObjectContext(), manager.context());
    EXPECT_EQ(manager.jsonReader(), reader);

    manager.importFrom(QUrl::fromLocalFile(fixturePackage()));
    EXPECT_TRUE(reader->oldToNewUUIDMappings().isEmpty());
    // The second copy's objects are still in the store, so they get new identifiers, which the
    // reader remembers for later reads.
    manager.importFrom(QUrl::fromLocalFile(fixturePackage()));
    ASSERT_EQ(manager.getRootObject(false)->children().size(), 4);
    EXPECT_TRUE(reader->oldToNewUUIDMappings().contains(QStringLiteral("2B3C4D5E-6F7A-4B2C-8D3E-4F5A6B7C8D9E")));
}

} // namespace
