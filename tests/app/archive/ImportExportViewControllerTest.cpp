#include "Pelorins/archive/ImportExportViewController.h"
#include "PelorinsKit/archive/JSONWriter.h"
#include "PelorinsKit/model/Folder.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/KanbanColumn.h"
#include "PelorinsKit/model/ListItem.h"
#include "PelorinsKit/model/ListItemHistory.h"
#include "PelorinsKit/model/Tag.h"
#include "PelorinsKit/model/Root.h"
#include "PelorinsKit/notes/AttributeKey.h"
#include "PelorinsKit/store/CoreDataManager.h"
#include "PelorinsKit/store/CoreDataMigrator.h"
#include "PelorinsKit/store/StoreLoading.h"
#include "Platform/core/ConsoleLog.h"
#include "Platform/core/DataFolders.h"
#include "Platform/widgets/ScriptedFilePanelPresenter.h"
#include "support/QStringPrinting.h"
#include "support/StoreBuilder.h"
#include "support/TestFiles.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

const QString packagePicture = QStringLiteral("7C9E6679-7425-40DE-944B-E07FC1F90AE7");

QString fixturePackage()
{
    return QStringLiteral(PELORINS_TESTS_DIR "/kit/archive/data/CompatibilityArchive");
}

// Every file under `folder`, by relative path, with its contents; the store's shared-memory index
// only by name.
QMap<QString, QByteArray> filesUnder(const QString& folder)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(
        folder, QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.insert(
            QDir(folder).relativeFilePath(path), path.endsWith(QLatin1String("-shm")) ? QByteArray() : readFile(path));
    }
    return files;
}

class ImportExportViewControllerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        DataFolders::setBaseFolderForTesting(base.path());
        manager.setup([] {}, [](const StoreError& error) { FAIL() << error.message().toStdString(); });
        ASSERT_TRUE(manager.context());
        build = std::make_unique<StoreBuilder>(*manager.context());
    }
    void TearDown() override { DataFolders::setBaseFolderForTesting(QString()); }

    std::unique_ptr<ImportExportViewController> sheet(const std::optional<QString>& document = std::nullopt)
    {
        auto made = std::make_unique<ImportExportViewController>(
            ImportExportViewController::Services {manager, panels, [this] { return manager.saveContext(); }}, document);
        made->show();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !made->isReading(); }, 20000));
        QCoreApplication::processEvents();
        return made;
    }

    QModelIndex rowTitled(ImportExportViewController& sheet, const QString& title)
    {
        const QAbstractItemModel* model = sheet.outlineView()->model();
        const QModelIndexList found
            = model->match(model->index(0, 0), Qt::DisplayRole, title, 1, Qt::MatchExactly | Qt::MatchRecursive);
        return found.value(0);
    }

    Qt::CheckState stateOf(ImportExportViewController& sheet, const QString& title)
    {
        return Qt::CheckState(rowTitled(sheet, title).data(Qt::CheckStateRole).toInt());
    }

    // What a user does: a click on the row's check box.
    void clickBox(ImportExportViewController& sheet, const QString& title)
    {
        QTreeView* view = sheet.outlineView();
        const QModelIndex index = rowTitled(sheet, title);
        ASSERT_TRUE(index.isValid()) << title.toStdString();
        QStyleOptionViewItem option;
        option.initFrom(view);
        option.rect = view->visualRect(index);
        option.features = QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay
            | QStyleOptionViewItem::HasDecoration;
        option.decorationSize = view->iconSize();
        const QRect box = view->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, view);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, box.center());
    }

    QString picturesFolder() const { return base.filePath(QStringLiteral("Pelorins/pictureAttachments")); }

    // T holds folder F and board C (off); F holds boards A (on) and B (off); board D (on) stands
    // alone.
    void markedTree()
    {
        Folder* t = build->addFolder(QStringLiteral("T"));
        Folder* f = build->addFolder(QStringLiteral("F"), t);
        build->addBoard(QStringLiteral("A"), {QStringLiteral("To Do")}, f)->setExport(true);
        build->addBoard(QStringLiteral("B"), {QStringLiteral("To Do")}, f)->setExport(false);
        build->addBoard(QStringLiteral("C"), {QStringLiteral("To Do")}, t)->setExport(false);
        build->addBoard(QStringLiteral("D"))->setExport(true);
        t->setExport(false);
        f->setExport(false);
        ASSERT_TRUE(manager.saveContext());
    }

    QTemporaryDir base;
    QTemporaryDir files;
    CoreDataManager manager {std::make_shared<CoreDataMigrator>()};
    std::unique_ptr<StoreBuilder> build;
    ScriptedFilePanelPresenter panels;
};

TEST_F(ImportExportViewControllerTest, BoxesShowTheMarksAndAClickSetsThemAndIsSaved)
{
    markedTree();
    auto export_ = sheet();
    EXPECT_EQ(stateOf(*export_, QStringLiteral("F")), Qt::PartiallyChecked);
    EXPECT_EQ(stateOf(*export_, QStringLiteral("T")), Qt::Unchecked);
    EXPECT_EQ(stateOf(*export_, QStringLiteral("A")), Qt::Checked);
    EXPECT_EQ(stateOf(*export_, QStringLiteral("D")), Qt::Checked);
    EXPECT_EQ(export_->selectAllButton()->text(), QStringLiteral("Select All"));

    // A mixed box clicked turns on, with everything inside; its parent counts again.
    clickBox(*export_, QStringLiteral("F"));
    EXPECT_EQ(stateOf(*export_, QStringLiteral("F")), Qt::Checked);
    EXPECT_EQ(stateOf(*export_, QStringLiteral("B")), Qt::Checked);
    EXPECT_EQ(stateOf(*export_, QStringLiteral("T")), Qt::PartiallyChecked);
    EXPECT_FALSE(manager.context()->hasChanges());

    clickBox(*export_, QStringLiteral("C"));
    EXPECT_EQ(stateOf(*export_, QStringLiteral("T")), Qt::Checked);
    EXPECT_EQ(export_->selectAllButton()->text(), QStringLiteral("Select None"));

    clickBox(*export_, QStringLiteral("T"));
    for (const char* title : {"T", "F", "A", "B", "C"})
        EXPECT_EQ(stateOf(*export_, QString::fromLatin1(title)), Qt::Unchecked) << title;
    EXPECT_FALSE(manager.context()->hasChanges());
}

TEST_F(ImportExportViewControllerTest, SelectAllAndSelectNoneSetEveryRow)
{
    markedTree();
    auto export_ = sheet();
    export_->selectAllButton()->click();
    EXPECT_EQ(export_->selectAllButton()->text(), QStringLiteral("Select None"));
    for (const char* title : {"T", "F", "A", "B", "C", "D"})
        EXPECT_EQ(stateOf(*export_, QString::fromLatin1(title)), Qt::Checked) << title;

    // At load with every row on the button offers to clear them.
    auto again = sheet();
    EXPECT_EQ(again->selectAllButton()->text(), QStringLiteral("Select None"));
    again->selectAllButton()->click();
    EXPECT_EQ(again->selectAllButton()->text(), QStringLiteral("Select All"));
    for (DisplayItem* item : build->root()->children())
        EXPECT_FALSE(item->isExport());
    EXPECT_FALSE(manager.context()->hasChanges());
}

// A on, B off, and T holding mixed F and unmarked C: only D is written; nothing chosen gives [].
TEST_F(ImportExportViewControllerTest, TheExportWritesWhatTheMarksChoose)
{
    markedTree();
    const QString package = files.filePath(QStringLiteral("Out.Pelorins"));
    auto export_ = sheet();
    panels.enqueueSaveAnswer(std::nullopt);
    export_->mainButton()->click();
    EXPECT_TRUE(export_->isVisible());
    EXPECT_FALSE(QFileInfo::exists(package));

    panels.enqueueSaveAnswer(files.filePath(QStringLiteral("Out")));
    export_->mainButton()->click();
    EXPECT_EQ(export_->result(), QDialog::Accepted);
    const QJsonArray archive = QJsonDocument::fromJson(readFile(package + QStringLiteral("/archive.Pelorins"))).array();
    ASSERT_EQ(archive.size(), 1);
    EXPECT_EQ(archive.at(0).toObject().value(QStringLiteral("Kanban")).toObject().value(QStringLiteral("title")),
        QStringLiteral("D"));
    EXPECT_EQ(readFile(package + QStringLiteral("/archive.Pelorins")),
        QJsonDocument(JSONWriter::archiveArray(build->root()->children())).toJson(QJsonDocument::Compact));

    // Everything cleared: an empty array and an empty picture folder.
    for (DisplayItem* item : build->root()->children())
        item->setExport(false);
    auto none = sheet();
    panels.enqueueSaveAnswer(package);
    none->mainButton()->click();
    EXPECT_EQ(readFile(package + QStringLiteral("/archive.Pelorins")), QByteArray("[]"));
    EXPECT_TRUE(QDir(package + QStringLiteral("/pictureAttachments")).isEmpty());
}

TEST_F(ImportExportViewControllerTest, PicturesGoWithTheArchiveEachOnceAndComplete)
{
    Kanban* board = build->addBoard(QStringLiteral("Home"));
    board->setExport(true);
    const QString missing = QStringLiteral("0A1B2C3D-0000-4000-8000-00000000000F");
    for (const QString& folder : {packagePicture, packagePicture, missing}) {
        ListItem* card = build->addCard(board->column().first());
        AttributedString notes(QString(AttributedString::attachmentCharacter));
        notes.addAttributes({{AttributeKey::fileFolderUUID, folder}, {AttributeKey::filename, QStringLiteral("p.png")}},
            TextRange {0, 1});
        card->setAttributedNotes(notes);
    }
    writeFile(picturesFolder() + QStringLiteral("/") + packagePicture + QStringLiteral("/p.png"), "new");
    const QString package = files.filePath(QStringLiteral("Test.Pelorins"));
    // An earlier export left a stale copy with a file no longer there.
    writeFile(package + QStringLiteral("/pictureAttachments/") + packagePicture + QStringLiteral("/old.png"), "old");

    auto export_ = sheet();
    panels.enqueueSaveAnswer(package);
    ConsoleLog::Capture capture;
    export_->mainButton()->click();
    EXPECT_EQ(export_->result(), QDialog::Accepted) << export_->messageLine()->text().toStdString();
    EXPECT_EQ(filesUnder(package + QStringLiteral("/pictureAttachments")),
        (QMap<QString, QByteArray> {{packagePicture, {}}, {packagePicture + QStringLiteral("/p.png"), "new"}}));
    EXPECT_FALSE(capture.lines().filter(missing).isEmpty());
}

TEST_F(ImportExportViewControllerTest, AFailedExportIsShownAndLeavesTheEarlierArchiveWhole)
{
    build->addBoard(QStringLiteral("Home"))->setExport(true);
    // A package in a folder that cannot be written, and a package whose place a file takes.
    const QString locked = files.filePath(QStringLiteral("Locked.Pelorins"));
    writeFile(locked + QStringLiteral("/archive.Pelorins"), "[\"earlier\"]");
    QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    const bool lockable = !QFile(locked + QStringLiteral("/probe")).open(QIODevice::WriteOnly);
    const QString taken = files.filePath(QStringLiteral("Taken.Pelorins"));
    writeFile(taken, "a file");
    // Pictures that cannot be copied fail the export before its archive replaces the earlier one.
    const QString linked = files.filePath(QStringLiteral("Linked.Pelorins"));
    writeFile(linked + QStringLiteral("/archive.Pelorins"), "[\"earlier\"]");
    QTemporaryDir elsewhere;
    ASSERT_TRUE(QFile::link(elsewhere.path(), linked + QStringLiteral("/pictureAttachments")));

    for (const QString& package : {locked, taken, linked}) {
        if (package == locked && !lockable)
            continue; // The folder stays writable to the superuser.
        auto export_ = sheet();
        panels.enqueueSaveAnswer(package);
        ConsoleLog::Capture quiet;
        export_->mainButton()->click();
        EXPECT_TRUE(export_->isVisible()) << package.toStdString();
        EXPECT_NE(export_->result(), QDialog::Accepted);
        EXPECT_FALSE(export_->busyIndicator()->isVisible());
        EXPECT_TRUE(export_->messageLine()->isVisible());
        EXPECT_TRUE(export_->messageLine()->text().startsWith(QStringLiteral("The export failed: ")));
    }
    EXPECT_EQ(readFile(locked + QStringLiteral("/archive.Pelorins")), QByteArray("[\"earlier\"]"));
    EXPECT_EQ(readFile(taken), QByteArray("a file"));
    EXPECT_EQ(readFile(linked + QStringLiteral("/archive.Pelorins")), QByteArray("[\"earlier\"]"));
    EXPECT_TRUE(QDir(elsewhere.path()).isEmpty());
    QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

// The disk refuses the new archive part way through (a file size limit stands in for a full
// disk, and holds for the superuser too): an earlier archive stays whole and nothing is left
// beside it, and a package the export made for a new name goes again.
TEST_F(ImportExportViewControllerTest, AnArchiveRefusedPartWayLeavesTheEarlierOneWholeOrNothing)
{
    Kanban* board = build->addBoard(QStringLiteral("Home"));
    board->setExport(true);
    for (int i = 0; i < 200; ++i)
        build->addCard(board->column().first())->setAttributedNotes(AttributedString(QString(1000, u'x')));
    const QString earlier = files.filePath(QStringLiteral("Test.Pelorins"));
    writeFile(earlier + QStringLiteral("/archive.Pelorins"), "[\"earlier\"]");
    const QString fresh = files.filePath(QStringLiteral("New.Pelorins"));

    for (const QString& package : {earlier, fresh}) {
        SCOPED_TRACE(package.toStdString());
        auto export_ = sheet();
        panels.enqueueSaveAnswer(package);
        rlimit former {};
        ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &former), 0);
        rlimit limited = former;
        limited.rlim_cur = 64 * 1024;
        const auto formerSignal = std::signal(SIGXFSZ, SIG_IGN);
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
        {
            ConsoleLog::Capture quiet;
            export_->mainButton()->click();
        }
        setrlimit(RLIMIT_FSIZE, &former);
        std::signal(SIGXFSZ, formerSignal);

        EXPECT_TRUE(export_->isVisible());
        EXPECT_NE(export_->result(), QDialog::Accepted);
        EXPECT_TRUE(export_->messageLine()->text().startsWith(QStringLiteral("The export failed: ")));
    }
    EXPECT_EQ(filesUnder(earlier), (QMap<QString, QByteArray> {{QStringLiteral("archive.Pelorins"), "[\"earlier\"]"}}));
    EXPECT_FALSE(QFileInfo::exists(fresh));
}

TEST_F(ImportExportViewControllerTest, APackageIsPreviewedThenImportedUnderANewFolderWithItsPictures)
{
    Kanban* mine = build->addBoard(QStringLiteral("Mine"));
    ASSERT_TRUE(manager.saveContext());
    std::unique_ptr<ImportExportViewController> import;
    {
        ConsoleLog::Capture capture;
        import = sheet(fixturePackage());
        // Each folder and board row of the preview tells the mark it carries.
        EXPECT_EQ(capture.lines().filter(QStringLiteral("Export value exists in dictionary ")).size(), 3)
            << capture.lines().join(QLatin1Char('\n')).toStdString();
    }
    EXPECT_EQ(import->descriptionTextField()->text(), QStringLiteral("Import all items?"));
    EXPECT_EQ(import->mainButton()->text(), QStringLiteral("Import"));
    EXPECT_FALSE(import->selectAllButton()->isVisible());
    EXPECT_TRUE(import->importURLIsDirectory());
    EXPECT_TRUE(import->mainButton()->isEnabled());
    EXPECT_TRUE(rowTitled(*import, QStringLiteral("Archive")).isValid());
    EXPECT_TRUE(rowTitled(*import, QStringLiteral("Home")).isValid());
    EXPECT_FALSE(import->outlineView()->isExpanded(rowTitled(*import, QStringLiteral("Archive"))));
    EXPECT_FALSE(QFileInfo::exists(picturesFolder() + QStringLiteral("/") + packagePicture));

    const auto importedTitle = [] {
        const QLocale locale;
        const QDateTime now = QDateTime::currentDateTime();
        return QStringLiteral("Imported - ") + locale.toString(now.date(), QLocale::ShortFormat)
            + QStringLiteral(", ") + locale.toString(now.time(), QLocale::ShortFormat);
    };
    const QString titleBefore = importedTitle();
    import->mainButton()->click();
    const QString titleAfter = importedTitle();
    EXPECT_EQ(import->result(), QDialog::Accepted) << import->messageLine()->text().toStdString();
    EXPECT_FALSE(manager.context()->hasChanges());
    const QList<DisplayItem*> top = build->root()->children();
    ASSERT_EQ(top.size(), 2);
    EXPECT_EQ(top.first(), mine);
    auto* imported = dynamic_cast<Folder*>(top.last());
    ASSERT_TRUE(imported);
    EXPECT_TRUE(imported->title() == titleBefore || imported->title() == titleAfter) << imported->title().toStdString();
    ASSERT_EQ(imported->children().size(), 2);
    EXPECT_EQ(static_cast<Folder*>(imported->children().at(0))->title(), QStringLiteral("Archive"));
    auto* home = static_cast<Kanban*>(imported->children().at(1));
    EXPECT_EQ(home->title(), QStringLiteral("Home"));
    EXPECT_TRUE(home->isExport());
    EXPECT_FALSE(home->column().first()->item().first()->eventsArray().has_value());
    EXPECT_TRUE(
        QFileInfo::exists(picturesFolder() + QStringLiteral("/") + packagePicture + QStringLiteral("/photo.png")));

    // A second import is a second folder; a plain file brings no pictures.
    QDir(picturesFolder() + QStringLiteral("/") + packagePicture).removeRecursively();
    auto plain = sheet(fixturePackage() + QStringLiteral("/archive.Pelorins"));
    EXPECT_FALSE(plain->importURLIsDirectory());
    plain->mainButton()->click();
    EXPECT_EQ(build->root()->children().size(), 3);
    EXPECT_FALSE(QFileInfo::exists(picturesFolder() + QStringLiteral("/") + packagePicture));
}

// The import is shown as failed and cannot be repeated, which would bring everything in twice.
TEST_F(ImportExportViewControllerTest, AnImportThatCannotBeSavedSaysSoAndIsNotOfferedAgain)
{
    build->addBoard(QStringLiteral("Mine"));
    ASSERT_TRUE(manager.saveContext());
    ImportExportViewController import(
        ImportExportViewController::Services {manager, panels, [] { return false; }}, fixturePackage());
    import.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !import.isReading(); }, 20000));
    QCoreApplication::processEvents();
    ASSERT_TRUE(import.mainButton()->isEnabled());
    import.mainButton()->click();
    EXPECT_TRUE(import.isVisible());
    EXPECT_NE(import.result(), QDialog::Accepted);
    EXPECT_EQ(import.messageLine()->text(), QStringLiteral("The imported items could not be saved."));
    EXPECT_FALSE(import.mainButton()->isEnabled());
}

TEST_F(ImportExportViewControllerTest, AStoreWithoutRootGetsOneSoTheImportShows)
{
    ASSERT_FALSE(manager.getRootObject(false));
    auto import = sheet(fixturePackage() + QStringLiteral("/archive.Pelorins"));
    import->mainButton()->click();
    Root* root = manager.getRootObject(false);
    ASSERT_TRUE(root);
    ASSERT_EQ(root->children().size(), 1);
    EXPECT_EQ(root->children().first()->children().size(), 2);
}

// Each comes as a package with a picture, which must not come in either.
TEST_F(ImportExportViewControllerTest, AHostileArchiveIsRefusedWholeAndSaysWhy)
{
    build->addBoard(QStringLiteral("Mine"));
    ASSERT_TRUE(manager.saveContext());
    const QByteArray good = readFile(fixturePackage() + QStringLiteral("/archive.Pelorins"));
    struct Case
    {
        const char* name;
        QByteArray archive;
        const char* reason;
    };
    const QList<Case> cases {
        {"truncated", good.left(good.size() / 2), "cannot be read as JSON"},
        {"invalid UTF-8", R"([{"Kanban": {"title": "a)" + QByteArray("\xff\xfe", 2) + R"("}}])",
            "cannot be read as JSON"},
        {"deep", QByteArray("[") + QByteArray(100000, '[') + QByteArray(100000, ']') + "]", "cannot be read as JSON"},
        {"a card at the top", R"([{"ListItem": {"done": false}}])", "where only folders and boards belong"},
        {"a picture path leaving the folder",
            R"([{"Kanban": {"title": "x", "column": [{"KanbanColumn": {"item": [{"ListItem": {"attributedNotes": {"string": "\ufffc", "runs": [{"range": {"location": 0, "length": 1}, "fileFolderUUID": "..", "filename": "CocoaAppCD.storedata"}]}}}]}}]}}])",
            "unsafe picture name"},
        {"no archive", QByteArray(), "holds no \"archive.Pelorins\""},
    };
    for (const Case& c : cases) {
        const QString package = files.filePath(QString::fromLatin1(c.name) + QStringLiteral(".Pelorins"));
        if (QByteArrayView(c.name) != "no archive")
            writeFile(package + QStringLiteral("/archive.Pelorins"), c.archive);
        writeFile(
            package + QStringLiteral("/pictureAttachments/") + packagePicture + QStringLiteral("/photo.png"), "png");
        const QMap<QString, QByteArray> before = filesUnder(base.filePath(QStringLiteral("Pelorins")));
        ConsoleLog::Capture quiet;
        auto import = sheet(package);
        EXPECT_FALSE(import->mainButton()->isEnabled()) << c.name;
        EXPECT_TRUE(import->messageLine()->text().contains(QString::fromUtf8(c.reason)))
            << c.name << ": " << import->messageLine()->text().toStdString();
        import->mainButton()->click();
        EXPECT_TRUE(import->isVisible()) << c.name;
        EXPECT_EQ(build->root()->children().size(), 1) << c.name;
        EXPECT_FALSE(manager.context()->hasChanges()) << c.name;
        EXPECT_EQ(filesUnder(base.filePath(QStringLiteral("Pelorins"))), before) << c.name;
    }
}

// A pipe would hold the reading for good, and closing the sheet would wait on it; a device never ends.
TEST_F(ImportExportViewControllerTest, AnArchiveThatIsNoFileIsRefusedUnread)
{
    const QString pipePackage = files.filePath(QStringLiteral("Pipe.Pelorins"));
    ASSERT_TRUE(QDir().mkpath(pipePackage));
    ASSERT_EQ(mkfifo(QFile::encodeName(pipePackage + QStringLiteral("/archive.Pelorins")).constData(), 0600), 0);
    const QString devicePackage = files.filePath(QStringLiteral("Device.Pelorins"));
    ASSERT_TRUE(QDir().mkpath(devicePackage));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), devicePackage + QStringLiteral("/archive.Pelorins")));
    for (const QString& package : {pipePackage, devicePackage}) {
        ConsoleLog::Capture quiet;
        auto import = sheet(package);
        EXPECT_FALSE(import->mainButton()->isEnabled()) << package.toStdString();
        EXPECT_TRUE(import->messageLine()->text().contains(QStringLiteral("not a regular file")))
            << import->messageLine()->text().toStdString();
    }
}

TEST_F(ImportExportViewControllerTest, AnArchiveOverTheSizeLimitIsRefusedUnread)
{
    const QString path = files.filePath(QStringLiteral("sparse.Pelorins"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_TRUE(file.resize(qint64(600) * 1024 * 1024));
    file.close();
    auto import = sheet(path);
    EXPECT_FALSE(import->mainButton()->isEnabled());
    EXPECT_TRUE(import->messageLine()->text().contains(QStringLiteral("larger than")));
}

} // namespace

TEST_F(ImportExportViewControllerTest, AnExportMadeBeforeTheCardsAreInHoldsEveryBoardWhole)
{
    for (const QString& title : {QStringLiteral("A"), QStringLiteral("B")}) {
        Kanban* board = build->addBoard(title, {QStringLiteral("To Do"), QStringLiteral("Doing")});
        board->setExport(true);
        Tag* tag = build->addTag(board, title.toLower());
        for (KanbanColumn* column : board->column()) {
            for (int i = 0; i < 3; ++i) {
                ListItem* card = build->addCard(column, {tag});
                card->setAttributedNotes(AttributedString(QStringLiteral("%1 %2").arg(column->title()).arg(i)));
                card->addHistory(ListItemHistory::create(ListItemAction::created, manager.context()));
            }
        }
        build->addDoneCard(board, build->addDoneGroup(board, QDateTime(QDate(2026, 3, 2), QTime(0, 0))));
    }
    ASSERT_TRUE(manager.saveContext());
    const QByteArray whole = QJsonDocument(JSONWriter::archiveArray(build->root()->children())).toJson(QJsonDocument::Compact);

    // The program as it starts: boards and stages read, no card and no history entry yet; then
    // with the thread reading the rest started too, as in the first second after the first paint.
    for (const bool reading : {false, true}) {
        SCOPED_TRACE(reading ? "reading the rest" : "not started");
        CoreDataManager started {std::make_shared<CoreDataMigrator>()};
        started.setup([] {}, [](const StoreError& error) { FAIL() << error.message().toStdString(); });
        ASSERT_TRUE(started.loading());
        if (reading)
            started.loading()->start();
        ASSERT_FALSE(started.loading()->isWholeStoreLoaded());
        const QString package = files.filePath(reading ? QStringLiteral("Reading.Pelorins") : QStringLiteral("Early.Pelorins"));
        auto export_ = std::make_unique<ImportExportViewController>(
            ImportExportViewController::Services {started, panels, [&] { return started.saveContext(); }}, std::nullopt);
        export_->show();
        panels.enqueueSaveAnswer(package);
        export_->mainButton()->click();
        EXPECT_EQ(export_->result(), QDialog::Accepted) << export_->messageLine()->text().toStdString();
        EXPECT_EQ(readFile(package + QStringLiteral("/archive.Pelorins")), whole);
    }
}
