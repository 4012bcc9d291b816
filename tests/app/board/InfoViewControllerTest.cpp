#include "Pelorins/board/InfoViewController.h"
#include "Pelorins/board/BackgroundPictureCollection.h"
#include "Pelorins/board/BackgroundPicturePickerController.h"
#include "Pelorins/board/ColourCircleButton.h"
#include "Pelorins/board/InfoBGPictCollectionViewItem.h"
#include "Pelorins/common/PelorinsMainWindow.h"
#include "Pelorins/shell/EnglishTexts.h"
#include "PelorinsKit/model/Kanban.h"
#include "PelorinsKit/model/NotificationName.h"
#include "PelorinsKit/model/PictureFolders.h"
#include "PelorinsKit/model/Tag.h"
#include "Platform/core/ConsoleLog.h"
#include "Platform/core/DataFolders.h"
#include "Platform/core/NotificationCenter.h"
#include "Platform/widgets/ScriptedAlertPresenter.h"
#include "Platform/widgets/ScriptedFilePanelPresenter.h"
#include "support/QStringPrinting.h"
#include "support/StoreBuilder.h"
#include "support/TestStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QStandardPaths>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

static void initArtwork()
{
    Q_INIT_RESOURCE(Backgrounds);
}

namespace {

class FakeWindow : public PelorinsMainWindow
{
public:
    DisplayItem* currentDisplayItem() const override { return item; }
    QWidget* window() const override { return const_cast<QWidget*>(&widget); }
    void setCurrentDisplayItem(DisplayItem* next) override { item = next; }
    void setColour(int tag) override
    {
        if (item)
            item->setColour(tag);
    }

    DisplayItem* item = nullptr;
    QWidget widget;
};

// A board of a store of its own, the data folders in a temporary folder, scripted file panels
// and alerts, and a record of saves and "BackgroundChanged" notices in the order they came.
class BackgroundChoiceFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        initArtwork();
        QCoreApplication::installTranslator(&texts);
        DataFolders::setBaseFolderForTesting(data.path());
        pictures = *PictureFolders::picturesFolderURL();
        board = build.addBoard("Board");
        window.item = board;
        notices.addObserver(&observer, NotificationName::backgroundChanged,
            [this](const NotificationCenter::Notification&) { events << "posted"; });
    }
    void TearDown() override
    {
        QCoreApplication::removeTranslator(&texts);
        DataFolders::setBaseFolderForTesting(QString());
    }

    BackgroundChoices::Services services()
    {
        return {[this] { events << "saved"; }, &panels, &alerts, &notices};
    }
    std::unique_ptr<InfoViewController> openPanel()
    {
        auto panel = std::make_unique<InfoViewController>(InfoViewController::Services {&window, services(), nullptr});
        panel->show();
        return panel;
    }

    // A picture file of the user's, outside the program's folders.
    QString chosen(const QString& name, const char* format = nullptr, QSize size = QSize(20, 10))
    {
        QImage image(size, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        const QString path = QDir(userFolder.path()).filePath(name);
        EXPECT_TRUE(image.save(path, format));
        return path;
    }
    // The panel copies the file the user picks in the open panel.
    void choose(InfoViewController& panel, const QString& path)
    {
        panels.enqueueOpenAnswer(path);
        panel.choosePictureButton()->click();
    }
    static void clickPicture(BackgroundPictureCollection* list, int index)
    {
        const QRect rect = list->visualRect(list->model()->index(index, 0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    }
    QStringList pictureFiles() const { return QDir(pictures).entryList(QDir::Files | QDir::NoDotAndDotDot); }
    static QList<int> checkedCircles(const InfoViewController& panel)
    {
        QList<int> checked;
        for (const ColourCircleButton* button : panel.colourCircleButtons())
            if (button->isChecked())
                checked << button->tag();
        return checked;
    }
    static int selectedPicture(BackgroundPictureCollection* list)
    {
        int selected = -1;
        for (int i = 0; i < list->count(); ++i)
            if (list->item(i)->isSelected())
                selected = selected == -1 ? i : -2;
        return selected;
    }

    EnglishTexts texts;
    QTemporaryDir data;
    QTemporaryDir userFolder;
    QString pictures;
    TestStore store;
    StoreBuilder build {store.context()};
    Kanban* board = nullptr;
    FakeWindow window;
    ScriptedFilePanelPresenter panels;
    ScriptedAlertPresenter alerts;
    NotificationCenter notices;
    QObject observer;
    QStringList events;
};

class InfoViewControllerTest : public BackgroundChoiceFixture
{
};

} // namespace

TEST_F(InfoViewControllerTest, ThePanelShowsItsHeadingsSixCirclesTwelvePicturesAndTheTagTable)
{
    build.addTag(board, "home");
    build.addTag(board, "garden");
    const auto panel = openPanel();
    EXPECT_EQ(panel->viewTitleLabel()->text(), "Customise Background");
    EXPECT_EQ(panel->coloursTitleLabel()->text(), "Colours");
    EXPECT_EQ(panel->picturesTitleLabel()->text(), "Pictures");
    EXPECT_EQ(panel->choosePictureButton()->text(), "Choose Picture…");
    ASSERT_EQ(panel->colourCircleButtons().size(), 6);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(panel->colourCircleButtons().at(i)->geometry(), QRect(34 * i, 0, 34, 34));
    ASSERT_EQ(panel->pictureCollectionView()->count(), 12);
    EXPECT_EQ(panel->pictureCollectionView()->viewMode(), QListView::IconMode);
    EXPECT_FALSE(panel->pictureCollectionView()->item(0)->thumbImageView()->pixmap().isNull());
    EXPECT_EQ(panel->tagTableView()->model()->rowCount(), 2);
}

TEST_F(InfoViewControllerTest, ReopeningShowsTheBoardsChoice)
{
    struct Case
    {
        QString bgImage;
        int colour;
        int selectedPicture;
        QList<int> circlesOn;
    };
    const QList<Case> cases {
        {"wlbackground03", 2, 2, {}},
        {"wlbackground12", 2, 11, {}},
        {"", 4, -1, {4}},
        {"unknown.png", 1, -1, {}},
        // A colour outside the palette lights no circle.
        {"", 9, -1, {}},
    };
    for (const Case& c : cases) {
        board->setBgImage(c.bgImage);
        board->setColour(c.colour);
        const auto panel = openPanel();
        EXPECT_EQ(selectedPicture(panel->pictureCollectionView()), c.selectedPicture) << c.bgImage.toStdString();
        EXPECT_EQ(checkedCircles(*panel), c.circlesOn) << c.bgImage.toStdString();
    }
}

TEST_F(InfoViewControllerTest, ClickingPictureThreeStoresItsNameSavesAndAnnounces)
{
    board->setColour(3);
    const auto panel = openPanel();
    clickPicture(panel->pictureCollectionView(), 2);
    EXPECT_EQ(board->bgImage(), "wlbackground03");
    EXPECT_EQ(board->colour(), 3);
    EXPECT_EQ(events, (QStringList {"saved", "posted"}));
    EXPECT_TRUE(checkedCircles(*panel).isEmpty());
    EXPECT_EQ(selectedPicture(panel->pictureCollectionView()), 2);
}

TEST_F(InfoViewControllerTest, AColourAfterACustomPictureDeletesItsFileOnlyAfterSaving)
{
    const auto panel = openPanel();
    choose(*panel, chosen("beach.png"));
    ASSERT_EQ(panels.openPanels().size(), 1);
    const FilePanelPresenter::OpenPanel& asked = panels.openPanels().first();
    EXPECT_EQ(asked.message, "Choose a picture you want to use as your background");
    EXPECT_EQ(asked.allowedFileTypes, (QStringList {"png", "jpeg", "jpg"}));
    EXPECT_EQ(asked.directory, QStandardPaths::writableLocation(QStandardPaths::PicturesLocation));
    const QString file = board->uniqueIdentifier() + ".png";
    EXPECT_EQ(board->bgImage(), file);
    EXPECT_EQ(pictureFiles(), QStringList {file});
    EXPECT_EQ(events, (QStringList {"saved", "posted"}));

    events.clear();
    bool fileAtSave = false;
    notices.addObserver(&observer, NotificationName::backgroundChanged,
        [&](const NotificationCenter::Notification&) { fileAtSave = QFile::exists(QDir(pictures).filePath(file)); });
    panel->colourCircleButtons().at(1)->click();
    EXPECT_TRUE(fileAtSave) << "the old file goes last";
    EXPECT_TRUE(board->bgImage().isEmpty());
    EXPECT_EQ(board->colour(), 1);
    EXPECT_EQ(events, (QStringList {"saved", "posted"}));
    EXPECT_TRUE(pictureFiles().isEmpty());
    EXPECT_EQ(checkedCircles(*panel), QList<int> {1});
    EXPECT_TRUE(alerts.alerts().isEmpty());
}

TEST_F(InfoViewControllerTest, EachBoardKeepsOneCustomPictureFileNamedAfterIt)
{
    const auto panel = openPanel();
    const QString png = chosen("beach.png");
    choose(*panel, png);
    choose(*panel, png);
    EXPECT_EQ(pictureFiles(), QStringList {board->uniqueIdentifier() + ".png"});
    choose(*panel, chosen("dunes.jpg", "JPEG"));
    EXPECT_EQ(pictureFiles(), QStringList {board->uniqueIdentifier() + ".jpg"});
    EXPECT_EQ(board->bgImage(), board->uniqueIdentifier() + ".jpg");
    // A built-in picture replaces it too.
    clickPicture(panel->pictureCollectionView(), 4);
    EXPECT_EQ(board->bgImage(), "wlbackground05");
    EXPECT_TRUE(pictureFiles().isEmpty());
}

TEST_F(InfoViewControllerTest, ARefusedOrFailedPictureChangesNothingAndSaysWhy)
{
    const auto panel = openPanel();
    choose(*panel, chosen("first.png"));
    const QString kept = board->uniqueIdentifier() + ".png";
    ASSERT_EQ(board->bgImage(), kept);

    QFile text(QDir(userFolder.path()).filePath("letter.png"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("Dear Anna, not a picture at all.");
    text.close();
    QFile huge(QDir(userFolder.path()).filePath("huge.png"));
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly));
    ASSERT_TRUE(huge.resize(65LL * 1024 * 1024));
    huge.close();
    // A JPEG whose frame header claims 20000 x 6000 pixels.
    QString wide = chosen("wide.jpg", "JPEG", QSize(16, 16));
    QFile widened(wide);
    ASSERT_TRUE(widened.open(QIODevice::ReadWrite));
    QByteArray bytes = widened.readAll();
    const qsizetype frame = bytes.indexOf(QByteArray("\xFF\xC0", 2));
    ASSERT_GT(frame, 0);
    bytes[frame + 5] = char(6000 >> 8);
    bytes[frame + 6] = char(6000 & 0xFF);
    bytes[frame + 7] = char(20000 >> 8);
    bytes[frame + 8] = char(20000 & 0xFF);
    widened.seek(0);
    widened.write(bytes);
    widened.close();
    // The copy cannot take the place of a folder of that name.
    const QString blocked = chosen("blocked.jpeg", "JPEG");
    ASSERT_TRUE(QDir(pictures).mkdir(board->uniqueIdentifier() + ".jpeg"));

    const QStringList refused {
        text.fileName(), huge.fileName(), wide, QDir(userFolder.path()).filePath("gone.png"), blocked};
    for (const QString& path : refused) {
        events.clear();
        ConsoleLog::Capture console;
        const qsizetype alertsBefore = alerts.alerts().size();
        choose(*panel, path);
        EXPECT_EQ(board->bgImage(), kept) << path.toStdString();
        EXPECT_TRUE(QFile::exists(QDir(pictures).filePath(kept))) << path.toStdString();
        EXPECT_TRUE(events.isEmpty()) << path.toStdString();
        ASSERT_EQ(alerts.alerts().size(), alertsBefore + 1) << path.toStdString();
        EXPECT_FALSE(alerts.alerts().last().informativeText.isEmpty()) << path.toStdString();
        ASSERT_EQ(console.lines().size(), 1) << path.toStdString();
        EXPECT_TRUE(console.lines().first().startsWith("Something happend during copy ")) << path.toStdString();
    }
    EXPECT_EQ(pictureFiles(), QStringList {kept});
}

TEST_F(InfoViewControllerTest, OnlyAnUnsharedFileOfThePicturesFolderIsEverDeleted)
{
    // Sentinels beside and outside the pictures folder, reached through names an archive could
    // bring, and a file another board still shows.
    const QString store = QDir(data.path()).filePath("Pelorins/CocoaAppCD.storedata");
    const QString outside = QDir(userFolder.path()).filePath("outside.png");
    for (const QString& path : {store, outside}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
        file.write("keep");
    }
    ASSERT_TRUE(QFile::link(outside, QDir(pictures).filePath("link.png")));
    ASSERT_TRUE(QDir(pictures).mkpath("a"));
    QFile nested(QDir(pictures).filePath("a/b"));
    ASSERT_TRUE(nested.open(QIODevice::WriteOnly));
    nested.close();
    QFile shared(QDir(pictures).filePath("shared.png"));
    ASSERT_TRUE(shared.open(QIODevice::WriteOnly));
    shared.close();
    build.addBoard("Other")->setBgImage("shared.png");

    const auto panel = openPanel();
    for (const QString& name : {QString("../CocoaAppCD.storedata"), outside, QString("a/b"), QString("link.png"),
             QString("shared.png"), QString(".."), QString("a")}) {
        board->setBgImage(name);
        panel->colourCircleButtons().at(2)->click();
        EXPECT_TRUE(board->bgImage().isEmpty()) << name.toStdString();
    }
    for (const QString& path :
        {store, outside, QDir(pictures).filePath("link.png"), nested.fileName(), shared.fileName()})
        EXPECT_TRUE(QFileInfo(path).exists() || QFileInfo(path).isSymLink()) << path.toStdString();
}

TEST_F(InfoViewControllerTest, WithoutABoardChoicesAreStillSavedAndAnnounced)
{
    window.item = nullptr;
    const auto panel = openPanel();
    EXPECT_TRUE(checkedCircles(*panel).isEmpty());
    panel->colourCircleButtons().at(3)->click();
    panel->pictureSelected("wlbackground02");
    EXPECT_EQ(events, (QStringList {"saved", "posted", "saved", "posted"}));
    EXPECT_TRUE(board->bgImage().isEmpty());
}

namespace {

class BackgroundPicturePickerControllerTest : public BackgroundChoiceFixture
{
};

} // namespace

TEST_F(BackgroundPicturePickerControllerTest, ItOffersEighteenPicturesAndAnnouncesBeforeSaving)
{
    BackgroundPicturePickerController picker(services());
    picker.setKanban(board);
    ASSERT_EQ(picker.pictureCollectionView()->count(), 18);
    picker.show();
    clickPicture(picker.pictureCollectionView(), 17);
    EXPECT_EQ(board->bgImage(), "wlbackground18");
    EXPECT_EQ(events, (QStringList {"posted", "saved"}));

    picker.setKanban(board);
    EXPECT_EQ(selectedPicture(picker.pictureCollectionView()), 17);
}

TEST_F(BackgroundPicturePickerControllerTest, TwoBoardsChoosingOneFileKeepACopyEach)
{
    Kanban* other = build.addBoard("Other");
    const QString beach = chosen("beach.jpg", "JPEG");
    BackgroundPicturePickerController picker(services());
    picker.show();
    for (Kanban* kanban : {board, other}) {
        picker.setKanban(kanban);
        panels.enqueueOpenAnswer(beach);
        picker.choosePictureButton()->click();
        EXPECT_EQ(kanban->bgImage(), kanban->uniqueIdentifier() + ".jpg");
    }
    ConsoleLog::Capture console;
    panels.enqueueOpenAnswer(beach);
    picker.choosePictureButton()->click();
    EXPECT_TRUE(console.contains("file already exists"));
    EXPECT_EQ(pictureFiles().size(), 2);

    // The panel's colour for one board leaves the other's picture alone.
    const auto panel = openPanel();
    panel->colourCircleButtons().at(0)->click();
    EXPECT_EQ(pictureFiles(), QStringList {other->uniqueIdentifier() + ".jpg"});
    // The picker's built-in pictures leave the board's own file in place.
    picker.setKanban(other);
    clickPicture(picker.pictureCollectionView(), 0);
    EXPECT_EQ(other->bgImage(), "wlbackground01");
    EXPECT_EQ(pictureFiles(), QStringList {other->uniqueIdentifier() + ".jpg"});
}
